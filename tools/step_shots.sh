#!/usr/bin/env bash
# Drives the real program frame by frame and saves its window at chosen
# moments, with the exact tick count of each, so that another renderer can be
# stepped to the same ticks (tests/web_test.sh compares the browser page).
# Reads a DRIVE file, one row each:
#   step N            let the program draw N more frames, one per tick
#   keydown|keyup KEY a key event, taken at the next tick
#   shot NAME         save the window as OUT/NAME.png
# and writes OUT/plan, the same rows with the program's tick count before
# each (the timer re-arms since it started). The build's swapcount.so, beside
# SQUIRREL (tools/swapcount.cpp), holds the program after each frame until it
# is given the next, and counts the ticks.
# Uses $DISPLAY. Usage: tools/step_shots.sh SQUIRREL DRIVE OUT
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/tools/setup.sh"

script_options "$@"
[ $# -eq 3 ] || { header_usage >&2; exit 2; }
SQUIRREL=$(realpath "$1") DRIVE=$(realpath "$2") OUT=$(realpath -m "$3")
SWAPCOUNT=$(dirname "$SQUIRREL")/swapcount.so
[ -f "$SWAPCOUNT" ] || fail "no $SWAPCOUNT: build it with cmake --build $(dirname "$SQUIRREL") --target swapcount"
handle_signals
temp_dir steps
COUNTS=$TEMP_DIR/counts STEPS=$TEMP_DIR/steps
: >"$COUNTS"
mkfifo "$STEPS"

# frames N: lets the program draw N more frames (none: just the one it holds);
# TICKS is its tick count at the last of them, which is now on the screen.
frames() {
    local want=$(($(wc -l <"$COUNTS") + $1))
    [ "$want" -gt 0 ] || want=1
    head -c "$1" /dev/zero >"$STEPS"
    for _ in $(seq 400); do
        [ "$(wc -l <"$COUNTS")" -lt "$want" ] || break
        kill -0 "$PID" 2>/dev/null || fail "the program stopped"
        sleep 0.05
    done
    TICKS=$(sed -n "${want}s/.*ticks=\([0-9]*\).*/\1/p" "$COUNTS")
    [ -n "$TICKS" ] || fail "the program drew no frame for 20 s"
}

mkdir -p "$OUT"
cd "$(dirname "$SQUIRREL")"   # beside its textures
start_program squirrel-steps env SWAPCOUNT_FILE="$COUNTS" SWAPCOUNT_STEPS="$STEPS" \
    LD_PRELOAD="$SWAPCOUNT" bash -c 'exec -a "$0" "$1"' squirrel-steps "$SQUIRREL"
# From the second frame on: the very first draws its ground with the bark
# texture that loading left bound, which the first tree then unbinds.
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
