#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
#
#   ./test.sh             build (build/), every test, then a short fuzzing pass
#                         of every fuzz target (ORVEL_FUZZ_SECONDS each, default
#                         20; 0 skips it), skipped when clang's libFuzzer runtime
#                         is not installed
#   ./test.sh --sanitize  the whole project built with AddressSanitizer and
#                         UndefinedBehaviorSanitizer (build-asan/), every test
#   ./test.sh --tsan      ThreadSanitizer build (build-tsan/) of the device
#                         library's two-thread stress test, the acquisition
#                         from the simulated plasma sensor with status queries
#                         from a second thread, and the scan worker's
#                         end-to-end test, and the three run
set -euo pipefail
cd "$(dirname "$0")"
export QT_QPA_PLATFORM=offscreen

run_tests() {
  (cd "$1" && ctest --output-on-failure -j2 "${@:2}")
}

normal() {
  scripts/build.sh build
  run_tests build
  local seconds="${ORVEL_FUZZ_SECONDS:-20}"
  if [ "$seconds" -gt 0 ]; then
    scripts/fuzz.sh --if-available "$seconds"
  else
    echo "fuzz: ORVEL_FUZZ_SECONDS=0: fuzzing pass skipped"
  fi
}

sanitize() {
  scripts/build.sh build-asan -DORVEL_SANITIZE=address
  # Every report ends the test that caused it; leaks inside Qt's platform
  # plugins are suppressed, ours are not.
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
  run_tests build-asan
}

# Each test runs with the suppressions of its folder (tests/<folder>/tsan.supp).
tsan() {
  local dir=build-tsan
  local tests=(device/test_device_stress device/test_plasma_sensor acquisition/test_scan_handler)
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEL_SANITIZE=thread >/dev/null
  cmake --build "$dir" -j2 --target "${tests[@]#*/}"
  for t in "${tests[@]}"; do
    TSAN_OPTIONS="suppressions=$PWD/tests/${t%/*}/tsan.supp:halt_on_error=1:second_deadlock_stack=1" \
      run_tests "$dir" -R "^${t#*/}\$"
  done
}

scripts/install-deps.sh
case "${1:-}" in
  "") normal ;;
  --sanitize) sanitize ;;
  --tsan) tsan ;;
  *) echo "usage: ./test.sh [--sanitize | --tsan]" >&2; exit 2 ;;
esac
