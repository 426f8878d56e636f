#!/usr/bin/env bash
# End-to-end tests of the built program, each on an Xvfb of its own: a failed
# quadric at start-up, the window's title and first frame, the Up key with no
# texture files, and window sizes from 1x1 to 2048x1152 in one run.
# Usage: end_to_end_test.sh SCENARIO PROGRAM NULLQUAD_LIBRARY
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 SCENARIO PROGRAM NULLQUAD_LIBRARY" >&2; exit 2; }
SCENARIO=$1 BIN=$2 NULLQUAD=$3
source "$(dirname "$0")/test_lib.sh"

FUR_PX='r > 20 && b < 8 && r > 2.5 * g'                 # single pixels
BARK_PX='r > 20 && b < 8 && r > 1.5 * g && r < 2.5 * g' # untextured

# launch textures|none [ARGS...]: runs the program as ./squirrel-PID with ARGS
# from a folder of its own, with or without the texture files, and waits for
# its first frame, $TMP/first.png.
launch() {
    mkdir "$TMP/cwd" && cd "$TMP/cwd"
    [ "$1" = none ] || cp "$(dirname "$BIN")"/{leaves,bark}.rgb .
    shift
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
# -gldebug GLUT reports GL errors after each frame: stderr must stay empty):
# sky; ground with its far edge (z = -40) where a camera 2.75 high puts it;
# the brown squirrel in the middle, hind feet at (+-0.3536, 0.1464, 0), front
# paws at (+-0.5, 1, 0); tree row 0 right of it; the black bird above.
scenario_startup_frame() {
    local l r
    launch textures -gldebug
    check "$TMP/first.png" 30x20+10+10 "sky, top left" "$SKY" 30x20+600+10 "sky, top right" "$SKY" \
        40x20+10+450 "ground, bottom left" "$GROUND" 40x20+590+450 "ground, bottom right" "$GROUND" \
        "$(at 100 4 -29 0.4 -40)" "sky just above the ground's far edge" "$SKY" \
        "$(at 100 4 -25 0 -36)" "ground just below its far edge" "$GROUND" \
        "$BODY" "squirrel body in the middle" "$FUR" "$(at 6 6 0 0.1464 0)" "ground between the feet" "$GROUND" \
        "$(at 6 6 -0.3536 0.1464 0)" "left hind foot" "$FUR" "$(at 6 6 0.3536 0.1464 0)" "right hind foot" "$FUR" \
        "$(at 6 6 -0.5 1 0)" "left front paw" "$FUR" "$(at 6 6 0.5 1 0)" "right front paw" "$FUR" \
        "$TRUNK" "trunk of tree row 0" 'r >= 20 && b <= 5 && r > g' "$LEAF_BOX" "leaf sphere of tree row 0" "$LEAF"
    read -r l r _ < <(scan "$TMP/first.png" 640x200+0+0 'r + g + b < 10')
    [ $((l + r)) -ge 10 ] || fail "no black bird in the sky"
    expect_stderr ""
}

# With no texture files: both reported, leaves first, and the trees drawn in
# their plain colours. Holding Up runs the squirrel forward (-z), the camera
# behind it: tree row 0 first comes closer (lower in the picture), then slides
# out to the right, and the squirrel stays in the middle, seen from behind.
# Backward or sideways the tree would recede or stay, or the squirrel show its flank.
scenario_up_key_runs_forward() {
    local l r col row0 row near=0 low_right=320x216+320+264
    launch none
    expect_stderr $'Error loading leaves.rgb\nError loading bark.rgb\n'
    check "$TMP/first.png" "$LEAF_BOX" "plain leaf sphere" "$LEAF && g >= 40" \
        "$TRUNK" "plain trunk of tree row 0" 'r >= 30 && b <= 5 && r >= 1.7 * g && r <= 2.3 * g'
    read -r l r col row0 < <(scan "$TMP/first.png" "$low_right" "$BARK_PX")
    send_keys keydown Up
    for _ in $(seq 60); do
        sleep 0.05
        shoot "$TMP/b.png"
        read -r l r col row < <(scan "$TMP/b.png" "$low_right" "$BARK_PX")
        [ "$col" -ge 0 ] || break
        [ "$row" -gt $((row0 - 3)) ] || [ "$near" = 1 ] || fail "tree row 0 receded while Up was held"
        [ "$row" -lt $((row0 + 5)) ] || near=1
    done
    send_keys keyup Up
    [ "$col" -lt 0 ] || fail "tree row 0 did not leave the picture while Up was held"
    read -r l r _ < <(scan "$TMP/b.png" 180x250+230+150 "$FUR_PX")
    [ $((2 * l)) -lt $((3 * r)) ] && [ $((2 * r)) -lt $((3 * l)) ] ||
        fail "after running forward the squirrel is lopsided ($l fur pixels left, $r right)"
    check "$TMP/b.png" "$BODY" "squirrel still in the middle (the camera follows)" "$FUR"
}

# resize W H WHAT: the window takes the size and the program runs on.
resize() {
    xdotool windowsize "$WIN" "$1" "$2"
    for _ in $(seq 20); do
        xwininfo -id "$WIN" | grep -q "geometry $1x$2[+-]" && break
        sleep 0.1
    done
    xwininfo -id "$WIN" | grep -q "geometry $1x$2[+-]" || fail "the window did not become $1x$2"
    sleep 1
    kill -0 "$PID" 2>/dev/null || fail "the program ended at $1x$2: $(cat "$TMP/err")"
}

# At 1x1 the program runs on; at 2048x1152 the view scales by 1152/480 about
# the new centre; back at 640x480 it is as before. (X refuses a size of 0, so
# the height guard of reshape is tested in shell_test.)
scenario_window_sizes() {
    launch textures
    resize 1 1
    resize 2048 1152
    shoot "$TMP/large.png"
    check "$TMP/large.png" 100x60+20+20 "2048x1152: sky" "$SKY" 200x60+300+920 "2048x1152: ground" "$GROUND" \
        30x30+1009+683 "2048x1152: squirrel at the new centre" "$FUR"
    resize 640 480
    shoot "$TMP/back.png"
    check "$TMP/back.png" 60x40+20+20 "sky" "$SKY" 100x20+40+450 "ground" "$GROUND" "$BODY" "squirrel" "$FUR"
    expect_stderr ""
}

[ "$(type -t "scenario_$SCENARIO")" = function ] || { echo "unknown scenario $SCENARIO" >&2; exit 2; }
"scenario_$SCENARIO"
echo "PASS: $SCENARIO"
