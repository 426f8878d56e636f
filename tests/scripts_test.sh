#!/usr/bin/env bash
# The scripts as a person uses them: help, a wrong option, a display that
# does not answer, output into a file, the drivers told not to wait for the screen's
# refresh, an interrupt stopping everything, a configure without GoogleTest,
# a missing Xvfb skipping a test.
# Usage: scripts_test.sh SCENARIO BUILD_DIR   (BUILD_DIR: a configured build)
set -euo pipefail
source "$(dirname "$0")/test_lib.sh"
[ $# -eq 2 ] || { header_usage >&2; exit 2; }
SCENARIO=$1
export SQUIRREL_BUILD_DIR=$2 TMPDIR=$TMP
unset DISPLAY

# started COMMAND...: COMMAND in a session of its own, as a
# terminal starts it (a script's background child ignores SIGINT); its
# output in $TMP/out. Sets JOB.
started() {
    setsid perl -e '$SIG{INT} = "DEFAULT"; exec @ARGV' "$@" >"$TMP/out" 2>&1 &
    JOB=$!
}
# program_of JOB: the squirrel that JOB started, within 60 s.
program_of() {
    local pid
    for _ in $(seq 300); do
        pid=$(pgrep -s "$1" -x squirrel) && { echo "$pid"; return; }
        sleep 0.2
    done
    fail "no program started: $(cat "$TMP/out")"
}

# Each row: the status, the stream that holds the text, a pattern of it (_
# for a space), the command. Help goes to stdout and runs nothing; a wrong option and a dead
# display are one message on stderr.
scenario_usage() {
    local want stream pattern command status
    while read -r want stream pattern command; do
        status=0 pattern=${pattern//_/ }
        DISPLAY=:9999 timeout 10 bash -c "$ROOT/$command" >"$TMP/out" 2>"$TMP/err" || status=$?
        [ "$status" -eq "$want" ] && grep -qE -- "$pattern" "$TMP/$stream" && [ ! -s "$TMP/$([ "$stream" = out ] && echo err || echo out)" ] ||
            fail "$command: status $status, stdout '$(cat "$TMP/out")', stderr '$(cat "$TMP/err")'"
    done <<'ROWS'
0 out ^usage:.*run.sh.*--record run.sh --help
0 out ^__--web_+builds run.sh -h
0 out ^usage:.*test.sh test.sh --help
0 out ^__Browser_build_+the test.sh -h
0 out ^usage:.*bench/run.sh bench/run.sh --help
0 out ^__ticks/s_+the bench/run.sh -h
2 err ^usage: run.sh --bogus
2 err ^usage: test.sh --bogus
2 err ^usage: bench/run.sh --bogus
0 out ^usage:.*make.icons.sh tools/make_icons.sh --help
2 err ^usage: tools/make_icons.sh --bogus
0 out ^usage:.*web/run.sh web/run.sh --help
2 err ^usage: web/run.sh --bogus
0 out ^usage:.*web/build.sh web/build.sh -h
0 out ^usage:.*web.rate.sh bench/web_rate.sh --help
0 out ^usage:.*web.load.sh bench/web_load.sh --help
0 out ^usage:.*web.audit.sh bench/web_audit.sh --help
2 err ^usage:.*web.audit.sh bench/web_audit.sh --bogus
0 out ^Drives_the_real_program tools/step_shots.sh --help
0 out ^Usage:_tests/web.test.sh tests/web_test.sh --help
2 err ^Usage:_tests/web.test.sh tests/web_test.sh --bogus
1 err ^error:.*X_display_':9999'.*unset_DISPLAY run.sh
ROWS
}

# Appended to a file that already holds a line: every line stays, and the
# program runs with both drivers told not to wait for the refresh.
scenario_log_file() {
    local status=0 job program
    echo "an earlier line" >"$TMP/log"
    setsid "$ROOT/run.sh" >>"$TMP/log" 2>&1 &
    job=$!
    program=$(program_of "$job")
    tr '\0' '\n' <"/proc/$program/environ" >"$TMP/environ"
    wait "$job" || status=$?
    [ "$status" -eq 0 ] || fail "run.sh ended with $status: $(cat "$TMP/log")"
    for line in "an earlier line" "Building in $SQUIRREL_BUILD_DIR (log: $SQUIRREL_BUILD_DIR/build.log)" \
        "Screenshot: $SQUIRREL_BUILD_DIR/screenshot.png"; do
        grep -qxF "$line" "$TMP/log" || fail "the log misses '$line': $(cat "$TMP/log")"
    done
    [ "$(wc -l <"$TMP/log")" -eq 4 ] || fail "unexpected lines in the log: $(cat "$TMP/log")"
    grep -qx vblank_mode=0 "$TMP/environ" && grep -qx __GL_SYNC_TO_VBLANK=0 "$TMP/environ" ||
        fail "the program's environment lacks vblank_mode=0 or __GL_SYNC_TO_VBLANK=0"
}

# Each row: run.sh's option, the signal, the status expected.
scenario_interrupt() {
    local option signal want status
    while read -r option signal want; do
        case "$option" in
            -) started "$ROOT/run.sh" ;;
            --record) [ -x "$SQUIRREL_BUILD_DIR/frame_step" ] || continue; started "$ROOT/run.sh" --record "$TMP/drive.gif" ;;
        esac
        program_of "$JOB" >/dev/null
        kill "-$signal" -- "-$JOB"
        status=0
        timeout 20 tail --pid="$JOB" -f /dev/null || fail "run.sh $option still runs 20 s after SIG$signal"
        wait "$JOB" || status=$?
        [ "$status" -eq "$want" ] || fail "run.sh $option ended with $status after SIG$signal, not $want"
        for _ in $(seq 25); do pgrep -s "$JOB" >/dev/null || break; sleep 0.2; done   # the last exits being reaped
        ! pgrep -s "$JOB" >/dev/null || fail "run.sh $option left $(pgrep -s "$JOB" -l | tr '\n' ' ')"
        [ -z "$(ls -A "$TMP" | grep -v '^out$')" ] || fail "run.sh $option left $(ls "$TMP")"
        ! grep -i error "$TMP/out" || fail "run.sh $option reported an error when interrupted"
    done <<'ROWS'
- INT 130
- TERM 143
--record INT 130
ROWS
}

