# shellcheck shell=bash
# Shared by the scripts that test the program on the desktop or in the browser
# (sourced): a work folder, cleanup, skipping without a tool, region colours,
# where the frame shows what.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/tools/setup.sh"
script_options "$@"
handle_signals
temp_dir test
TMP=$TEMP_DIR
PROGRAM_STDERR=$TMP/err

# require TOOL...: skips the test (status 77) when a tool it needs is missing.
require() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
}

# check FILE [WxH+X+Y WHAT CONDITION]...: each region's mean colour (r, g, b
# in 0..255) meets its CONDITION, an awk expression.
check() {
    local file=$1 crops=() means i
    shift
    for ((i = 1; i <= $#; i += 3)); do crops+=('(' -clone 0 -crop "${!i}" +repage -resize '1x1!' ')'); done
    mapfile -t means < <(convert "$file" "${crops[@]}" -delete 0 \
        -format '%[fx:int(255*r+.5)] %[fx:int(255*g+.5)] %[fx:int(255*b+.5)]\n' info:)
    for ((i = 0; $# > 0; i++)); do
        awk -v c="${means[$i]:-}" "BEGIN { split(c, v, \" \"); r = v[1]; g = v[2]; b = v[3]; exit !(c != \"\" && $3) }" ||
            fail "$2: region $1 of $(basename "$file") has mean colour (${means[$i]:-none}), expected $3"
        shift 3
    done
}

# at W H x y z: a WxH box centred on the world point as seen from the resting
# camera: 2.75 high, 9 from the origin, level along -z, 60 degree fov, in a
# picture of $CW x $CH pixels (640x480 unless set).
at() {
    awk -v w="$1" -v h="$2" -v x="$3" -v y="$4" -v z="$5" -v cw="${CW:-640}" -v ch="${CH:-480}" 'BEGIN {
        d = sqrt(81 - 2.75 ^ 2) - z; f = ch / 2 * cos(3.141592653589793 / 6) / sin(3.141592653589793 / 6)
        printf "%dx%d+%d+%d\n", w, h, cw / 2 + f * x / d - w / 2 + .5, ch / 2 - f * (y - 2.75) / d - h / 2 + .5 }'
}

# The white light has no specular term, so lit surfaces keep their material's
# ratios: fur (0.3, 0.1, 0), bark (0.4, 0.2, 0), leaves and ground (0, 0.4, 0).
# The ground faces up, lit from (1, 1, 1): ambient 0.2 + 0.3, diffuse 1/sqrt(3).
SKY='r <= 5 && g <= 5 && b >= 250'
FUR='r >= 30 && b <= 5 && r >= 2.4 * g && r <= 3.6 * g'
LEAF='r <= 5 && b <= 5 && g >= 15'
G=$(awk 'BEGIN { print 255 * 0.4 * (0.5 + 1 / sqrt(3)) }')
GROUND="r <= 5 && b <= 5 && g >= $G - 8 && g <= $G + 8"
# Tree row 0 at (3, 0, 0): trunk 2 high, first branch 30 degrees toward +x
# over 1.8, twig 60 degrees over 1.62 carrying a leaf sphere (radius 1.24).
TRUNK=$(at 8 30 3 1 0)
LEAF_BOX=$(awk 'BEGIN { print 3.9 + 0.81 * sqrt(3), 2.81 + 0.9 * sqrt(3) }' | { read -r x y; at 10 10 "$x" "$y" 0; })
BODY=$(at 20 20 0 1.7 0.5)
# The back of the body (radius 0.5) at x = -0.3 and 0.3 has normals (-+0.6, 0,
# 0.8): fur red 255 * 0.3 * (0.5 + n . (1, 1, 1) / sqrt(3)).
read -r SHADE_LEFT SHADE_RIGHT < <(awk 'BEGIN { print 76.5 * (0.5 + 0.2 / sqrt(3)), 76.5 * (0.5 + 1.4 / sqrt(3)) }')

# check_scene FILE [WxH+X+Y WHAT CONDITION]...: the start-up frame's sky, ground,
# lit squirrel in the middle and tree row 0 beside it, and the regions given.
check_scene() {
    local file=$1
    shift
    check "$file" 30x20+10+10 "sky, top left" "$SKY" 30x20+600+10 "sky, top right" "$SKY" \
        40x20+10+450 "ground, bottom left" "$GROUND" 40x20+590+450 "ground, bottom right" "$GROUND" \
        "$BODY" "squirrel body in the middle" "$FUR" "$TRUNK" "trunk of tree row 0" 'r >= 20 && b <= 5 && r > g' \
        "$LEAF_BOX" "leaf sphere of tree row 0" "$LEAF" \
        "$(at 6 16 -0.3 1.7 0.5)" "body, turned from the light" "$FUR && r >= $SHADE_LEFT - 8 && r <= $SHADE_LEFT + 8" \
        "$(at 6 16 0.3 1.7 0.5)" "body, facing the light" "$FUR && r >= $SHADE_RIGHT - 8 && r <= $SHADE_RIGHT + 8" "$@"
}
