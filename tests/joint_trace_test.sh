#!/usr/bin/env bash
# The joint trace of run.sh --plot against poses the tick is known to give:
# the first standing tick, the shoulder's blend into running, the blend back.
# Usage: joint_trace_test.sh JOINT_TRACE
set -euo pipefail
source "$(dirname "$0")/../tools/setup.sh"
script_options "$@"
csv=$("$1" stand=1 run=11 stand=11)
# Rows: tick, column (1 tick, 2 action, 3 tail bend, 4 tail tip, 5 shoulder,
# 6 elbow, 7 hip, 8 knee), expected value within 0.001, what it checks.
while IFS=, read -r tick column want what; do
    got=$(awk -F, -v row=$((tick + 1)) -v c="$column" 'NR == row { print $c }' <<<"$csv")
    awk -v g="${got:-none}" -v w="$want" 'BEGIN { exit !(g != "none" && g - w < 1e-3 && w - g < 1e-3) }' ||
        { echo "error: $what: got ${got:-nothing}, want $want" >&2; exit 1; }
done <<'ROWS'
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
echo "PASS: joint trace"
