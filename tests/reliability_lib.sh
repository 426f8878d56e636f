# shellcheck shell=bash
# Shared by the reliability scripts (sourced): a work folder, every started
# process killed by PID on exit, an Xvfb of our own, and the program under a
# title of its own so its window can be found (freeglut sets no _NET_WM_PID).
PIDS=()
WORK=$(mktemp -d "${TMPDIR:-/tmp}/squirrel-reliability.XXXXXX")
cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do kill -CONT "$pid" 2>/dev/null && kill "$pid" 2>/dev/null || true; done
    for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# own_display WxH: an Xvfb on a display number of its own choosing.
own_display() {
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$WORK/display" 2>/dev/null &
    PIDS+=("$!")
    for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
    [ -s "$WORK/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(head -n 1 "$WORK/display")"
}

# launch TITLE SECONDS COMMAND...: runs COMMAND in the background, stderr to
# $WORK/err, and waits for the window titled exactly TITLE. Sets PID and WIN.
launch() {
    local title=$1 secs=$2 regex id
    shift 2
    "$@" 2>"$WORK/err" &
    PID=$! WIN=""
    PIDS+=("$PID")
    regex="^$(printf '%s' "$title" | sed 's/[][\.*^$+?(){}|/]/\\&/g')\$"
    for _ in $(seq $((secs * 5))); do
        kill -0 "$PID" 2>/dev/null || fail "the program exited before showing a window: $(tail -n 5 "$WORK/err")"
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
