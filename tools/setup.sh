# Shared by run.sh, test.sh, bench/run.sh and the test scripts (sourced, not
# run): Debian packages, the CMake build, the X display (a virtual one when
# there is none), the program's window, and stopping everything a script
# started when it ends or is interrupted. Expects ROOT to be the repository's
# root.

# Building and running the program.
BUILD_PACKAGES=(cmake make g++ freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri)
# A virtual X server, and looking at its windows.
XVFB_PACKAGES=(xvfb xauth x11-utils)
SCREENSHOT_PACKAGES=(xdotool imagemagick)
# The test suite (which also interrupts a recording and builds the package) and the benchmarks.
TEST_PACKAGES=(libgtest-dev valgrind ffmpeg libxdamage-dev desktop-file-utils appstream dpkg-dev file lintian)
BENCH_PACKAGES=(libbenchmark-dev)
# Recording the animation and plotting its joint angles (run.sh --record, --plot).
RECORD_PACKAGES=(ffmpeg libxdamage-dev)
PLOT_PACKAGES=(gnuplot-nox fonts-dejavu-core)
# The browser build (web/build.sh) and its browsers (tools/browsers/):
# WebKit's MiniBrowser comes with its WebDriver server and draws with Mesa on
# an Xvfb. Node and npm are checked by command, since Node.js may come from elsewhere.
WEB_PACKAGES=(emscripten g++ chromium firefox-esr webkit2gtk-driver libgl1-mesa-dri xvfb)

XVFB_PID=""
STARTED_PIDS=()    # programs started by start_program
TEMP_DIRS=()       # folders removed when the script ends

fail() {
    echo "error: $*" >&2
    exit 1
}

# stop_started: ends everything the script started and removes its temporary
# folders; safe to call more than once. The children are found by asking the
# system, not from a list, so that a signal coming between starting one and
# noting it leaves none behind: first each job (a child leading a session of
# its own, see run_job) with its whole process group, then the programs
# (continued, in case one was paused), then the X server they drew on.
stop_started() {
    local pid
    for pid in $(children_of_mine '$1 == $2'); do kill -TERM -- "-$pid" 2>/dev/null || true; done
    for pid in $(children_of_mine '$1 == $2'); do wait "$pid" 2>/dev/null || true; done
    for pid in $(children_of_mine '$1 != $2'); do kill -TERM "$pid" 2>/dev/null && kill -CONT "$pid" 2>/dev/null || true; done
    for pid in $(children_of_mine '$1 != $2'); do wait "$pid" 2>/dev/null || true; done
    STARTED_PIDS=()
    stop_xvfb
    [ ${#TEMP_DIRS[@]} -eq 0 ] || rm -rf "${TEMP_DIRS[@]}"
    TEMP_DIRS=()
}

# children_of_mine CONDITION: the script's child processes but its X server
# that meet CONDITION, an awk expression on $1 (process ID) and $2 (session ID).
children_of_mine() {
    ps -o pid=,sid= --ppid "$$" | awk -v x="${XVFB_PID:-0}" "\$1 != x && ($1) { print \$1 }"
}

# no_options ARGS...: for a script that takes no arguments: -h or --help
# prints its usage (the script's usage function) and exits 0, anything else
# prints it on stderr and exits 2.
no_options() {
    case "${1:-}" in
        "") ;;
        -h | --help) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
}

# script_options ARGS...: for a script whose usage is its header comment (the
# comment lines after the first line): -h or --help prints that and exits 0,
# another option prints it on stderr and exits 2; anything else is the script's.
script_options() {
    case "${1:-}" in
        -h | --help) header_usage; exit 0 ;;
        -*) header_usage >&2; exit 2 ;;
    esac
}
header_usage() {
    sed -n '2,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"
}

