#!/usr/bin/env bash
# Runs a test program on a virtual X server of its own, started on a free
# display and stopped afterwards, so that plain ctest needs no display and
# never draws on the user's. Exits 77, the suite's skip code, without Xvfb.
# Usage: with_xvfb.sh PROGRAM [ARGS...]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/tools/setup.sh"
case " $* " in *" --gtest_list_tests "*) exec "$@" ;; esac   # listing the cases draws nothing
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed (Debian package xvfb)"; exit 77; }
handle_signals
start_xvfb 1024x768
status=0
run_job "$@" || status=$?
exit "$status"
