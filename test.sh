#!/usr/bin/env bash
# Builds the squirrel scene and runs the whole test suite through CTest: once
# in the optimised build, once built with AddressSanitizer and
# UndefinedBehaviorSanitizer; then the browser build in Chromium and Firefox.
# Uses a virtual X server when there is no display. Exits non-zero when
# anything fails.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
source "$ROOT/tools/setup.sh"

trap stop_xvfb EXIT

ensure_packages "${BUILD_PACKAGES[@]}" "${XVFB_PACKAGES[@]}" "${SCREENSHOT_PACKAGES[@]}" \
    "${TEST_PACKAGES[@]}"
use_display

status=0

echo "== Release build ($SECONDS s in)"
configure_build "$ROOT/build" -DBUILD_TESTING=ON
(cd "$ROOT/build" && ctest -j2 --timeout 120 --output-on-failure) || status=1

echo "== Sanitizer build, ASan + UBSan ($SECONDS s in)"
configure_build "$ROOT/build-asan" -DBUILD_TESTING=ON -DSQUIRREL_SANITIZE=ON
(
    cd "$ROOT/build-asan"
    # Mesa's software driver leaves its window buffers behind at exit and is
    # unloaded before LeakSanitizer looks; preloading keeps it resident so that
    # tests/lsan.supp can name it. Any other leak or error fails the test.
    export LD_PRELOAD="/usr/lib/$(gcc -print-multiarch)/dri/swrast_dri.so"
    export ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_string_checks=1
    export LSAN_OPTIONS="suppressions=$ROOT/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    ctest -j2 --timeout 120 --output-on-failure
) || status=1

echo "== Browser build, WebAssembly in Chromium and Firefox ($SECONDS s in)"
"$ROOT/tests/web_test.sh" || status=1

echo "== $([ $status -eq 0 ] && echo passed || echo FAILED) in $SECONDS s"
exit $status
