# shellcheck shell=bash
# Helpers for the end-to-end tests: an Xvfb if there is no DISPLAY, the program
# started until its first frame, and pixel scans.
source "$(dirname "${BASH_SOURCE[0]}")/test_lib.sh"
start_xvfb_if_needed

# launch TITLE [ARGS...]: runs $BIN here as TITLE (argv[0]), stderr to $TMP/err,
# finds its window, waits for a drawn frame (blue corner) and saves one 0.2 s
# later, the camera settled, as $TMP/first.png. Every wait is bounded. Sets PID
# and WIN.
launch() {
    local title=$1 i
    shift
    start_program "$title" 10 bash -c 'exec -a "$0" "$@"' "$title" "$BIN" "$@"
    xdotool windowmove "$WIN" 0 0 windowraise "$WIN"
    for i in $(seq 30); do
        shoot "$TMP/first.png"
        [ "$(scan "$TMP/first.png" 10x10+5+5 'r + g == 0 && b == 255' | cut -d' ' -f1,2)" != "50 50" ] ||
            { sleep 0.2; shoot "$TMP/first.png"; return 0; }
        sleep 0.1
    done
    fail "the window never showed a frame with the blue background"
}

# scan FILE WxH+X+Y CONDITION: how many of the region's pixels meeting CONDITION
# lie in its left and right halves, and their mean column and row (-1 if none).
scan() {
    local x0=${2%+*}
    convert "$1" -crop "$2" +repage -depth 8 -compress none ppm:- | tr -s ' \n' '\n' |
        awk -v x0="${x0##*+}" -v y0="${2##*+}" "NR == 2 { w = \$1 } NR > 4 { c[n++ % 3] = \$1 }
            NR > 4 && n % 3 == 0 { r = c[0]; g = c[1]; b = c[2]; p = n / 3 - 1
                if ($3) { if (p % w < w / 2) L++; else R++; sx += p % w; sy += int(p / w) } }
            END { k = L + R; printf \"%d %d %d %d\\n\", L, R, k ? x0 + sx / k : -1, k ? y0 + sy / k : -1 }"
}
