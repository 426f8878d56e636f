#!/usr/bin/env bash
# Extreme window sizes on the running program: asked for 0 pixels high, 0 wide,
# 1x1 and 2048x1152 it keeps running and drawing; at 2048x1152 the frame fills
# the new size; back at 640x480 it looks as at start (sky, ground, squirrel),
# and nothing reaches stderr. X refuses a size of 0 (BadValue) and the window
# keeps its size: the test reports the size the window really has. Runs on an
# Xvfb of its own, large enough for 2048x1152 and with no other windows.
# Usage: window_extremes_test.sh PROGRAM   (run from the folder with the textures)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/test_lib.sh"
program=$(realpath "$1")

alive() { kill -0 "$PID" 2>/dev/null || fail "the program ended $1: $(cat "$TMP/err")"; }

# resize W H: asks for the size, waits until the window has it (or a moment
# longer for a size X refuses) and prints the size it really has.
resize() {
    local have
    xdotool windowsize "$WIN" "$1" "$2"
    for _ in $(seq 30); do
        have=$(xwininfo -id "$WIN" | awk '/^ *Width:/ { w = $2 } /^ *Height:/ { h = $2 } END { print w "x" h }')
        [ "$have" = "$1x$2" ] && break
        sleep 0.1
    done
    sleep 0.5
    alive "after being resized to $1x$2"
    echo "$have"
}

# still_working WHAT: over one second the program keeps using the processor.
still_working() {
    local before
    before=$(awk '{ print $14 + $15 }' "/proc/$PID/stat")
    sleep 1
    alive "$1"
    [ "$(awk '{ print $14 + $15 }' "/proc/$PID/stat")" -gt "$before" ] || fail "the program stopped working $1"
}

# Sky: the pure blue clear colour (the bird may cross it). Ground (0, 0.4, 0)
# lit from (1, 1, 1), light ambient 0.3, diffuse 1, scene ambient 0.2:
# 0.4 * (0.5 + 1/sqrt(3)) = 0.431, about 110. The squirrel is reddish brown.
sky='r <= 20 && g <= 20 && b >= 200'
ground='r <= 10 && b <= 10 && g >= 100 && g <= 120'
fur='r >= 40 && r >= 2 * g && b <= 10'

# At 640x480 the squirrel's body (1.2 to 2.2 high, 9 away, camera level at
# 2.75) lies just below the centre.
check_picture() { check "$1" 60x40+20+20 "$2: sky" "$sky" 100x40+40+420 "$2: ground" "$ground" 20x20+310+290 "$2: squirrel" "$fur"; }

# check_animating WHERE WxH+X+Y: holding Left turns the squirrel on the spot,
# so more than 100 pixels of the region change within 0.7 s.
check_animating() {
    local a=$TMP/a.png b=$TMP/b.png diff f
    send_keys keydown Left
    sleep 0.3; shoot "$a"
    sleep 0.7; shoot "$b"
    send_keys keyup Left
    for f in "$a" "$b"; do convert "$f" -crop "$2" +repage "$f"; done
    diff=$(compare -metric AE -fuzz 5% "$a" "$b" null: 2>&1 || true)
    [[ "$diff" =~ ^[0-9]+$ ]] || fail "cannot compare the pictures at $1: $diff"
    [ "$diff" -gt 100 ] || fail "the picture at $1 did not change while the squirrel turned ($diff pixels)"
}

# wait_for_frame FILE: polls until the window shows a drawn frame (blue corner).
wait_for_frame() {
    local rgb=""
    for _ in $(seq 50); do
        shoot "$1"
        rgb=$(convert "$1" -crop 10x10+5+5 +repage -resize '1x1!' -format '%[fx:int(255*r+.5)] %[fx:int(255*g+.5)] %[fx:int(255*b+.5)]' info:)
        [ "$rgb" = "0 0 255" ] && return 0
        sleep 0.2
    done
    fail "the window never showed a drawn frame (corner colour $rgb)"
}

own_display 2560x1600
start_program "squirrel-window-$$" 10 bash -c 'exec -a "$0" "$1"' "squirrel-window-$$" "$program"
xdotool windowmove "$WIN" 0 0
wait_for_frame "$TMP/start.png"
check_picture "$TMP/start.png" "at start"
for size in 640x0 0x480 0x0 1x1; do
    echo "asked for $size: window is $(resize "${size%x*}" "${size#*x}")"
    still_working "at $size"
done
have=$(resize 2048 1152)
[ "$have" = "2048x1152" ] || fail "the window did not become 2048x1152 (it is $have)"
still_working "at 2048x1152"
shoot "$TMP/large.png"
# The same view, scaled by 1152/480 about the new centre.
check "$TMP/large.png" 100x60+20+20 "2048x1152: sky" "$sky" 200x60+300+920 "2048x1152: ground" "$ground" \
    30x30+1009+683 "2048x1152: squirrel at the new centre" "$fur"
check_animating "2048x1152" 300x400+874+500
have=$(resize 640 480)
[ "$have" = "640x480" ] || fail "the window did not return to 640x480 (it is $have)"
sleep 1.5   # the tail settles after the turn
shoot "$TMP/end.png"
check_picture "$TMP/end.png" "back at 640x480"
check_animating "640x480" 120x160+260+220
[ ! -s "$TMP/err" ] || fail "the program wrote to the standard error stream: $(cat "$TMP/err")"
echo "PASS: window extremes"
