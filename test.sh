#!/usr/bin/env bash
# Builds the program and its tests (installing what they need) and runs every
# test through CTest. With VP_SANITIZE=1 the build has AddressSanitizer and
# UndefinedBehaviorSanitizer, in a folder of its own.
set -euo pipefail
cd "$(dirname "$0")"
if [ "${VP_SANITIZE:-0}" = 1 ]; then
  build=build-sanitize
  scripts/setup.sh --tests "$build" -DVP_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  # Leaks inside third-party libraries only; each entry says why.
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
else
  build=build
  scripts/setup.sh --tests "$build"
fi
# The unit and package tests, then the desktop tests: some twenty-five real
# desktops in real time beside each other. Each runs once; a failure is a
# finding (tests/desktop/README.md says what each waits for, and how long).
ctest --test-dir "$build" --output-on-failure -j2 -LE desktop "$@"
ctest --test-dir "$build" --output-on-failure -j2 -L desktop \
  ${VP_DESKTOP_TESTS:+-R "$VP_DESKTOP_TESTS"} "$@"
