#!/usr/bin/env bash
# Memory of the running program, with arrow keys held in changing combinations:
#  1. its resident set at 60 s may exceed that at 10 s by less than 1 MiB;
#  2. a short run under valgrind's memcheck shows no invalid read or write and
#     no definitely lost block beyond valgrind.supp (loader, libX11, Mesa).
# Skipped (exit 77) for a sanitizer build. Uses $DISPLAY, else its own Xvfb.
# Usage: memory_test.sh PROGRAM   (run from the folder holding the textures)
set -euo pipefail
export LC_ALL=C   # a decimal point in $EPOCHREALTIME
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/test_lib.sh"
program=$(realpath "$1")

# rss_kib: the least of ten VmRSS readings over two seconds, since a frame in
# flight briefly holds buffers of a few MiB.
rss_kib() {
    local rss least=""
    for _ in $(seq 10); do
        rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$PID/status" 2>/dev/null) || true
        [ -n "$rss" ] || fail "cannot read VmRSS of the program (pid $PID): it has exited"
        if [ -z "$least" ] || [ "$rss" -lt "$least" ]; then least=$rss; fi
        sleep 0.2
    done
    echo "$least"
}

# at SECONDS: waits until SECONDS after START_TIME; the program must still run.
at() {
    sleep "$(awk -v s="$START_TIME" -v n="$EPOCHREALTIME" -v t="$1" 'BEGIN { d = s + t - n; print (d > 0 ? d : 0) }')"
    kill -0 "$PID" 2>/dev/null || fail "the program exited before $1 s"
}

# Up and Down together cancel, so the squirrel runs on the spot: everything
# animates while the geometry in view stays the same. (Travelling, the
# software rasteriser's buffers grow with the geometry in view and glibc keeps
# the pages: a high-water mark that would hide a leak.) Freed blocks of 64 KiB
# or more go back to the system at once, so RSS follows memory in use.
rss_over_a_minute() {
    local name="squirrel-memory-$$" rss10 rss60
    START_TIME=$EPOCHREALTIME
    start_program "$name" 10 env MALLOC_MMAP_THRESHOLD_=65536 MALLOC_TRIM_THRESHOLD_=65536 \
        bash -c 'exec -a "$0" "$1"' "$name" "$program"
    send_keys keydown Up Down Left
    at 5; send_keys keyup Left; send_keys keydown Right
    at 8; rss10=$(rss_kib)
    at 20; send_keys keyup Right
    at 30; send_keys keydown Left Right
    at 40; send_keys keyup Up Down Left Right
    at 45; send_keys keydown Left
    at 50; send_keys keyup Left; send_keys keydown Up Down
    at 58; rss60=$(rss_kib)
    send_keys keyup Up Down
    echo "VmRSS at 10 s: $rss10 KiB, at 60 s: $rss60 KiB, change: $((rss60 - rss10)) KiB"
    [ $((rss60 - rss10)) -lt 1024 ] || fail "resident set grew by $((rss60 - rss10)) KiB between 10 s and 60 s (limit 1024)"
}

# The program runs until GLUT ends it: killing its X client makes Xlib's I/O
# error handler exit(1), a normal exit after which valgrind checks the heap.
# (Destroying the window instead is racy: freeglut stops drawing once unmapped.)
memcheck_run() {
    local title="$TMP/squirrel-memcheck-$$" log="$TMP/memcheck.log" status=0
    ln -s "$program" "$title"   # the window's title is the invocation name
    start_program "$title" 120 valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite \
        --errors-for-leak-kinds=definite --error-exitcode=99 --keep-debuginfo=yes \
        --num-callers=40 --suppressions="$here/valgrind.supp" --log-file="$log" "$title"
    START_TIME=$EPOCHREALTIME
    send_keys keydown Up Right
    at 7; send_keys keyup Right; send_keys keydown Left
    at 15; send_keys keyup Up Left
    xdotool windowkill "$WIN"
    for _ in $(seq 900); do kill -0 "$PID" 2>/dev/null || break; sleep 0.1; done
    ! kill -0 "$PID" 2>/dev/null || fail "the program did not end within 90 s of losing its X connection"
    wait "$PID" || status=$?
    grep -q 'ERROR SUMMARY' "$log" || fail "valgrind wrote no error summary: $(tail -n 20 "$log")"
    grep -q -E 'LEAK SUMMARY|All heap blocks were freed' "$log" || fail "valgrind did not check the heap: $(tail -n 20 "$log")"
    ! grep -q -E 'Invalid (read|write)' "$log" ||
        fail "memcheck found invalid memory accesses: $(grep -A 12 -E 'Invalid (read|write)' "$log")"
    [ "$status" -ne 99 ] || fail "memcheck reported errors: $(grep 'ERROR SUMMARY' "$log")
$(awk '/definitely lost in loss record/ { p = 1 } p { print } p && /^==[0-9]+== *$/ { p = 0 }' "$log")"
    [ "$status" -eq 1 ] || fail "the program ended with status $status, not 1 from Xlib's I/O error exit: $(cat "$TMP/err")"
    echo "memcheck: $(grep -o 'ERROR SUMMARY.*' "$log"); $(grep -o 'definitely lost:.*' "$log" || echo 'no leaks')"
}

# AddressSanitizer quarantines freed memory (RSS grows by design) and valgrind
# cannot run its programs.
if ldd "$program" | grep -q -E 'libasan|libubsan'; then
    echo "skipped: $(basename "$program") is built with a sanitizer"
    exit 77
fi
[ -n "${DISPLAY:-}" ] || own_display 1280x1024
rss_over_a_minute
memcheck_run
echo "PASS: memory"
