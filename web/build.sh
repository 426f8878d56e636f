#!/usr/bin/env bash
# Builds the browser page into build-web/ at the repository root with CMake
# through Emscripten's toolchain (the sources and flags live in
# web/CMakeLists.txt): the page's files, exactly, in build-web/site/. Needs
# emcmake and node (Emscripten runs on it), nothing from npm; tools/setup.sh
# lists the packages.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/tools/setup.sh"
OUT="$ROOT/build-web"
# Debian's emcc with a Node.js from elsewhere finds its acorn module here.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

usage() {
    echo "usage: web/build.sh [-h | --help]"
    echo "  emcmake cmake -S . -B build-web && cmake --build build-web: the page's files in build-web/site/"
}

main() {
    no_options "$@"
    handle_signals
    command -v emcmake >/dev/null || fail "emcmake not found (Debian package emscripten)"
    command -v node >/dev/null || fail "node not found: install Node.js 18 or newer (on Debian: apt-get install nodejs)"
    # The toolchain's default emulator passes Node a flag that Node 20 rejects;
    # nothing here runs WebAssembly at build time, so plain node will do.
    mkdir -p "$OUT"
    echo "Building the page in $OUT (log: $OUT/build.log)"
    if ! { run_job emcmake cmake -S "$ROOT" -B "$OUT" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v node)" &&
        run_job cmake --build "$OUT" -j "$(nproc)"; } >"$OUT/build.log" 2>&1; then
        tail -n 20 "$OUT/build.log" >&2
        fail "the page's build failed; its whole log is $OUT/build.log"
    fi
    # A GL 1.1 call left to Emscripten links to a stub that throws when called.
    ! grep -o "Legacy GL function ([a-zA-Z0-9]*)" "$OUT/index.js" || fail "GL calls without a definition in web/"
    echo "Browser build: $OUT/site/index.html"
}

main "$@"
