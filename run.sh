#!/usr/bin/env bash
# Builds the squirrel scene and runs it from the folder that holds its
# texture files. Without a display it runs on a virtual X server for a few
# seconds and saves a screenshot instead. --record makes an animated GIF of
# a scripted drive, --plot a picture of the joint angles over ticks, --web
# builds the browser version and serves it (web/run.sh).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
source "$ROOT/tools/setup.sh"
source "$ROOT/tools/record.sh"

BUILD=${SQUIRREL_BUILD_DIR:-$ROOT/build}
# A driver that makes the buffer swap wait for the screen's refresh would let
# one frame, and so one tick, through per refresh (60 ticks/s at 60 Hz); ask
# Mesa's and NVIDIA's drivers not to, so that the 10 ms timer sets the pace.
# MESA_DEBUG=silent keeps Mesa from announcing the override on every start.
export vblank_mode=0 __GL_SYNC_TO_VBLANK=0 MESA_DEBUG=${MESA_DEBUG:-silent}

usage() {
    cat <<USAGE
usage: $0 [-h | --help | --record [FILE.gif] | --plot [FILE.png] | --web]
Installs the Debian packages it needs (when missing), builds, then:
  (no option)  runs the program in a window; without a display, runs it for a
               few seconds on a virtual one and saves build/screenshot.png
  --record     records a scripted drive as an animated GIF (build/squirrel.gif)
  --plot       plots the joint angles over a stand-run-stand drive (build/joints.png)
  --web        builds the browser version and serves it on 127.0.0.1
Keys: the arrow keys steer the squirrel; close the window or press Ctrl-C to stop.
The build folder is build/ (or \$SQUIRREL_BUILD_DIR); its build.log holds the compiler's output.
USAGE
}

# build_program [TARGET...]: the program and its textures (and TARGETs) in
# BUILD, configured without the tests when the folder is new.
build_program() {
    local options=()
    [ -f "$BUILD/CMakeCache.txt" ] || options=(-DBUILD_TESTING=OFF)
    configure_build "$BUILD" "${options[@]}" -- squirrel textures "$@"
}

# With a display: build and run, nothing else needed.
run_program() {
    ensure_packages "${BUILD_PACKAGES[@]}" x11-utils
    use_display
    build_program
    cd "$BUILD"
    echo "Running $BUILD/squirrel on $DISPLAY"
    exec ./squirrel
}

# Without one: a few seconds on a virtual display and a screenshot.
run_screenshot() {
    ensure_packages "${BUILD_PACKAGES[@]}" "${XVFB_PACKAGES[@]}" "${SCREENSHOT_PACKAGES[@]}"
    build_program
    cd "$BUILD"
    start_xvfb
    echo "Running $BUILD/squirrel on a virtual display ($DISPLAY) for a few seconds"
    start_program ./squirrel ./squirrel
    # The first frames, while the bird is still in view above the squirrel.
    wait_for_frame "$BUILD/screenshot.png"
    pause 2
    kill -0 "$PID" 2>/dev/null || fail "the program stopped early"
    echo "Screenshot: $BUILD/screenshot.png"
}

case "${1:-}" in
    -h | --help) usage; exit 0 ;;
    "" | --record | --plot | --web) ;;
    *) usage >&2; exit 2 ;;
esac
handle_signals
case "${1:-}" in
    "") if [ -n "${DISPLAY:-}" ]; then run_program; else run_screenshot; fi ;;
    --record) record_gif "${2:-}" ;;
    --plot) plot_joints "${2:-}" ;;
    --web) exec "$ROOT/web/run.sh" ;;
esac
