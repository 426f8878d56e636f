#!/usr/bin/env bash
# The joint trace of run.sh --plot against poses the animation tick is known
# to give: the first standing tick, the ten-tick blend into running for the
# left front shoulder, and the first standing tick after the blend back.
# Usage: joint_trace_test.sh JOINT_TRACE
set -euo pipefail
csv=$("$1" stand=1 run=11 stand=11)

# Columns: 1 tick, 2 action, 3 tail bend, 4 tail tip, 5 shoulder, 6 elbow,
# 7 hip, 8 knee. Rows: tick, column, expected value, what it checks.
awk -F, '
    FNR == NR { want[$1 "," $2] = $3; what[$1 "," $2] = $4; next }
    FNR > 1 { for (c = 2; c <= 8; c++) if ((FNR - 1) "," c in want) {
        k = (FNR - 1) "," c; seen[k] = 1; d = $c - want[k]
        if (d > 1e-3 || d < -1e-3) { printf "%s: got %s, want %s\n", what[k], $c, want[k]; bad = 1 } } }
    END { for (k in want) if (!(k in seen)) { print what[k] ": tick missing"; bad = 1 }
        exit bad }' - <(printf '%s\n' "$csv") <<'ROWS'
1,3,-30,first tick standing (phase 0.02): tail bend
1,4,-8.88,first tick standing: tail tip
1,5,0,first tick standing: shoulder still
1,6,0,first tick standing: elbow still
1,7,0,first tick standing: hip still
1,8,0,first tick standing: knee still
2,2,1,Up held: the blend into running starts
2,5,0,capture tick: the standing shoulder
3,5,5.505,blend at 0.1: shoulder
11,5,80.507,blend at 0.9: shoulder
11,2,2,the blend ends on its tenth tick
12,5,80.176,first running tick (phase 0.1): shoulder
22,2,0,the blend back ends on its tenth tick
23,4,11.6,first standing tick after it (phase 0.1): tail tip
ROWS
