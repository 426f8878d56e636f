#!/usr/bin/env bash
# Drives the real program frame by frame and saves its window at chosen
# moments, with the exact tick count of each, so that another renderer can be
# stepped to the same ticks (tests/web_test.sh compares the browser page).
# Reads a DRIVE file, one row each:
#   step N            let the stopped program draw N frames, one per tick
#   keydown|keyup KEY a key event, taken at the next tick
#   shot NAME         save the window as OUT/NAME.png
# and writes OUT/plan, the same rows with the program's tick count before
# each (the timer re-arms since it started, counted by bench/swapcount.cpp).
# Uses $DISPLAY. Usage: tools/step_shots.sh SQUIRREL FRAME_STEP DRIVE OUT
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/tools/setup.sh"

case "${1:-}" in
    -h | --help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
[ $# -eq 4 ] || { echo "usage: $0 SQUIRREL FRAME_STEP DRIVE OUT" >&2; exit 2; }
SQUIRREL=$(realpath "$1") FRAME_STEP=$(realpath "$2") DRIVE=$(realpath "$3") OUT=$(realpath -m "$4")
handle_signals
temp_dir steps
g++ -O2 -shared -fPIC "$ROOT/bench/swapcount.cpp" -o "$TEMP_DIR/swapcount.so" -ldl
COUNTS=$TEMP_DIR/counts
: >"$COUNTS"

# frames N: N frames, the tick count reported at the last swap. Should a swap
# sent just before a stop still show as the next frame, ahead of the report,
# one more frame brings the report.
frames() {
    local reports
    [ "$1" -le 1 ] || run_job timeout 10 "$FRAME_STEP" "$WIN" "$PID" $(($1 - 1)) || fail "frame_step failed"
    reports=$(wc -l <"$COUNTS")
    kill -USR1 "$PID"
    for _ in 1 2 3; do
        run_job timeout 10 "$FRAME_STEP" "$WIN" "$PID" 1 || fail "frame_step failed"
        [ "$(wc -l <"$COUNTS")" -eq "$reports" ] || break
    done
    TICKS=$(sed -n "$((reports + 1))s/.*ticks=\([0-9]*\).*/\1/p" "$COUNTS")
    [ -n "$TICKS" ] || fail "the program reported no tick count"
}

mkdir -p "$OUT"
cd "$(dirname "$SQUIRREL")"   # beside its textures
start_program squirrel-steps env SWAPCOUNT_FILE="$COUNTS" LD_PRELOAD="$TEMP_DIR/swapcount.so" \
    bash -c 'exec -a "$0" "$1"' squirrel-steps "$SQUIRREL"
kill -STOP "$PID"
sleep 0.5   # a swap sent before the stop reaches the X server before the frames are counted
frames 1
: >"$OUT/plan"
while read -r what arg; do
    case $what in
        step) frames "$arg" ;;
        keydown | keyup) send_keys "$what" "$arg" ;;
        shot) import -window "$WIN" -depth 8 "$OUT/$arg.png" || fail "could not grab the window" ;;
        *) fail "unknown drive row: $what $arg" ;;
    esac
    [ "$what" = step ] || echo "$TICKS $what $arg" >>"$OUT/plan"
done <"$DRIVE"
stop_programs
