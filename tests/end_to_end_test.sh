#!/usr/bin/env bash
# End-to-end tests of the built program under X: window title, first frame,
# arrow keys, start-up with good, missing and odd texture files. Usage:
# end_to_end_test.sh PROGRAM(absolute) PROGRAM_DIR(with the .rgb files) SCENARIO
# shellcheck disable=SC2016,SC2034 # single-quoted code is eval'd later
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 PROGRAM PROGRAM_DIR SCENARIO" >&2; exit 2; }
BIN=$1 BINDIR=$2 SCENARIO=$3
source "$(dirname "$0")/e2e_lib.sh"

# The white light has no specular term, so lit surfaces keep their material's
# ratios: fur (0.3, 0.1, 0), bark (0.4, 0.2, 0), leaves and ground (0, 0.4, 0).
# The ground faces up, lit from (1, 1, 1): ambient 0.2 + 0.3, diffuse 1/sqrt(3).
SKY='r <= 5 && g <= 5 && b >= 250'
FUR='r >= 30 && b <= 5 && r >= 2.4 * g && r <= 3.6 * g'
LEAF='r <= 5 && b <= 5 && g >= 15'
G=$(awk 'BEGIN { print 255 * 0.4 * (0.5 + 1 / sqrt(3)) }')
GROUND="r <= 5 && b <= 5 && g >= $G - 8 && g <= $G + 8"
FUR_PX='r > 20 && b < 8 && r > 2.5 * g'                 # single pixels
BARK_PX='r > 20 && b < 8 && r > 1.5 * g && r < 2.5 * g' # untextured
# Tree row 0 at (3, 0, 0): trunk 2 high, first branch 30 degrees toward +x
# over 1.8, twig 60 degrees over 1.62 carrying a leaf sphere (radius 1.24).
TRUNK=$(at 8 30 3 1 0)
LEAF_BOX=$(awk 'BEGIN { print 3.9 + 0.81 * sqrt(3), 2.81 + 0.9 * sqrt(3) }' | { read -r x y; at 10 10 "$x" "$y" 0; })
BODY=$(at 20 20 0 1.7 0.5)
FUR_BAND=180x250+230+150    # 90 px either side of the middle, squirrel high
LOW_RIGHT=320x216+320+264   # the ground's right half: tree row 0's lower part

no_stderr() { [ ! -s "$TMP/err" ] || fail "unexpected stderr: $(cat "$TMP/err")"; }
# fur_lean FILE: sets l and r to the fur pixels either side of the middle and
# LEAN to the side holding 60% of them (empty if neither).
fur_lean() {
    read -r l r _ < <(scan "$1" "$FUR_BAND" "$FUR_PX")
    LEAN=$(awk -v l="$l" -v r="$r" 'BEGIN { if (l >= 1.5 * r) print "left"; else if (r >= 1.5 * l) print "right" }')
}

# The title is argv[0] exactly (launch finds the window by it), by absolute or
# relative path; GLUT options after it change nothing. With -gldebug GLUT
# reports GL errors after each frame: stderr must stay empty.
title() { cd "$BINDIR"; launch "$@"; no_stderr; }
scenario_title_absolute_path() { title "$BIN"; }
scenario_title_relative_path() { title "./$(basename "$BIN")"; }
scenario_title_ignores_glut_option() { title "$BIN" -gldebug; }

# Sky; ground with its far edge (z = -40) where a camera 2.75 high puts it; the
# brown squirrel in the middle, hind feet at (+-0.3536, 0.1464, 0), front paws
# at (+-0.5, 1, 0); tree row 0 right of it; the black bird above.
scenario_startup_frame() {
    local l r
    cd "$BINDIR"
    launch "squirrel-e2e-$$"
    check "$TMP/first.png" 30x20+10+10 "sky, top left" "$SKY" 30x20+600+10 "sky, top right" "$SKY" \
        40x20+10+450 "ground, bottom left" "$GROUND" 40x20+590+450 "ground, bottom right" "$GROUND" \
        "$(at 100 4 -29 0.4 -40)" "sky just above the ground's far edge" "$SKY" \
        "$(at 100 4 -25 0 -36)" "ground just below its far edge" "$GROUND" \
        "$BODY" "squirrel body in the middle" "$FUR" "$(at 6 6 0 0.1464 0)" "ground between the feet" "$GROUND" \
        "$(at 6 6 -0.3536 0.1464 0)" "left hind foot" "$FUR" "$(at 6 6 0.3536 0.1464 0)" "right hind foot" "$FUR" \
        "$(at 6 6 -0.5 1 0)" "left front paw" "$FUR" "$(at 6 6 0.5 1 0)" "right front paw" "$FUR" \
        "$TRUNK" "trunk of tree row 0" 'r >= 20 && b <= 5 && r > g' "$LEAF_BOX" "leaf sphere of tree row 0" "$LEAF"
    read -r l r _ < <(scan "$TMP/first.png" 640x200+0+0 'r + g + b < 10')
    [ $((l + r)) -ge 10 ] || fail "no black bird in the sky"
    no_stderr
}