# GoogleTest hidden: the configure succeeds, says so once, keeps the script tests.
scenario_without_gtest() {
    cmake -S "$ROOT" -B "$TMP/b" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON >"$TMP/out" 2>&1 || fail "configure failed: $(cat "$TMP/out")"
    [ "$(grep -c "GoogleTest" "$TMP/out")" -eq 1 ] || fail "no one message on GoogleTest: $(cat "$TMP/out")"
    ctest --test-dir "$TMP/b" -N >"$TMP/tests"
    grep -q "end_to_end.startup_frame" "$TMP/tests" && ! grep -q "shell_test" "$TMP/tests" ||
        fail "wrong tests without GoogleTest: $(cat "$TMP/tests")"
}

# Without Xvfb on the PATH a test that draws is skipped, saying why.
scenario_without_xvfb() {
    local status=0
    mkdir "$TMP/bin"
    ln -s /usr/bin/* "$TMP/bin/" && rm -f "$TMP/bin/Xvfb"
    PATH=$TMP/bin bash "$ROOT/tests/with_xvfb.sh" true >"$TMP/out" || status=$?
    [ "$status" -eq 77 ] && grep -q "SKIP: Xvfb is not installed" "$TMP/out" || fail "status $status: $(cat "$TMP/out")"
}

[ "$(type -t "scenario_$SCENARIO")" = function ] || { echo "unknown scenario $SCENARIO" >&2; exit 2; }
"scenario_$SCENARIO"
echo "PASS: $SCENARIO"
