# shellcheck shell=bash
# Shared by the test scripts that drive the real program (sourced): a work
# folder, every started process killed by PID on exit, an Xvfb when needed,
# the program under a title of its own so its window can be found (freeglut
# sets no _NET_WM_PID), screenshots, colour checks and the camera's projection.
source "$(dirname "${BASH_SOURCE[0]}")/../tools/setup.sh"
PIDS=()
TMP=$(mktemp -d "${TMPDIR:-/tmp}/squirrel-test.XXXXXX")
cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do kill -CONT "$pid" 2>/dev/null && kill "$pid" 2>/dev/null || true; done
    for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    stop_xvfb
    rm -rf "$TMP"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# own_display WxH: an Xvfb on a display number of its own choosing.
own_display() {
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$TMP/display" 2>/dev/null &
    PIDS+=("$!")
    for _ in $(seq 100); do [ -s "$TMP/display" ] && break; sleep 0.1; done
    [ -s "$TMP/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(head -n 1 "$TMP/display")"
}

# start_program TITLE SECONDS COMMAND...: runs COMMAND in the background,
# stderr to $TMP/err, and waits for the window titled exactly TITLE. Sets PID
# and WIN.
start_program() {
    local title=$1 secs=$2 regex id
    shift 2
    "$@" 2>"$TMP/err" &
    PID=$! WIN=""
    PIDS+=("$PID")
    regex="^$(printf '%s' "$title" | sed 's/[][\.*^$+?(){}|/]/\\&/g')\$"
    for _ in $(seq $((secs * 5))); do
        kill -0 "$PID" 2>/dev/null || fail "the program exited before showing a window: $(tail -n 5 "$TMP/err")"
        for id in $(xdotool search --name "$regex" 2>/dev/null); do
            [ "$(xdotool getwindowname "$id" 2>/dev/null)" != "$title" ] || WIN=$id
        done
        [ -z "$WIN" ] || return 0
        sleep 0.2
    done
    fail "no window titled '$title' within $secs s"
}

# send_keys keydown|keyup KEY...: key events straight to the window (without
# a window manager xdotool warns about the focus; the events arrive anyway).
send_keys() {
    local action=$1 out
    shift
    out=$(xdotool "$action" --window "$WIN" "$@" 2>&1) || fail "xdotool $action $* failed: $out"
}

# shoot FILE: the raised window with the program paused, so one frame.
shoot() {
    xdotool windowraise "$WIN"
    kill -STOP "$PID"
    import -window "$WIN" "$1" || { kill -CONT "$PID"; fail "screenshot of the window failed"; }
    kill -CONT "$PID"
}

# check FILE [WxH+X+Y WHAT CONDITION]...: each region's mean colour (r, g, b
# in 0..255) meets its CONDITION, an awk expression.
check() {
    local file=$1 crops=() means i
    shift
    for ((i = 1; i <= $#; i += 3)); do crops+=('(' -clone 0 -crop "${!i}" +repage -resize '1x1!' ')'); done
    mapfile -t means < <(convert "$file" "${crops[@]}" -delete 0 \
        -format '%[fx:int(255*r+.5)] %[fx:int(255*g+.5)] %[fx:int(255*b+.5)]\n' info:)
    for ((i = 0; $# > 0; i++)); do
        awk -v c="${means[$i]:-}" "BEGIN { split(c, v, \" \"); r = v[1]; g = v[2]; b = v[3]; exit !(c != \"\" && $3) }" ||
            fail "$2: region $1 of $(basename "$file") has mean colour (${means[$i]:-none}), expected $3"
        shift 3
    done
}

# at W H x y z: a WxH box centred on the world point as seen from the resting
# camera: 2.75 high, 9 from the origin, level along -z, 60 degree fov, 640x480.
at() {
    awk -v w="$1" -v h="$2" -v x="$3" -v y="$4" -v z="$5" 'BEGIN { d = sqrt(81 - 2.75 ^ 2) - z
        f = 240 * cos(3.141592653589793 / 6) / sin(3.141592653589793 / 6)
        printf "%dx%d+%d+%d\n", w, h, 320 + f * x / d - w / 2 + .5, 240 - f * (y - 2.75) / d - h / 2 + .5 }'
}
