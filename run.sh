#!/usr/bin/env bash
# Builds the squirrel scene and runs it from the folder that holds its
# texture files. Without a display it runs on a virtual X server for a few
# seconds and saves a screenshot instead. ./run.sh --web does the same for
# the browser build (web/run.sh).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
source "$ROOT/tools/setup.sh"
[ "${1:-}" = --web ] && exec "$ROOT/web/run.sh"

BUILD="$ROOT/build"
PROGRAM_PID=""

cleanup() {
    [ -n "$PROGRAM_PID" ] && kill "$PROGRAM_PID" 2>/dev/null
    stop_xvfb
}
trap cleanup EXIT

ensure_packages "${RUN_PACKAGES[@]}"
configure_build "$BUILD" -DBUILD_TESTING=OFF
cd "$BUILD"

if [ -n "${DISPLAY:-}" ]; then
    exec ./squirrel
fi

start_xvfb_if_needed
./squirrel &
PROGRAM_PID=$!
window=$(timeout 10 xdotool search --sync --name '^\./squirrel$' | head -n 1) ||
    fail "the program's window did not appear"
# Half a second in, the bird is still in view above the squirrel.
sleep 0.6
import -window "$window" "$BUILD/screenshot.png"
sleep 2.4
kill -0 "$PROGRAM_PID" 2>/dev/null || fail "the program stopped early"
echo "Screenshot: $BUILD/screenshot.png"
