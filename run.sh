#!/usr/bin/env bash
# Builds the squirrel scene and runs it from the folder that holds its
# texture files. Without a display it runs on a virtual X server for a few
# seconds and saves a screenshot instead. --record makes an animated GIF of
# a scripted drive, --plot a picture of the joint angles over ticks, --web
# builds the browser version and serves it (web/run.sh).
#
# Usage: ./run.sh [--record [FILE.gif] | --plot [FILE.png] | --web]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
source "$ROOT/tools/setup.sh"
source "$ROOT/tools/record.sh"

BUILD="$ROOT/build"

cleanup() {
    stop_programs
    stop_xvfb
}
trap cleanup EXIT

# With a display: build and run, nothing else needed.
run_program() {
    ensure_packages "${BUILD_PACKAGES[@]}"
    configure_build "$BUILD" -DBUILD_TESTING=OFF
    cd "$BUILD"
    exec ./squirrel
}

# Without one: a few seconds on a virtual display and a screenshot.
run_screenshot() {
    ensure_packages "${BUILD_PACKAGES[@]}" "${XVFB_PACKAGES[@]}" "${SCREENSHOT_PACKAGES[@]}"
    configure_build "$BUILD" -DBUILD_TESTING=OFF
    cd "$BUILD"
    start_xvfb
    start_program ./squirrel ./squirrel
    # The first frames, while the bird is still in view above the squirrel.
    wait_for_frame "$BUILD/screenshot.png"
    sleep 2
    kill -0 "$PID" 2>/dev/null || fail "the program stopped early"
    echo "Screenshot: $BUILD/screenshot.png"
}

case "${1:-}" in
    "") if [ -n "${DISPLAY:-}" ]; then run_program; else run_screenshot; fi ;;
    --record) record_gif "${2:-}" ;;
    --plot) plot_joints "${2:-}" ;;
    --web) exec "$ROOT/web/run.sh" ;;
    *) echo "usage: $0 [--record [FILE.gif] | --plot [FILE.png] | --web]" >&2; exit 2 ;;
esac
