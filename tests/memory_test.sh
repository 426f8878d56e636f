#!/usr/bin/env bash
# Memory of the running program, keys held: its resident set grows by less
# than 24 KiB a second over 10 s; under valgrind, no invalid read or
# write and no definitely lost block of ours (valgrind.supp leaves out Mesa's;
# small leaks are LeakSanitizer's, in the sanitizer build, which skips this).
# Usage: memory_test.sh PROGRAM   (run from the folder holding the textures)
set -euo pipefail
export LC_ALL=C
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/test_lib.sh"
program=$(realpath "$1")

# Up and Down cancel: the squirrel runs on the spot while it turns, the view
# stays alike. Freed blocks of 64 KiB go back to the system at once, so the
# few MiB a frame holds in flight come and go with it and a reading lands
# anywhere on that saw-tooth. Its crest is steady: the fifth highest of 3 s of
# readings taken every 10 ms (the few above it are rare spikes).
rss_crest() {
    local page rss n=0 end=$((SECONDS + 3))
    page=$(getconf PAGESIZE)
    : >"$TMP/rss"
    while [ "$SECONDS" -lt "$end" ] || [ "$n" -lt 100 ]; do
        read -r _ rss _ <"/proc/$PID/statm" || fail "the program exited"
        echo $((rss * page / 1024)) >>"$TMP/rss"
        n=$((n + 1))
        sleep 0.01
    done
    sort -rn "$TMP/rss" | sed -n 5p
}

# The crest's growth from a first 3 s to a last 3 s, 7 s later, Left swapped
# for Right between. A one-off step is not a leak: a window over the limit is
# measured once more, and fails only when both are.
rss_slope() {
    local name="squirrel-memory-$$" first last slope window
    start_program "$name" env MALLOC_MMAP_THRESHOLD_=65536 MALLOC_TRIM_THRESHOLD_=65536 \
        bash -c 'exec -a "$0" "$1"' "$name" "$program"
    send_keys keydown Up Down Left
    sleep 2
    for window in 1 2; do
        first=$(rss_crest)
        sleep 2
        send_keys keyup Left Right
        send_keys keydown "$([ "$window" -eq 1 ] && echo Right || echo Left)"
        sleep 2
        last=$(rss_crest)
        slope=$(awk -v a="$first" -v b="$last" 'BEGIN { printf "%.1f", (b - a) / 7 }')
        echo "window $window: resident set crest $first -> $last KiB, slope $slope KiB/s"
        awk -v s="$slope" 'BEGIN { exit !(s >= 24) }' || break
        [ "$window" -eq 1 ] || fail "resident set grows by $slope KiB/s (limit 24)"
    done
    kill "$PID"
}

# Runs until four new frames have shown (Up and Left turn the squirrel on),
# however slow under valgrind; killing the X connection makes Xlib exit(1).
memcheck_run() {
    local title="$TMP/squirrel-memcheck-$$" log="$TMP/memcheck.log" status=0 frames=0
    ln -s "$program" "$title"   # the window's title is the invocation name
    start_program "$title" valgrind --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
        --error-exitcode=99 --num-callers=30 --keep-debuginfo=yes --suppressions="$here/valgrind.supp" \
        --log-file="$log" "$title"
    wait_for_frame "$TMP/last.png"
    send_keys keydown Up Left
    for _ in $(seq 300); do
        sleep 0.3
        shoot "$TMP/now.png"
        compare -metric AE "$TMP/last.png" "$TMP/now.png" null: 2>/dev/null || frames=$((frames + 1))
        mv "$TMP/now.png" "$TMP/last.png"
        [ "$frames" -lt 4 ] || break
    done
    [ "$frames" -ge 4 ] || fail "under valgrind the program showed $frames new pictures in 90 s"
    xdotool windowkill "$WIN"
    wait "$PID" || status=$?
    grep -q 'ERROR SUMMARY' "$log" || fail "valgrind wrote no error summary: $(tail -n 20 "$log")"
    [ "$status" -ne 99 ] || fail "memcheck reported errors: $(grep 'ERROR SUMMARY' "$log")
$(awk '/Invalid (read|write)|definitely lost in loss record/ { p = 1 } p { print } p && /^==[0-9]+== *$/ { p = 0 }' "$log")"
    [ "$status" -eq 1 ] || fail "the program ended with status $status, not 1 from Xlib's I/O error exit: $(cat "$TMP/err")"
    echo "memcheck: $(grep -o 'ERROR SUMMARY.*' "$log"); $(grep -o 'definitely lost:.*' "$log" || echo 'no leaks')"
}

require valgrind Xvfb xdotool import convert compare
start_xvfb 1280x1024
rss_slope
memcheck_run
echo "PASS: memory"