# Holding Up runs the squirrel forward (-z), the camera behind it: tree row 0
# first comes closer (lower in the picture), then slides out to the right, and
# the squirrel stays in the middle, seen from behind. Backward or sideways the
# tree would recede or stay, or the squirrel show its flank. Without texture
# files (here and below) only the trees have the plain bark colour.
scenario_up_key_moves_forward() {
    local l r col row0 row i near=0
    cd "$(mktemp -d "$TMP/cwd.XXXX")"
    launch "squirrel-e2e-$$"
    read -r l r col row0 < <(scan "$TMP/first.png" "$LOW_RIGHT" "$BARK_PX")
    [ "$col" -ge 0 ] || fail "no trunk of tree row 0 right of the squirrel"
    xdotool windowfocus --sync "$WIN" keydown Up
    for i in $(seq 40); do
        sleep 0.05
        shoot "$TMP/b.png"
        read -r l r col row < <(scan "$TMP/b.png" "$LOW_RIGHT" "$BARK_PX")
        [ "$col" -ge 0 ] || break
        [ "$row" -gt $((row0 - 3)) ] || [ "$near" = 1 ] || fail "tree row 0 receded while Up was held"
        [ "$row" -lt $((row0 + 5)) ] || near=1
    done
    xdotool keyup Up
    [ "$col" -lt 0 ] || fail "tree row 0 did not leave the picture while Up was held"
    fur_lean "$TMP/b.png"
    [ -z "$LEAN" ] || fail "after running forward the squirrel is lopsided ($l left, $r right)"
    check "$TMP/b.png" "$BODY" "squirrel still in the middle (the camera follows)" "$FUR"
}

# step UNTIL: runs the paused program in 10 ms slices (a read nothing answers),
# each followed by a screenshot $TMP/t.png, until the command UNTIL succeeds.
# Returns 1 after 600 ms of run (a sanitizer build ticks slower), 2 if a busy
# machine stretched a slice to 40 ms.
step() {
    local t ran=0
    while [ "$ran" -lt 600000 ]; do
        t=${EPOCHREALTIME/./}
        kill -CONT "$PID"
        read -rt 0.01 -u "$PAUSE" || true
        kill -STOP "$PID"
        t=$((${EPOCHREALTIME/./} - t)) && ran=$((ran + t))
        [ "$t" -lt 40000 ] || return 2
        import -window "$WIN" "$TMP/t.png"
        eval "$1" && return 0
    done
    return 1
}

