#!/usr/bin/env bash
# Builds the program for the browser (WebAssembly, WebGL 1) into build-web/ at
# the repository root: index.html, index.js, index.wasm and index.data (the two
# texture files). The sources in src/ compile unchanged; web/ffp.cpp and
# web/ffp_webgl.cpp define the GL, GLU and GLUT calls they make. Needs em++
# and g++ (the texture generator runs natively); tools/setup.sh lists the
# packages.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
OUT="$ROOT/build-web"
# Debian's emcc with a Node.js from elsewhere finds its acorn module here.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
CXXFLAGS=(-O2 -std=c++17 -Wall -Wextra -ffp-contract=off)
JOBS=()

stop_jobs() {
    local pid
    for pid in "${JOBS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
}
trap stop_jobs EXIT

fail() {
    echo "web/build.sh: $*" >&2
    exit 1
}

# The same generated texture files as the desktop build.
make_textures() {
    mkdir -p "$OUT/files"
    g++ -O2 -std=c++17 "$ROOT/tools/make_textures.cpp" -o "$OUT/make_textures" ||
        fail "cannot build tools/make_textures.cpp"
    "$OUT/make_textures" "$OUT/files" || fail "make_textures failed"
}

# compile SOURCE [FLAGS...]: one object in $OUT/obj.
compile() {
    local source=$1
    shift
    em++ "${CXXFLAGS[@]}" "$@" -c "$ROOT/$source" -o "$OUT/obj/$(basename "$source" .cpp).o" ||
        fail "em++ failed on $source"
}

main() {
    command -v em++ >/dev/null || fail "em++ not found (Debian package emscripten)"
    rm -rf "$OUT"
    mkdir -p "$OUT/obj"
    make_textures
    local source pid
    for source in src/main.cpp src/squirrel.cpp src/objects.cpp web/ffp.cpp web/ffp_webgl.cpp; do
        compile "$source" &
        JOBS+=("$!")
    done
    for pid in "${JOBS[@]}"; do
        wait "$pid" || fail "compilation failed"
    done
    em++ -O2 "$OUT"/obj/*.o -o "$OUT/index.html" \
        -sENVIRONMENT=web -sMINIFY_HTML=0 \
        --shell-file "$ROOT/web/index.html" --pre-js "$ROOT/web/pre.js" \
        --preload-file "$OUT/files@/" || fail "em++ link failed"
    # A GL 1.1 call left to Emscripten links to a stub that throws when called.
    ! grep -o "Legacy GL function ([a-zA-Z0-9]*)" "$OUT/index.js" || fail "GL calls without a definition in web/"
    echo "Browser build: $OUT/index.html"
}

main "$@"
