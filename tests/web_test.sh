#!/usr/bin/env bash
# The page in Chromium, Firefox and WebKit (the last two on an Xvfb of its own: headless Firefox has no
# WebGL), driven by tests/web_test.js; its pictures and clips probed here.
# Usage: tests/web_test.sh [ENGINE...] (chromium firefox webkit by default)
set -euo pipefail
source "$(dirname "$0")/test_lib.sh"
ROOT=$(cd "$(dirname "$0")/.." && pwd)
read -ra ENGINES <<<"${*:-chromium firefox webkit}"

ensure_packages "${WEB_PACKAGES[@]}" "${XVFB_PACKAGES[@]}" imagemagick ffmpeg
# The page builds without npm: an npm that fails comes first on the PATH.
mkdir "$TMP/no-npm" && printf '#!/bin/sh\necho "npm: not here" >&2\nexit 1\n' >"$TMP/no-npm/npm" && chmod +x "$TMP/no-npm/npm"
PATH="$TMP/no-npm:$PATH" "$ROOT/web/build.sh" >/dev/null || fail "the page did not build without npm"
install_browser_driver
start_xvfb 1280x1024
# WebKitGTK's compositor thread, drawing with llvmpipe, crashed its web process now and then
# (a segfault in swrast_dri.so, 5 in about 40 runs); the cases here read the canvas itself.
export WEBKIT_DISABLE_COMPOSITING_MODE=1
# The desktop program along a drive (first frame, sway, turn, blend, run, bump into tree row 0's
# trunk, straight to the right: 90 degrees is 20 ticks); the page follows its plan (web_test.js).
configure_build "$ROOT/build" -DBUILD_TESTING=ON -- squirrel swapcount joint_trace >/dev/null
# The joints along the drive that the page's "How it moves" view is read along (web_insides.js).
"$ROOT/build/joint_trace" --all stand=50 run=15 stand=33 >"$TMP/trace.csv"
printf '%s\n' 'shot first' 'step 40' 'shot sway' 'keydown Right' 'step 20' 'keyup Right' 'shot turn' \
    'keydown Up' 'step 5' 'shot blend' 'step 10' 'shot run' 'step 30' 'shot bump' 'keyup Up' >"$TMP/drive"
run_job "$ROOT/tools/step_shots.sh" "$ROOT/build/squirrel" "$TMP/drive" "$TMP/desktop"
# Build B for the update case: the site folder with one icon changed, its worker stamped anew.
cp -r "$ROOT/build-web/site" "$TMP/build-b"
convert "$TMP/build-b/squirrel-192.png" -negate "$TMP/build-b/squirrel-192.png"
cmake -DSITE="$TMP/build-b" -P "$ROOT/web/site.cmake" >/dev/null
run_job node "$ROOT/tests/web_test.js" "$ROOT/build-web/site" "$TMP" "${ENGINES[@]}" || fail "the browser cases failed"
# near A B WHAT [MAX]: the pictures within a mean absolute error of MAX of full scale (1%).
near() {
    local mae
    mae=$(compare -metric MAE "$1" "$2" null: 2>&1 || true)
    awk -v m="${mae#*(}" -v max="${4:-0.01}" 'BEGIN { exit !(m + 0 <= max && m ~ /^[0-9]/) }' || fail "$3: $mae"
}

