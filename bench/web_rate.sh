#!/usr/bin/env bash
# The browser page against each engine's ceiling and the desktop program, in
# one run: each round measures, one at a time, the desktop program's ticks per
# second (bench/run.sh's swap counter), then in Chromium, Firefox and WebKit
# the empty ceiling page and the page, standing and running (bench/web_rate.js),
# all at 640x480; with --view also the page standing with its "How it moves"
# view open. Prints every measurement, then the range of each over the rounds.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/bench/run.sh"   # its build, measure_program and their settings
ROUNDS=3
SECONDS_EACH=10

usage() {
    cat <<USAGE
usage: $0 [-h | --help] [--view] [ROUNDS [SECONDS]]
Measures, ROUNDS times (default $ROUNDS) and never two at once, for SECONDS
each (default $SECONDS_EACH): the desktop program's ticks/s, and in headless
Chromium, in Firefox and in WebKit's MiniBrowser (both on a virtual X server)
the ceiling page's and the page's ticks/s and frames/s, the page standing and
then running; with --view also standing with its "How it moves" view open.
Builds build-bench/ and build-web/ first.
Prints each measurement, then ranges and the page's share of its ceiling.
Logs land in build-bench/bench-results/. Run it on an otherwise quiet machine.
USAGE
}

# The ranges: "min-max" of ticks/s and frames/s for each kind of measurement,
# and of the page's ticks/s over the ceiling's of the same round.
summary() {
    awk '
        function keep(key, v) { if (!(key in lo) || v < lo[key]) lo[key] = v; if (!(key in hi) || v > hi[key]) hi[key] = v }
        $1 == "round" { next }
        { what = $1 " " $2; keep(what " ticks/s", $4); if ($5 != "") keep(what " " $5, $6);
            if ($2 == "ceiling") ceiling[$1] = $4
            if ($1 != "desktop" && $2 != "ceiling") keep($1 " " $2 "/ceiling %", 100 * $4 / ceiling[$1]) }
        END { for (key in lo) printf "%-28s %6.1f - %6.1f\n", key, lo[key], hi[key] }' "$1" | sort
}

main() {
    local view=()
    case "${1:-}" in
        -h | --help) usage; exit 0 ;;
        --view) view=(--view); shift ;;
    esac
    local rounds=${1:-$ROUNDS} seconds=${2:-$SECONDS_EACH}
    [[ $rounds =~ ^[1-9][0-9]*$ && $seconds =~ ^[1-9][0-9]*$ ]] || { usage >&2; exit 2; }
    handle_signals
    ensure_packages "${BUILD_PACKAGES[@]}" "${XVFB_PACKAGES[@]}" xdotool "${WEB_PACKAGES[@]}"
    mkdir -p "$RESULTS"
    configure_build "$BUILD" -DSQUIRREL_BENCH=ON -DBUILD_TESTING=OFF -- squirrel swapcount >&2
    "$ROOT/web/build.sh" >&2
    install_browser_driver >&2
    start_xvfb 1280x1024
    COUNT_SECONDS=$seconds
    local log="$RESULTS/web-rate.txt" load_before round
    load_before=$(cut -d' ' -f1-3 /proc/loadavg)
    : >"$log"
    for round in $(seq "$rounds"); do
        echo "round $round" | tee -a "$log"
        measure_program 640 480
        echo "desktop program ticks/s $MEASURED_TICKS swaps/s $MEASURED_SWAPS" | tee -a "$log"
        run_job node "$ROOT/bench/web_rate.js" "${view[@]}" "$ROOT/build-web/site" "$seconds" chromium firefox webkit | tee -a "$log"
    done
    echo
    summary "$log"
    echo
    echo "machine: $(nproc) cores, $(grep -m 1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
    echo "load average before/after: $load_before / $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "log: $log"
}

main "$@"
