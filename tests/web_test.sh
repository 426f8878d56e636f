#!/usr/bin/env bash
# The browser build in headless Chromium (web/build.sh, web/browser.js): the
# first frame shows sky, ground, squirrel, tree row 0 and the bird where the
# desktop program draws them; holding Up moves the scene; without leaves.rgb
# the page reports it as the desktop program does and goes on drawing. Builds
# build-web/ first. Usage: tests/web_test.sh
set -euo pipefail
source "$(dirname "$0")/test_lib.sh"
ROOT=$(cd "$(dirname "$0")/.." && pwd)

# The back of the body (radius 0.5) at x = -0.3 and 0.3 has normals (-+0.6, 0,
# 0.8): fur red 255 * 0.3 * (0.5 + n . (1, 1, 1) / sqrt(3)).
read -r SHADE_LEFT SHADE_RIGHT < <(awk 'BEGIN { print 76.5 * (0.5 + 0.2 / sqrt(3)), 76.5 * (0.5 + 1.4 / sqrt(3)) }')

# page NAME STEP...: web/browser.js runs the steps; its output (the page's
# console) lands in $TMP/NAME.txt. An uncaught exception in the page fails.
page() {
    local name=$1
    shift
    node "$ROOT/web/browser.js" run "$ROOT/build-web" "$@" >"$TMP/$name.txt" 2>&1 &
    STARTED_PIDS+=("$!")
    wait "$!" || fail "the page did not run ($name): $(tail -n 5 "$TMP/$name.txt")"
    ! grep -m 3 '^exception:' "$TMP/$name.txt" || fail "the page threw ($name)"
}

# program_lines NAME: the program's messages in the page's console.
program_lines() { grep '^console: Error' "$TMP/$1.txt" || true; }

# check_scene FILE: sky, ground, the squirrel in the middle and tree row 0.
check_scene() {
    check "$1" 30x20+10+10 "sky, top left" "$SKY" 30x20+600+10 "sky, top right" "$SKY" \
        40x20+10+450 "ground, bottom left" "$GROUND" 40x20+590+450 "ground, bottom right" "$GROUND" \
        "$BODY" "squirrel body in the middle" "$FUR" "$TRUNK" "trunk of tree row 0" 'r >= 20 && b <= 5 && r > g' \
        "$(at 6 16 -0.3 1.7 0.5)" "body, turned from the light" "$FUR && r >= $SHADE_LEFT - 8 && r <= $SHADE_LEFT + 8" \
        "$(at 6 16 0.3 1.7 0.5)" "body, facing the light" "$FUR && r >= $SHADE_RIGHT - 8 && r <= $SHADE_RIGHT + 8" \
        "$LEAF_BOX" "leaf sphere of tree row 0" "$LEAF"
}

ensure_packages "${WEB_PACKAGES[@]}" imagemagick
"$ROOT/web/build.sh"

page start open wait=1000 shot="$TMP/first.png" keydown=ArrowUp wait=1500 shot="$TMP/up.png" keyup=ArrowUp
check_scene "$TMP/first.png"
dark=$(convert "$TMP/first.png" -crop 640x200+0+0 -fx 'r + g + b < 0.04' -format '%[fx:round(mean * w * h)]' info:)
[ "$dark" -ge 10 ] || fail "no black bird in the sky of the first frame ($dark dark pixels)"
[ -z "$(program_lines start)" ] || fail "unexpected messages: $(program_lines start)"
# Running forward (1.4 to 15 units at 10 to 100 ticks a second), the camera
# behind, tree row 0 passes on the right.
check "$TMP/up.png" "$BODY" "squirrel body still in the middle" "$FUR" \
    "$TRUNK" "ground where tree row 0 stood, after running forward" "$GROUND"

page missing open=without=leaves.rgb wait=500 shot="$TMP/m1.png" wait=500 shot="$TMP/m2.png"
[ "$(program_lines missing)" = "console: Error loading leaves.rgb" ] ||
    fail "without leaves.rgb the page said '$(program_lines missing)', not 'Error loading leaves.rgb'"
check_scene "$TMP/m2.png"
! compare -metric AE "$TMP/m1.png" "$TMP/m2.png" null: 2>/dev/null || fail "without leaves.rgb the page stopped drawing"
echo "PASS: web_test"