# npm_packages DIR: the npm packages of DIR (a folder with package.json and
# package-lock.json), exactly as locked, installed when missing or out of date.
npm_packages() {
    local stamp=$1/node_modules/.installed-lock.json
    cmp -s "$1/package-lock.json" "$stamp" 2>/dev/null && return 0
    command -v npm >/dev/null ||
        fail "npm not found: install Node.js 18 or newer with npm (on Debian: apt-get install nodejs npm)"
    run_job npm ci --prefix "$1" --no-audit --no-fund --loglevel=error ||
        fail "npm ci failed in ${1#"$ROOT"/}: check that the npm registry can be reached, then try again"
    cp "$1/package-lock.json" "$stamp"
}

# install_browser_driver: what starts the browsers (tools/browsers/browsers.js:
# puppeteer-core, and axe-core for the tests), for the scripts that start
# one; npm downloads no browser.
install_browser_driver() {
    npm_packages "$ROOT/tools/browsers"
}

# handle_signals: Ctrl-C (SIGINT), SIGTERM and SIGHUP stop everything the
# script started and end it with 130, 143 or 129; any other end cleans up too.
# Bash runs a trap only once its foreground command is done, so anything
# long runs through run_job or pause.
handle_signals() {
    trap 'stop_started; exit 130' INT
    trap 'stop_started; exit 143' TERM
    trap 'stop_started; exit 129' HUP
    trap stop_started EXIT
}

# run_job COMMAND...: runs COMMAND in a session and process group of its own
# and waits for it, so that an interrupt reaches the script's trap at once
# and stop_started ends the whole group. Returns COMMAND's status.
run_job() {
    setsid "$@" &
    wait "$!"
}

# pause SECONDS: sleep, interruptible.
pause() {
    run_job sleep "$1"
}

# temp_dir NAME: a new temporary folder, removed when the script ends; its path
# in TEMP_DIR.
temp_dir() {
    TEMP_DIR=$(mktemp -d "${TMPDIR:-/tmp}/squirrel-$1.XXXXXX")
    TEMP_DIRS+=("$TEMP_DIR")
}

missing_packages() {
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
            echo "$pkg"
    done
}

# Installs whatever of the given packages is missing: directly as root, through
# sudo when it needs no password, otherwise prints the command and stops.
ensure_packages() {
    local missing
    missing=$(missing_packages "$@" | tr '\n' ' ')
    [ -z "${missing// /}" ] && return 0
    local install="apt-get install -y --no-install-recommends $missing"
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: $missing"
        apt-get update -qq && DEBIAN_FRONTEND=noninteractive $install
    elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
        echo "Installing: $missing"
        sudo apt-get update -qq && sudo DEBIAN_FRONTEND=noninteractive $install
    else
        echo "Missing Debian packages. Install them with:" >&2
        echo "  sudo $install" >&2
        exit 1
    fi
}

# configure_build DIR [CMAKE_ARGS...] [-- TARGET...]: configures an optimised
# build in DIR with CMAKE_ARGS and builds it (only TARGETs, when given). The
# compiler's chatter goes to DIR/build.log, which a failure names.
configure_build() {
    local dir=$1 args=() targets=()
    shift
    while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1"); shift; done
    [ $# -eq 0 ] || { shift; targets=(--target "$@"); }
    mkdir -p "$dir"
    echo "Building in $dir (log: $dir/build.log)"
    if ! { run_job cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release "${args[@]}" &&
        run_job cmake --build "$dir" -j "$(nproc)" "${targets[@]}"; } >"$dir/build.log" 2>&1; then
        tail -n 20 "$dir/build.log" >&2
        fail "the build in $dir failed; its whole log is $dir/build.log"
    fi
}

# start_xvfb [WxH]: a virtual X server on a display number it picks itself,
# exported as DISPLAY. -noreset keeps it serving while no client is connected,
# so a test that connects just as another leaves is not refused. It runs in a
# session of its own, where the terminal's Ctrl-C cannot stop it before the
# programs that use it; stop_started stops it.
start_xvfb() {
    local ready
    ready=$(mktemp "${TMPDIR:-/tmp}/xvfb-display.XXXXXX")
    setsid Xvfb -displayfd 3 -screen 0 "${1:-2048x1536}x24" -nolisten tcp -noreset 3>"$ready" 2>/dev/null &
    XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s "$ready" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    export DISPLAY=":$(head -n 1 "$ready")"
    rm -f "$ready"
    [ "$DISPLAY" != ":" ] || fail "could not start Xvfb"
}

stop_xvfb() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}

