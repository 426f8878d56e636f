#!/usr/bin/env bash
# Builds the squirrel scene and runs the whole test suite through CTest: once
# in the optimised build, once built with AddressSanitizer and
# UndefinedBehaviorSanitizer. Uses a virtual X server when there is no display.
# Exits non-zero when anything fails.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
source "$ROOT/tools/setup.sh"

trap stop_xvfb EXIT

ensure_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
start_xvfb_if_needed

status=0

echo "== Release build"
configure_build "$ROOT/build" -DBUILD_TESTING=ON
(cd "$ROOT/build" && ctest --output-on-failure) || status=1

echo "== Sanitizer build (ASan + UBSan)"
configure_build "$ROOT/build-asan" -DBUILD_TESTING=ON -DSQUIRREL_SANITIZE=ON
(cd "$ROOT/build-asan" && ctest --output-on-failure) || status=1

exit $status
