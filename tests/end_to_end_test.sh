#!/usr/bin/env bash
# End-to-end tests of the program, built and installed, each on an Xvfb of its
# own: a failed quadric, the title and first frame, the Up key and window
# sizes; the staged install and the Debian package through their command.
# Usage: end_to_end_test.sh SCENARIO PROGRAM NULLQUAD_LIBRARY
set -euo pipefail
source "$(dirname "$0")/test_lib.sh"
[ $# -eq 3 ] || { header_usage >&2; exit 2; }
SCENARIO=$1 BIN=$2 NULLQUAD=$3

# launch [ARGS...]: the program as ./squirrel-PID with ARGS, in a folder of
# its own with the texture files, until its first frame, $TMP/first.png.
launch() {
    require Xvfb xdotool import convert
    mkdir "$TMP/cwd" && cd "$TMP/cwd"
    cp "$(dirname "$BIN")"/{leaves,bark}.rgb .
    ln -s "$BIN" "squirrel-$$"
    start_xvfb 2560x1600
    start_program "./squirrel-$$" "./squirrel-$$" "$@"
    wait_for_frame "$TMP/first.png"
}
expect_stderr() { [ "$(cat "$TMP/err"; echo .)" = "$1." ] || fail "stderr was $(printf %q "$(cat "$TMP/err")")"; }

# The quadric made before main fails: one message line, status 1, no X needed.
scenario_quadric_failure() {
    local status=0
    env -u DISPLAY LD_PRELOAD="${LD_PRELOAD:+$LD_PRELOAD:}$NULLQUAD" "$BIN" >"$TMP/out" 2>"$TMP/err" || status=$?
    [ "$status" -eq 1 ] || fail "exit status $status, expected 1; stderr: $(cat "$TMP/err")"
    expect_stderr $'Unable to create GLU quadric object.\n'
    [ ! -s "$TMP/out" ] || fail "unexpected stdout: $(cat "$TMP/out")"
}

# Titled with its relative invocation name despite a GLUT option (-gldebug: GL
# errors would show on stderr): the scene, the ground's far edge (z = -40), hind
# feet at (+-0.3536, 0.1464, 0), front paws at (+-0.5, 1, 0), the bird above.
scenario_startup_frame() {
    launch -gldebug
    check_scene "$TMP/first.png" "$(at 100 4 -29 0.4 -40)" "sky just above the ground's far edge" "$SKY" \
        "$(at 100 4 -25 0 -36)" "ground just below its far edge" "$GROUND" "$(at 6 6 0 0.1464 0)" "ground between the feet" "$GROUND" \
        "$(at 6 6 -0.3536 0.1464 0)" "left hind foot" "$FUR" "$(at 6 6 0.3536 0.1464 0)" "right hind foot" "$FUR" \
        "$(at 6 6 -0.5 1 0)" "left front paw" "$FUR" "$(at 6 6 0.5 1 0)" "right front paw" "$FUR"
    [ "$(count "$TMP/first.png" 640x200+0+0 'r + g + b < 10')" -ge 10 ] || fail "no black bird in the sky"
    expect_stderr ""
}

# Held Up runs the squirrel off, the camera behind: within 10 s tree row 0
# leaves its place while the squirrel stays in the middle. Then the program
# runs on at 1x1, and at 2048x1152 and back at 640x480 the view is about the
# window's centre. (X refuses a size of 0: reshape's guard is shell_test's.)
scenario_up_key_and_window_sizes() {
    launch -gldebug
    send_keys keydown Up
    for _ in $(seq 50); do
        sleep 0.2
        shoot "$TMP/up.png"
        check "$TMP/up.png" "$BODY" "squirrel in the middle while running" "$FUR"
        [ "$(count "$TMP/up.png" "$TRUNK" "$GROUND")" -lt 230 ] || break   # of its 240 pixels
    done
    send_keys keyup Up
    check "$TMP/up.png" "$TRUNK" "ground where tree row 0 stood" "$GROUND"
    for size in 1x1 2048x1152 640x480; do
        xdotool windowsize --sync "$WIN" "${size%x*}" "${size#*x}" && sleep 1 && kill -0 "$PID" || fail "no program at $size"
        [ "$size" = 1x1 ] || shoot "$TMP/$size.png"
    done
    check "$TMP/2048x1152.png" 30x30+1009+683 "2048x1152: squirrel at the new centre" "$FUR" 200x60+300+920 "ground" "$GROUND"
    check "$TMP/640x480.png" "$BODY" "back at 640x480: squirrel in the middle" "$FUR"
    expect_stderr ""
}

# installed COMMAND PREFIX: from another folder, the command becomes (exec) the
# program in its data folder, refresh sync off: the scene without a message,
# GLUT options handed on (-display; -geometry's place), a failed start's exit.
installed() {
    mkdir "$TMP/cwd" && cd "$TMP/cwd"
    start_xvfb 2560x1600
    start_program squirrel env -u DISPLAY "$1" -display "$DISPLAY" -geometry 320x240+31+17
    [[ "$(xdotool getwindowgeometry "$WIN")" == *"Position: 31,17 "* ]] || fail "-geometry +31+17 did not place the window"
    wait_for_frame "$TMP/first.png"
    check_scene "$TMP/first.png"
    expect_stderr ""
    [ "/proc/$PID/exe" -ef "$2/libexec/squirrel/squirrel" ] && [ "/proc/$PID/cwd" -ef "$2/share/squirrel" ] &&
        grep -qxz vblank_mode=0 "/proc/$PID/environ" && grep -qxz __GL_SYNC_TO_VBLANK=0 "/proc/$PID/environ" ||
        fail "the command did not become the program in $2/share/squirrel with the refresh sync off"
    BIN=$1 scenario_quadric_failure
}

# Staged with cmake --install: the desktop entry and the metadata pass their
# validators without a remark, and the entry's icon is there at each size.
scenario_installed() {
    require Xvfb xdotool import convert desktop-file-validate appstreamcli
    local root=$TMP/stage/opt/squirrel out icon
    DESTDIR=$TMP/stage run_job cmake --install "${BIN%/*}" --prefix /opt/squirrel >/dev/null
    out=$(desktop-file-validate "$root"/share/applications/*.desktop 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
    out=$(appstreamcli validate --no-net --strict "$root"/share/metainfo/*.xml 2>&1) || fail "appstreamcli: $out"
    icon=$(sed -n 's/^Icon=//p' "$root"/share/applications/*.desktop)
    out=$(identify -format '%wx%h ' "$root"/share/icons/hicolor/{48x48,64x64,128x128,256x256,512x512}/apps/"$icon".png 2>&1)
    [ "$out" = "48x48 64x64 128x128 256x256 512x512 " ] || fail "icons named $icon: $out"
    installed "$root/bin/squirrel" "$root"
}

# Packaged with cpack: named for the project's version, depending on GLUT and
# GLU, no error from lintian, and running where dpkg -x unpacked it.
scenario_package() {
    require Xvfb xdotool import convert dpkg-deb dpkg-shlibdeps file lintian
    local deb
    run_job cpack -G DEB --config "${BIN%/*}/CPackConfig.cmake" -B "$TMP/pkg" >"$TMP/log" || fail "cpack: $(tail -n 5 "$TMP/log")"
    deb=$TMP/pkg/squirrel_$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "${BIN%/*}/CMakeCache.txt")_$(dpkg --print-architecture).deb
    dpkg-deb -I "$deb" >"$TMP/control" || fail "no package $deb"
    grep -q '^ Depends: .*libglu1.*libglut' "$TMP/control" && grep -qx ' Section: games' "$TMP/control" ||
        fail "control data without GLU and GLUT or section games: $(cat "$TMP/control")"
    lintian "$deb" >"$TMP/log" 2>&1 || fail "lintian: $(cat "$TMP/log")"
    dpkg -x "$deb" "$TMP/root"
    installed "$TMP/root/usr/games/squirrel" "$TMP/root/usr"
}

[ "$(type -t "scenario_$SCENARIO")" = function ] || { echo "unknown scenario $SCENARIO" >&2; exit 2; }
"scenario_$SCENARIO"
echo "PASS: $SCENARIO"