# Left turns the squirrel counter-clockwise seen from above and swings its tail
# to its left, the picture's left from behind; Right the other way. The tail is
# judged in the first ticks, before the body's turn (4.5 degrees a tick)
# carries the tail's root across. Then Up steps it along its new heading; for
# the first unit the camera stays put and turns to keep it in the middle, so
# after a left turn tree row 0 slides right, after a right turn left.
turn() { # KEY SIDE SIGN: SIGN is 1 where tree row 0 must slide right, -1 left
    local key=$1 side=$2 l r col0 col try rc moved=0
    cd "$(mktemp -d "$TMP/cwd.XXXX")"
    exec {PAUSE}<> <(:)
    for try in 1 2 3; do
        launch "squirrel-e2e-$$-$key-$try"
        fur_lean "$TMP/first.png"
        [ -z "$LEAN" ] && [ $((l + r)) -ge 1000 ] ||
            fail "no upright squirrel in the middle before any key ($l fur pixels left, $r right)"
        xdotool windowfocus --sync "$WIN"
        kill -STOP "$PID"
        xdotool keydown "$key"
        step 'fur_lean "$TMP/t.png"; [ -n "$LEAN" ]' && rc=0 || rc=$?
        read -r _ _ col0 _ < <(scan "$TMP/t.png" "$LOW_RIGHT" "$BARK_PX")
        xdotool keyup "$key" keydown Up
        [ "$rc$LEAN" != "0$side" ] || step 'read -r _ _ col _ < <(scan "$TMP/t.png" "$LOW_RIGHT" "$BARK_PX")
            moved=$((col - col0)); [ "${moved#-}" -ge 4 ]' || rc=$?
        xdotool keyup Up
        [ "$rc" -eq 2 ] || break
        kill -CONT "$PID" && kill "$PID"
        [ "$try" -lt 3 ] || fail "the machine is too busy: slices of 10 ms ran over 40 ms"
    done
    [ "$LEAN" = "$side" ] || fail "holding $key did not swing the tail to the $side ($l fur pixels left, $r right)"
    [ $(($3 * moved)) -ge 4 ] || fail "after turning with $key and stepping forward, tree row 0 moved $moved px"
}
scenario_left_key_swings_tail_and_turns_left() { turn Left left 1; }
scenario_right_key_swings_tail_and_turns_right() { turn Right right -1; }

# Texture cases: the start-up folder's contents and the exact stderr. In every
# case the program keeps running and drawing (a FIFO would block an open());
# with no files the trees show plain colours, bark red twice green.
declare -A SETUP=([both_good]='cp "$BINDIR/leaves.rgb" "$BINDIR/bark.rgb" .' [both_missing]=:
    [leaves_missing]='cp "$BINDIR/bark.rgb" .' [leaves_is_directory]='mkdir leaves.rgb; cp "$BINDIR/bark.rgb" .'
    [leaves_one_byte_short]='head -c 196607 "$BINDIR/leaves.rgb" >leaves.rgb; cp "$BINDIR/bark.rgb" .'
    [leaves_longer]='{ cat "$BINDIR/leaves.rgb"; echo extra; } >leaves.rgb; cp "$BINDIR/bark.rgb" .'
    [leaves_is_fifo]='mkfifo leaves.rgb; cp "$BINDIR/bark.rgb" .')
L=$'Error loading leaves.rgb\n'
declare -A STDERR=([both_good]="" [leaves_longer]="" [leaves_missing]=$L [leaves_is_directory]=$L [leaves_is_fifo]=$L
    [leaves_one_byte_short]=$'Error reading leaves.rgb\n' [both_missing]=$L$'Error loading bark.rgb\n')
textures() {
    local err
    [ "$(stat -c %s "$BINDIR/leaves.rgb")" -eq 196608 ] || fail "the generated leaves.rgb is not 196608 bytes"
    cd "$(mktemp -d "$TMP/cwd.XXXX")"
    eval "${SETUP[$1]}"
    launch "squirrel-e2e-$$"
    err=$(cat "$TMP/err"; echo .)
    [ "${err%.}" = "${STDERR[$1]}" ] || fail "stderr was $(printf %q "${err%.}"), expected $(printf %q "${STDERR[$1]}")"
    sleep 0.3
    shoot "$TMP/c.png"
    ! compare -metric AE "$TMP/first.png" "$TMP/c.png" null: 2>/dev/null || fail "the program stopped drawing"
    [ "$1" != both_missing ] || check "$TMP/c.png" "$BODY" "squirrel body" "$FUR" "$LEAF_BOX" "plain leaf sphere" "$LEAF && g >= 40" \
        "$TRUNK" "plain trunk of tree row 0" 'r >= 30 && b <= 5 && r >= 1.7 * g && r <= 2.3 * g'
}

if [[ $SCENARIO == textures_* && -n ${SETUP[${SCENARIO#textures_}]+set} ]]; then textures "${SCENARIO#textures_}"
elif [ "$(type -t "scenario_$SCENARIO")" = function ]; then "scenario_$SCENARIO"
else echo "unknown scenario $SCENARIO" >&2; exit 2; fi
echo "PASS: $SCENARIO"
