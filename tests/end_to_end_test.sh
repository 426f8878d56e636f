#!/usr/bin/env bash
# End-to-end tests of the built program, each on an Xvfb of its own: a failed
# quadric at start-up, the window's title and first frame, and in one run the
# Up key and window sizes from 1x1 to 2048x1152.
# Usage: end_to_end_test.sh SCENARIO PROGRAM NULLQUAD_LIBRARY
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 SCENARIO PROGRAM NULLQUAD_LIBRARY" >&2; exit 2; }
SCENARIO=$1 BIN=$2 NULLQUAD=$3
source "$(dirname "$0")/test_lib.sh"

# launch [ARGS...]: runs the program as ./squirrel-PID with ARGS from a
# folder of its own with the texture files, and waits for its first frame,
# $TMP/first.png.
launch() {
    mkdir "$TMP/cwd" && cd "$TMP/cwd"
    cp "$(dirname "$BIN")"/{leaves,bark}.rgb .
    ln -s "$BIN" "squirrel-$$"
    start_xvfb 2560x1600
    start_program "./squirrel-$$" "./squirrel-$$" "$@"
    wait_for_frame "$TMP/first.png"
}
expect_stderr() { [ "$(cat "$TMP/err"; echo .)" = "$1." ] || fail "stderr was $(printf %q "$(cat "$TMP/err")")"; }

# The quadric made before main fails: one message line, status 1, no X needed.
scenario_quadric_failure() {
    local status=0
    env -u DISPLAY LD_PRELOAD="${LD_PRELOAD:+$LD_PRELOAD:}$NULLQUAD" "$BIN" >"$TMP/out" 2>"$TMP/err" || status=$?
    [ "$status" -eq 1 ] || fail "exit status $status, expected 1; stderr: $(cat "$TMP/err")"
    expect_stderr $'Unable to create GLU quadric object.\n'
    [ ! -s "$TMP/out" ] || fail "unexpected stdout: $(cat "$TMP/out")"
}

# Found by its relative invocation name although a GLUT option follows (with
# -gldebug GLUT reports GL errors after each frame: stderr must stay empty),
# the program shows the start-up frame: besides the scene, the ground's far
# edge (z = -40) where a camera 2.75 high puts it, the hind feet at (+-0.3536,
# 0.1464, 0), the front paws at (+-0.5, 1, 0), the black bird above.
scenario_startup_frame() {
    launch -gldebug
    check_scene "$TMP/first.png" "$(at 100 4 -29 0.4 -40)" "sky just above the ground's far edge" "$SKY" \
        "$(at 100 4 -25 0 -36)" "ground just below its far edge" "$GROUND" "$(at 6 6 0 0.1464 0)" "ground between the feet" "$GROUND" \
        "$(at 6 6 -0.3536 0.1464 0)" "left hind foot" "$FUR" "$(at 6 6 0.3536 0.1464 0)" "right hind foot" "$FUR" \
        "$(at 6 6 -0.5 1 0)" "left front paw" "$FUR" "$(at 6 6 0.5 1 0)" "right front paw" "$FUR"
    [ "$(count "$TMP/first.png" 640x200+0+0 'r + g + b < 10')" -ge 10 ] || fail "no black bird in the sky"
    expect_stderr ""
}

# Holding Up runs the squirrel off, the camera behind it: tree row 0 leaves
# its place and the squirrel stays in the middle. Then at 1x1 the program
# runs on, at 2048x1152 the view scales by 1152/480 about the new centre, and
# back at 640x480 it is as before. (X refuses a size of 0, so the height
# guard of reshape is tested in shell_test.)
scenario_keys_and_window_sizes() {
    launch
    send_keys keydown Up
    sleep 1
    shoot "$TMP/up.png"
    send_keys keyup Up
    check "$TMP/up.png" "$TRUNK" "ground where tree row 0 stood" "$GROUND" "$BODY" "squirrel still in the middle" "$FUR"
    for size in 1x1 2048x1152 640x480; do
        xdotool windowsize "$WIN" "${size%x*}" "${size#*x}"
        for _ in $(seq 20); do xwininfo -id "$WIN" | grep -q "geometry $size[+-]" && break; sleep 0.1; done
        xwininfo -id "$WIN" | grep -q "geometry $size[+-]" || fail "the window did not become $size"
        sleep 1
        kill -0 "$PID" 2>/dev/null || fail "the program ended at $size: $(cat "$TMP/err")"
        [ "$size" = 1x1 ] || shoot "$TMP/$size.png"
    done
    check "$TMP/2048x1152.png" 100x60+20+20 "2048x1152: sky" "$SKY" 200x60+300+920 "2048x1152: ground" "$GROUND" \
        30x30+1009+683 "2048x1152: squirrel at the new centre" "$FUR"
    check "$TMP/640x480.png" 60x40+20+20 "sky" "$SKY" 100x20+40+450 "ground" "$GROUND" "$BODY" "squirrel" "$FUR"
    expect_stderr ""
}

[ "$(type -t "scenario_$SCENARIO")" = function ] || { echo "unknown scenario $SCENARIO" >&2; exit 2; }
"scenario_$SCENARIO"
echo "PASS: $SCENARIO"