# use_display [WxH]: the display in $DISPLAY, which must answer, or else a
# virtual one (needs XVFB_PACKAGES).
use_display() {
    if [ -z "${DISPLAY:-}" ]; then
        start_xvfb "$@"
    elif ! xdpyinfo >/dev/null 2>&1; then
        fail "cannot open the X display '$DISPLAY': start its X server, or unset DISPLAY to run on a virtual one"
    fi
}

# The program's window and its frames (needs SCREENSHOT_PACKAGES).
# start_program TITLE COMMAND...: starts COMMAND, its stderr to
# $PROGRAM_STDERR (the script's own by default), and waits up to 20 s for its
# window, titled exactly TITLE (the program's invocation name). Sets PID and WIN.
start_program() {
    local title=$1 id
    shift
    if [ -n "${PROGRAM_STDERR:-}" ]; then "$@" 2>"$PROGRAM_STDERR" & else "$@" & fi
    PID=$! WIN=""
    STARTED_PIDS+=("$PID")
    for _ in $(seq 100); do
        kill -0 "$PID" 2>/dev/null ||
            fail "$title exited before showing a window: $(tail -n 5 "${PROGRAM_STDERR:-/dev/null}")"
        for id in $(xdotool search --name "$(printf '%s' "$title" | sed 's/[][\.*^$+?(){}|/]/\\&/g')" 2>/dev/null); do
            [ "$(xdotool getwindowname "$id" 2>/dev/null)" != "$title" ] || WIN=$id
        done
        [ -z "$WIN" ] || return 0
        sleep 0.2
    done
    fail "no window titled '$title' within 20 s"
}

# Continued after the signal, in case one was paused.
stop_programs() {
    local pid
    for pid in "${STARTED_PIDS[@]}"; do kill "$pid" 2>/dev/null && kill -CONT "$pid" 2>/dev/null || true; done
    for pid in "${STARTED_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    STARTED_PIDS=()
}

# send_keys keydown|keyup KEY...: key events straight to the window (without
# a window manager xdotool warns about the focus; the events arrive anyway).
send_keys() {
    local action=$1 out
    shift
    out=$(xdotool "$action" --window "$WIN" "$@" 2>&1) || fail "xdotool $action $* failed: $out"
}

# shoot FILE: one frame of the window, the program paused meanwhile.
shoot() {
    kill -STOP "$PID"
    import -window "$WIN" "$1" || { kill -CONT "$PID"; fail "screenshot of the window failed"; }
    kill -CONT "$PID"
}

# count FILE WxH+X+Y CONDITION: how many of the region's pixels meet CONDITION.
count() {
    convert "$1" -crop "$2" +repage -depth 8 -compress none ppm:- | tr -s ' \n' '\n' |
        awk "NR > 4 { c[n++ % 3] = \$1 } NR > 4 && n % 3 == 0 { r = c[0]; g = c[1]; b = c[2]; k += ($3) } END { print k + 0 }"
}

# wait_for_frame FILE: polls for up to a minute until the window shows a
# drawn frame (a blue corner), then keeps one a moment later, the camera settled.
wait_for_frame() {
    for _ in $(seq 300); do
        if import -window "$WIN" "$1" 2>/dev/null &&
            [ "$(count "$1" 10x10+5+5 'r + g == 0 && b == 255')" = 100 ]; then
            sleep 0.3
            shoot "$1"
            return 0
        fi
        sleep 0.2
    done
    fail "the window never showed a frame with the blue background"
}
