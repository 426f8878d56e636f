#!/usr/bin/env bash
# ./run.sh --web: installs what the browser build needs when it is missing,
# builds it into build-web/ and, with a display, serves its site folder
# (build-web/site/: the page's files, compressed, with its service worker) on
# 127.0.0.1 until Ctrl-C; without one, opens it in headless Chromium, saves a
# screenshot of its 640x480 canvas after about a second and stops everything
# it started.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/tools/setup.sh"
OUT="$ROOT/build-web"

usage() {
    cat <<USAGE
usage: web/run.sh [-h | --help]   (what ./run.sh --web runs)
Installs the Debian packages of the browser build when missing, builds it in build-web/, then:
  with a display     serves build-web/site/ on 127.0.0.1 and prints its address, until Ctrl-C
  without a display  saves build-web/screenshot.png of the page in headless Chromium
USAGE
}

main() {
    no_options "$@"
    handle_signals
    ensure_packages "${WEB_PACKAGES[@]}"
    "$ROOT/web/build.sh"
    if [ -n "${DISPLAY:-}" ]; then
        run_job node "$ROOT/web/serve.js" "$OUT/site"
        exit
    fi
    install_browser_driver
    run_job node "$ROOT/tools/browsers/browsers.js" shot "$OUT/site" "$OUT/screenshot.png" ||
        fail "the page did not run in headless Chromium"
    echo "Screenshot: $OUT/screenshot.png"
}

main "$@"
