# shellcheck shell=bash
# Helpers for the end-to-end tests: an Xvfb if there is no DISPLAY, the program
# under a title of its own, screenshots, colour measures. Processes started
# here are killed by PID on exit.
source "$(dirname "${BASH_SOURCE[0]}")/../tools/setup.sh"
PIDS=()
TMP=$(mktemp -d "${TMPDIR:-/tmp}/squirrel-e2e.XXXXXX")
cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do kill -CONT "$pid" 2>/dev/null && kill "$pid" 2>/dev/null || true; done
    for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    stop_xvfb
    rm -rf "$TMP"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
start_xvfb_if_needed

# launch TITLE [ARGS...]: runs $BIN here as TITLE (argv[0]), stderr to $TMP/err;
# finds the window titled exactly TITLE (freeglut sets no _NET_WM_PID), waits
# for a drawn frame (blue corner) and saves one 0.2 s later, the camera settled,
# as $TMP/first.png. Every wait is bounded. Sets PID and WIN.
launch() {
    local title=$1 regex id i
    shift
    (exec -a "$title" "$BIN" "$@") 2>"$TMP/err" &
    PID=$! WIN=""
    PIDS+=("$PID")
    regex="^$(printf '%s' "$title" | sed 's/[][\.*^$+?(){}|/]/\\&/g')\$"
    for id in $(timeout 10 xdotool search --sync --name "$regex" 2>/dev/null); do
        [ "$(xdotool getwindowname "$id")" != "$title" ] || WIN=$id
    done
    kill -0 "$PID" 2>/dev/null || fail "the program exited before showing a window"
    [ -n "$WIN" ] || fail "no window titled exactly '$title' within 10 s"
    xdotool windowmove "$WIN" 0 0 windowraise "$WIN"
    for i in $(seq 30); do
        shoot "$TMP/first.png"
        [ "$(scan "$TMP/first.png" 10x10+5+5 'r + g == 0 && b == 255' | cut -d' ' -f1,2)" != "50 50" ] ||
            { sleep 0.2; shoot "$TMP/first.png"; return 0; }
        sleep 0.1
    done
    fail "the window never showed a frame with the blue background"
}

# shoot FILE: the window with the program paused, so the picture is one frame.
shoot() {
    kill -STOP "$PID"
    import -window "$WIN" "$1" || { kill -CONT "$PID"; fail "screenshot failed"; }
    kill -CONT "$PID"
}

# check FILE [WxH+X+Y WHAT CONDITION]...: the mean colour of each region
# meets its CONDITION, an awk expression on r, g, b in 0..255.
check() {
    local file=$1 crops=() means i
    shift
    for ((i = 1; i <= $#; i += 3)); do crops+=('(' -clone 0 -crop "${!i}" +repage -resize '1x1!' ')'); done
    mapfile -t means < <(convert "$file" "${crops[@]}" -delete 0 -format '%[fx:int(255*r+.5)] %[fx:int(255*g+.5)] %[fx:int(255*b+.5)]\n' info:)
    for ((i = 0; $# > 0; i++)); do
        awk -v c="${means[$i]}" "BEGIN { split(c, v, \" \"); r = v[1]; g = v[2]; b = v[3]; exit !($3) }" ||
            fail "$2: region $1 has mean colour (${means[$i]}), expected $3"
        shift 3
    done
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

# at W H x y z: a WxH box centred on the world point as seen from the resting
# camera: 2.75 high, 9 from the origin, level along -z, 60 degree fov, 640x480.
at() {
    awk -v w="$1" -v h="$2" -v x="$3" -v y="$4" -v z="$5" 'BEGIN { d = sqrt(81 - 2.75 ^ 2) - z
        f = 240 * cos(3.141592653589793 / 6) / sin(3.141592653589793 / 6)
        printf "%dx%d+%d+%d\n", w, h, 320 + f * x / d - w / 2 + .5, 240 - f * (y - 2.75) / d - h / 2 + .5 }'
}