# check_clip ENGINE: ffprobe reads the clip recorded in the page: the drawing buffer's size, the last
# frame within half a second of the time recorded, the first and last frames unlike.
check_clip() {
    local clip=$TMP/$1-clip.webm seconds size got frames last mae
    read -r seconds size <"$TMP/$1-clip.txt"
    read -r got frames last < <(ffprobe -v error -select_streams v:0 -show_entries stream=width,height:packet=pts_time \
        -of csv=p=0 "$clip" | awk -F, 'NF == 2 { size = $1 "x" $2 } NF == 1 { n++; if ($1 > t) t = $1 } END { print size, n, t }')
    [ "$got" = "$size" ] && awk -v l="$last" -v s="$seconds" 'BEGIN { exit !(l - s <= 0.5 && s - l <= 0.5) }' ||
        fail "$1: the clip is ${got:-unreadable}, its last frame at $last s; the canvas is $size, $seconds s recorded"
    ffmpeg -v error -i "$clip" -vf "select=eq(n\\,0)+eq(n\\,$((frames - 1)))" -vsync 0 "$TMP/$1-clip-%d.png"
    mae=$(compare -metric MAE "$TMP/$1-clip-1.png" "$TMP/$1-clip-2.png" null: 2>&1 || true)
    awk -v m="${mae#*(}" 'BEGIN { exit !(m + 0 >= 0.01) }' || fail "$1: the clip's first and last frames are alike: $mae"
    echo "$1: a clip of $seconds s recorded: $size, $frames frames, the last at $last s"
}

for engine in "${ENGINES[@]}"; do
    for shot in first sway turn blend run bump; do
        near "$TMP/desktop/$shot.png" "$TMP/$engine-step-$shot.png" "$engine: $shot against the desktop"
    done
    check_scene "$TMP/$engine-step-first.png"
    for shot in first sway; do   # the black bird, where the desktop shows it at that tick
        desktop=$(count "$TMP/desktop/$shot.png" 640x200+0+0 'r + g + b < 10')
        [ "$desktop" -lt 10 ] || [ "$(count "$TMP/$engine-step-$shot.png" 640x200+0+0 'r + g + b < 10')" -ge $((desktop / 2)) ] ||
            fail "$engine: $shot: no black bird in the sky, where the desktop frame has $desktop bird pixels"
    done
    check_scene "$TMP/$engine-step-sway.png"
    for shot in first sway turn blend run bump; do   # the d-pad's frames are the keyboard's
        [ "$(compare -metric AE "$TMP/$engine-step-$shot.png" "$TMP/$engine-pad-$shot.png" null: 2>&1)" = 0 ] ||
            fail "$engine: $shot steered by the gamepad differs from the keyboard's"
    done
    [ "$engine" != webkit ] || continue   # no resize shots, lost contexts, held-back loads nor recorder there
    for shot in back1 steer1 back2 steer2; do   # one engine's frames of one tick: a restore without the depth test is off by 0.25%
        near "$TMP/$engine-unlost-$shot.png" "$TMP/$engine-lost-$shot.png" "$engine: $shot after a lost context" 0.001
    done
    check_clip "$engine"
    CW=1000 CH=500 check "$TMP/$engine-1000x500x1.png" 40x20+950+470 "ground, bottom right at 1000x500" "$GROUND" \
        "$(CW=1000 CH=500 at 8 30 3 1 0)" "trunk of tree row 0 at the aspect 2:1" 'r >= 20 && b <= 5 && r > g'
    convert "$TMP/$engine-640x480x2.png" -resize '640x480!' "$TMP/$engine-half.png"
    check_scene "$TMP/$engine-half.png"
    check_scene "$TMP/$engine-missing2.png"
    ! compare -metric AE "$TMP/$engine-missing1.png" "$TMP/$engine-missing2.png" null: 2>/dev/null ||
        fail "$engine: without leaves.rgb the page stopped drawing"
done
if [ -f "$TMP/chromium-offline.png" ]; then
    check_scene "$TMP/chromium-offline.png"
fi
if [ -f "$TMP/chromium-phone-first.png" ]; then
    read -r CW CH < <(identify -format '%w %h\n' "$TMP/chromium-phone-first.png") && export CW CH
    check "$TMP/chromium-phone-first.png" "$(at 8 30 3 1 0)" "trunk of tree row 0 on the phone" 'r >= 20 && b <= 5 && r > g'
    check "$TMP/chromium-phone-up.png" "$(at 8 30 3 1 0)" "ground where tree row 0 stood, after running forward" "$GROUND" \
        "$(at 20 20 0 1.7 0.5)" "squirrel body still in the middle" "$FUR"
fi
echo "PASS: web_test"
