#!/usr/bin/env bash
# Lighthouse's audit of the browser page: builds the page and serves its site
# folder with web/serve.js (or serves another site folder as it is, --site),
# then runs Lighthouse (bench/web_audit.mjs, its npm package in bench/audit/)
# RUNS times with each of its presets, mobile and desktop, each run in a new
# headless Chromium on SwiftShader with a fresh profile. Prints each run's
# category scores, their medians, the medians of the main metrics and the
# audits that fall short, then the machine and its load average.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/tools/setup.sh"
RUNS=3
SITE=""

usage() {
    cat <<USAGE
usage: $0 [-h | --help] [--site DIR] [RUNS]
Runs Lighthouse on the page RUNS times (default $RUNS) with each of its presets,
mobile (a phone's screen, 4x CPU slowdown, slow 4G; the throttling simulated)
and desktop, each time in a new headless Chromium with a fresh profile.
Prints each run's scores (performance, accessibility, best-practices, seo, out
of 100), their medians, the medians of FCP, LCP, TBT, CLS and Speed Index, and
the audits that fall short in any run.
Builds build-web/ first and serves its site folder, unless given one:
  --site DIR   audit the site folder DIR as it is (a copy of an earlier build, say)
Run it on an otherwise quiet machine: the load average is printed too.
USAGE
}

bad_usage() {
    usage >&2
    exit 2
}

# Sets RUNS and SITE from the arguments; -h prints the usage and exits.
parse_args() {
    local runs=""
    while [ $# -gt 0 ]; do
        case "$1" in
            -h | --help) usage; exit 0 ;;
            --site) [ $# -ge 2 ] || bad_usage; SITE=$2; shift ;;
            *) [[ -z $runs && $1 =~ ^[1-9][0-9]*$ ]] || bad_usage; runs=$1 ;;
        esac
        shift
    done
    RUNS=${runs:-$RUNS}
    [ -z "$SITE" ] || [ -f "$SITE/index.html" ] ||
        fail "no index.html in '$SITE': give --site the folder that holds the page (like build-web/site)"
}

# The site folder to serve, in SITE: the one given, else the page built now.
prepare_site() {
    if [ -n "$SITE" ]; then
        ensure_packages chromium
    else
        ensure_packages "${WEB_PACKAGES[@]}"
        "$ROOT/web/build.sh" >&2
        SITE=$ROOT/build-web/site
    fi
}

main() {
    parse_args "$@"
    handle_signals
    prepare_site
    install_browser_driver >&2
    npm_packages "$ROOT/bench/audit" >&2
    local load_before
    load_before=$(cut -d' ' -f1-3 /proc/loadavg)
    run_job node "$ROOT/bench/web_audit.mjs" "$SITE" "$RUNS" ||
        fail "the audit failed (its error is above): check that the page runs (./run.sh --web) and that Chromium starts headless, then run $0 again"
    echo "machine: $(nproc) cores, $(grep -m 1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
    echo "load average before/after: $load_before / $(cut -d' ' -f1-3 /proc/loadavg)"
}

main "$@"
