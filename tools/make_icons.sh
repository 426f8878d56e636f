#!/usr/bin/env bash
# Makes the program's icons from its own scene: tools/make_icon draws the
# standing squirrel close up on a virtual X display, and ImageMagick rounds
# the corners and scales it to each size. The PNGs are committed, so that
# neither a build nor the browser page needs an X server for them; run this
# again when the squirrel's look changes.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/tools/setup.sh"
BUILD=${SQUIRREL_BUILD_DIR:-$ROOT/build}
OUT=$ROOT/packaging/icons
SIZES=(48 64 128 192 256 512)   # the desktop's sizes, and the page's 192 and 512

usage() {
    echo "usage: tools/make_icons.sh [-h | --help]"
    echo "  draws the squirrel on a virtual display and writes packaging/icons/squirrel-SIZE.png"
    echo "  for SIZE in ${SIZES[*]}"
}

main() {
    no_options "$@"
    handle_signals
    ensure_packages "${BUILD_PACKAGES[@]}" "${XVFB_PACKAGES[@]}" imagemagick
    configure_build "$BUILD" -- make_icon textures
    temp_dir icons
    start_xvfb 1024x1024
    # Drawn at twice the largest size and scaled down, so that edges are smooth.
    (cd "$BUILD" && run_job ./make_icon 1024 "$TEMP_DIR/scene.ppm") || fail "make_icon could not draw the icon"
    convert "$TEMP_DIR/scene.ppm" -alpha set \
        \( +clone -alpha transparent -fill white -draw 'roundrectangle 0,0 1023,1023 160,160' \) \
        -compose DstIn -composite "$TEMP_DIR/rounded.png"
    mkdir -p "$OUT"
    local size
    for size in "${SIZES[@]}"; do
        convert "$TEMP_DIR/rounded.png" -filter Lanczos -resize "${size}x${size}" -strip \
            "PNG32:$OUT/squirrel-$size.png"
    done
    echo "Icons: $OUT/squirrel-{$(IFS=,; echo "${SIZES[*]}")}.png"
}

main "$@"
