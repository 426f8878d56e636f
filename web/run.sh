#!/usr/bin/env bash
# ./run.sh --web: installs what the browser build needs when it is missing,
# builds it into build-web/ and, with a display, serves it on 127.0.0.1 until
# Ctrl-C; without one, opens it in headless Chromium, saves a screenshot
# after about a second and stops everything it started.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/tools/setup.sh"

OUT="$ROOT/build-web"
NODE_PID=""

stop_node() {
    if [ -n "$NODE_PID" ]; then
        kill "$NODE_PID" 2>/dev/null || true
        wait "$NODE_PID" 2>/dev/null || true
    fi
}
trap stop_node EXIT
trap 'exit 130' INT TERM HUP

ensure_packages "${WEB_PACKAGES[@]}"
"$ROOT/web/build.sh"

if [ -n "${DISPLAY:-}" ]; then
    node "$ROOT/web/browser.js" serve "$OUT" &
    NODE_PID=$!
    wait "$NODE_PID"
    exit
fi

node "$ROOT/web/browser.js" run "$OUT" open wait=1000 shot="$OUT/screenshot.png" &
NODE_PID=$!
wait "$NODE_PID" || fail "the page did not run in headless Chromium"
NODE_PID=""
echo "Screenshot: $OUT/screenshot.png"
