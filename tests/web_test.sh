#!/usr/bin/env bash
# The browser build (built first) in headless Chromium: the first frame shows
# the scene and the bird where the desktop program draws them; holding Up
# moves it; without leaves.rgb the page says so as the desktop program does
# and goes on drawing. Usage: tests/web_test.sh
set -euo pipefail
source "$(dirname "$0")/test_lib.sh"
ROOT=$(cd "$(dirname "$0")/.." && pwd)

# page NAME STEP...: web/browser.js runs the steps, the page's console in
# $TMP/NAME.txt; an uncaught exception in the page fails.
page() {
    local name=$1
    shift
    node "$ROOT/web/browser.js" run "$ROOT/build-web" "$@" >"$TMP/$name.txt" 2>&1 &
    STARTED_PIDS+=("$!")
    wait "$!" || fail "the page did not run ($name): $(tail -n 5 "$TMP/$name.txt")"
    ! grep -m 3 '^exception:' "$TMP/$name.txt" || fail "the page threw ($name)"
}

program_lines() { grep '^console: Error' "$TMP/$1.txt" || true; }   # the program's messages in the console

ensure_packages "${WEB_PACKAGES[@]}" imagemagick
"$ROOT/web/build.sh"

page start open wait=1000 shot="$TMP/first.png" keydown=ArrowUp wait=1500 shot="$TMP/up.png" keyup=ArrowUp
check_scene "$TMP/first.png"
[ "$(count "$TMP/first.png" 640x200+0+0 'r + g + b < 10')" -ge 10 ] || fail "no black bird in the sky of the first frame"
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
