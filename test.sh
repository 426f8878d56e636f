#!/usr/bin/env bash
# Builds the squirrel scene and runs the whole test suite through CTest: once
# in the optimised build, once built with AddressSanitizer and
# UndefinedBehaviorSanitizer; then the browser build in Chromium, Firefox and WebKit.
# Every test that needs X starts its own virtual X server, so a display is
# neither needed nor used. Exits non-zero when anything fails; Ctrl-C stops
# everything at once.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
source "$ROOT/tools/setup.sh"

usage() {
    cat <<USAGE
usage: $0 [-h | --help]
Installs the Debian packages the tests need (when missing), then runs:
  Release build    every suite through CTest in build/
  Sanitizer build  the same in build-asan/, with ASan, UBSan and LeakSanitizer
  Browser build    the WebAssembly page in Chromium, Firefox and WebKit, against the desktop frame
Build logs land in each build folder (build.log). About 5 minutes on two cores.
USAGE
}

# ctest_pass DIR NAME [CMAKE_ARGS...]: runs the suite in DIR, two tests at a
# time. The tests' folder is removed also when an interrupt stops CTest.
ctest_pass() {
    echo "== $2 ($SECONDS s in)"
    TEMP_DIRS+=("$1/test-tmp")
    configure_build "$1" -DBUILD_TESTING=ON "${@:3}"
    run_job env -u DISPLAY ctest --test-dir "$1" -j2 --timeout 120 --output-on-failure
}

main() {
    no_options "$@"
    handle_signals
    ensure_packages "${BUILD_PACKAGES[@]}" "${XVFB_PACKAGES[@]}" "${SCREENSHOT_PACKAGES[@]}" \
        "${TEST_PACKAGES[@]}"
    local status=0
    ctest_pass "$ROOT/build" "Release build" || status=1
    ctest_pass "$ROOT/build-asan" "Sanitizer build, ASan + UBSan" -DSQUIRREL_SANITIZE=ON || status=1
    echo "== Browser build, WebAssembly in Chromium, Firefox and WebKit ($SECONDS s in)"
    run_job "$ROOT/tests/web_test.sh" || status=1
    echo "== $([ $status -eq 0 ] && echo passed || echo FAILED) in $SECONDS s"
    exit $status
}

main "$@"
