#!/usr/bin/env bash
# The joint trace of run.sh --plot against poses the tick is known to give:
# the first standing tick, the shoulder's blend into running, the blend back;
# and its --all output: the joint names, the joints the tick never moves, and
# right legs half a cycle apart from the left.
# Usage: joint_trace_test.sh JOINT_TRACE
set -euo pipefail
source "$(dirname "$0")/../tools/setup.sh"
script_options "$@"
csv=$("$1" stand=1 run=11 stand=11)
all=$("$1" --all stand=1 run=11 stand=11)

# check CSV: the table's rows on stdin (tick, or "each" for every tick;
# column; expected value within 0.001; what it checks) against CSV.
check() {
    local tick column want what bad
    while IFS=, read -r tick column want what; do
        bad=$(awk -F, -v t="$tick" -v c="$column" -v w="$want" '
            NR > 1 && (t == "each" || $1 == t) {
                seen = 1
                if (c > NF || $c - w >= 1e-3 || w - $c >= 1e-3) { print "tick " $1 ": " (c > NF ? "nothing" : $c); exit } }
            END { if (!seen) print "no tick " t }' <<<"$1")
        [ -z "$bad" ] || fail "$what: got $bad, want $want"
    done
}

# Columns: 1 tick, 2 action, 3 tail bend, 4 tail tip, 5 shoulder, 6 elbow,
# 7 hip, 8 knee.
check "$csv" <<'ROWS'
1,3,-30,first tick standing (phase 0.02): tail bend
1,4,-8.88,first tick standing: tail tip
1,7,0,first tick standing: hip still
2,2,1,Up held: the blend into running starts
3,5,5.505,blend at 0.1: shoulder
11,5,80.507,blend at 0.9: shoulder
11,2,2,the blend ends on its tenth tick
12,5,80.176,first running tick (phase 0.1): shoulder
22,2,0,the blend back ends on its tenth tick
23,4,11.6,first standing tick after it (phase 0.1): tail tip
ROWS

[ "$(head -n 1 <<<"$all")" = "tick,action,tail bend,tail tip,front legs' heading,left shoulder,right shoulder,left elbow,right elbow,hind legs' splay,left hip,right hip,left knee,right knee,tail swing" ] ||
    fail "--all header: $(head -n 1 <<<"$all")"
[ "$(cut -d, -f 1-4,6,8,11,13 <<<"$all" | tail -n +2)" = "$(tail -n +2 <<<"$csv")" ] ||
    fail "--all and the default output differ in the joints both show"
# Columns: 1 tick, 2 action, then joint j in column j + 3.
check "$all" <<'ROWS'
each,5,60,front legs' heading as the program's start leaves it
each,10,0,hind legs' splay never moves
each,15,0,tail swing: no turn key held
3,7,1.919,blend at 0.1: right shoulder heads for the running curve at phase 0.5
12,7,35.824,first running tick: right shoulder at phase 0.6
12,12,67.52,first running tick: right hip at phase 0.6
ROWS
echo "PASS: joint trace"
