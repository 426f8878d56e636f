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
handle_signals
ensure_packages "${WEB_PACKAGES[@]}"
"$ROOT/web/build.sh"

if [ -n "${DISPLAY:-}" ]; then
    run_job node "$ROOT/web/serve.js" "$OUT/site"
    exit
fi
run_job node "$ROOT/web/browsers.js" shot "$OUT/site" "$OUT/screenshot.png" || fail "the page did not run in headless Chromium"
echo "Screenshot: $OUT/screenshot.png"
