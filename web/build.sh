#!/usr/bin/env bash
# Builds the browser page into build-web/ at the repository root with CMake
# through Emscripten's toolchain (the sources and flags live in
# web/CMakeLists.txt): index.html, index.js, index.wasm and index.data.
# Needs emcmake and a host C++ compiler; tools/setup.sh lists the packages.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
OUT="$ROOT/build-web"
# Debian's emcc with a Node.js from elsewhere finds its acorn module here.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
STARTED=""

usage() {
    echo "usage: web/build.sh"
    echo "  emcmake cmake -S . -B build-web && cmake --build build-web"
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

main() {
    case "${1:-}" in
        -h | --help) usage; exit 0 ;;
        "") ;;
        *) usage >&2; exit 2 ;;
    esac
    command -v emcmake >/dev/null || fail "emcmake not found (Debian package emscripten)"
    # The toolchain's default emulator passes Node a flag that Node 20 rejects;
    # nothing here runs WebAssembly at build time, so plain node will do.
    run emcmake cmake -S "$ROOT" -B "$OUT" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v node || echo node)" >/dev/null ||
        fail "cmake configure failed for $OUT"
    run cmake --build "$OUT" -j "$(nproc)" || fail "build failed in $OUT"
    echo "Browser build: $OUT/index.html"
}

main "$@"
