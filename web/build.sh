#!/usr/bin/env bash
# Builds the browser page into build-web/ at the repository root with CMake
# through Emscripten's toolchain (the sources and flags live in
# web/CMakeLists.txt): index.html, index.js, index.wasm and index.data.
# Also installs the page's driver (puppeteer-core, web/package-lock.json)
# with npm ci when it is missing or out of date. Needs emcmake, a host C++
# compiler, node and npm; tools/setup.sh lists the packages.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
OUT="$ROOT/build-web"
# Debian's emcc with a Node.js from elsewhere finds its acorn module here.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
STARTED=""

usage() {
    echo "usage: web/build.sh"
    echo "  emcmake cmake -S . -B build-web && cmake --build build-web, then npm ci in web/ if needed"
}

fail() {
    echo "web/build.sh: $*" >&2
    exit 1
}

stop_started() { [ -z "$STARTED" ] || kill "$STARTED" 2>/dev/null || true; }
trap stop_started EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# run COMMAND...: in the background, so that Ctrl-C is handled at once.
run() {
    "$@" &
    STARTED=$!
    wait "$STARTED"
}

# The driver's npm packages, exactly as locked; npm downloads no browser.
node_modules() {
    local stamp="$ROOT/web/node_modules/.installed-lock.json"
    cmp -s "$ROOT/web/package-lock.json" "$stamp" 2>/dev/null && return 0
    (cd "$ROOT/web" && run npm ci --no-audit --no-fund --loglevel=error) || fail "npm ci failed in web/"
    cp "$ROOT/web/package-lock.json" "$stamp"
}

main() {
    case "${1:-}" in
        -h | --help) usage; exit 0 ;;
        "") ;;
        *) usage >&2; exit 2 ;;
    esac
    command -v emcmake >/dev/null || fail "emcmake not found (Debian package emscripten)"
    command -v node >/dev/null && command -v npm >/dev/null ||
        fail "node and npm not found: install Node.js 18 or newer (on Debian: apt-get install nodejs npm)"
    # The toolchain's default emulator passes Node a flag that Node 20 rejects;
    # nothing here runs WebAssembly at build time, so plain node will do.
    run emcmake cmake -S "$ROOT" -B "$OUT" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v node || echo node)" >/dev/null ||
        fail "cmake configure failed for $OUT"
    run cmake --build "$OUT" -j "$(nproc)" || fail "build failed in $OUT"
    node_modules
    echo "Browser build: $OUT/index.html"
}

main "$@"
