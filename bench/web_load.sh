#!/usr/bin/env bash
# The page's load over a slow network: builds the browser page and, in
# headless Chromium with its network emulated at 200,000 B/s and 150 ms, then
# at 50,000 B/s and 400 ms, loads it ROUNDS times from web/serve.js (the server
# of ./run.sh --web) into a new browser each, then reloads it
# (bench/web_load.js). Prints each load and the medians: the bytes on the wire
# of the first visit and of the reload, the time to the first frame, and the
# long tasks (over 50 ms) but the one that runs the program's main.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/tools/setup.sh"
ROUNDS=3

usage() {
    cat <<USAGE
usage: $0 [-h | --help] [ROUNDS]
Loads the page ROUNDS times (default $ROUNDS) per network profile in headless
Chromium, each time in a new browser (empty cache), then reloads it; prints
the bytes on the wire (images not counted) of the first visit and of the
reload, the time from navigation to the first frame, and the main thread's
tasks over 50 ms during the first visit but the one running the program's
main, with their medians.
Builds build-web/ first and serves its site folder.
Run it on an otherwise quiet machine: the load average is printed too.
USAGE
}

main() {
    case "${1:-}" in
        -h | --help) usage; exit 0 ;;
    esac
    local rounds=${1:-$ROUNDS} load_before
    [[ $rounds =~ ^[1-9][0-9]*$ ]] && [ $# -le 1 ] || { usage >&2; exit 2; }
    handle_signals
    ensure_packages "${WEB_PACKAGES[@]}"
    "$ROOT/web/build.sh" >&2
    install_browser_driver >&2
    load_before=$(cut -d' ' -f1-3 /proc/loadavg)
    run_job node "$ROOT/bench/web_load.js" "$ROOT/build-web/site" "$rounds" || fail "the load benchmark failed"
    echo "machine: $(nproc) cores, $(grep -m 1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
    echo "load average before/after: $load_before / $(cut -d' ' -f1-3 /proc/loadavg)"
}

main "$@"
