# Shared by run.sh and test.sh (sourced, not run): Debian packages, the CMake
# build, and a virtual X server for machines without a display.

# Packages that building and running the program need.
RUN_PACKAGES=(cmake make g++ freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri
              xvfb xauth x11-utils xdotool imagemagick)
# Extra packages for the test suite.
TEST_PACKAGES=(libgtest-dev valgrind)
# The browser build (web/build.sh) and running it headless (web/browser.js).
WEB_PACKAGES=(emscripten g++ nodejs chromium)

XVFB_PID=""

fail() {
    echo "error: $*" >&2
    exit 1
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

# configure_build DIR [CMAKE_ARGS...]: an optimised build in DIR.
configure_build() {
    local dir=$1
    shift
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null ||
        fail "cmake configure failed for $dir"
    cmake --build "$dir" -j "$(nproc)" || fail "build failed in $dir"
}

# Starts Xvfb on the first free display and exports DISPLAY, unless a display
# is already there. The caller's trap runs stop_xvfb.
start_xvfb_if_needed() {
    [ -n "${DISPLAY:-}" ] && return 0
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 2048x1536x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        local tries
        for tries in $(seq 50); do
            if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
                export DISPLAY=":$n"
                return 0
            fi
            kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    done
    fail "could not start Xvfb"
}

stop_xvfb() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}
