#!/usr/bin/env bash
# Builds everything and runs every test: once plain, once under
# AddressSanitizer + UndefinedBehaviorSanitizer; then builds the Debian
# package and checks it; then every fuzz harness for a few seconds (clang).
# GUI tests run under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  # -noreset: an X server resets when its last client leaves, and a window
  # test starting in that moment cannot open the display.
  (cd "$dir" && xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --output-on-failure -j "$jobs")
}
run_suite build
if [ "${KORPROG_SKIP_SANITIZE:-0}" != 1 ]; then
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build-sanitize -DKORPROG_SANITIZE=ON
fi
if [ "${KORPROG_SKIP_PACKAGE:-0}" != 1 ]; then
  tools/package.sh build-deb
  tools/check-package.sh build-deb/korprog_*_amd64.deb
fi
if [ "${KORPROG_SKIP_FUZZ:-0}" != 1 ]; then
  tools/fuzz.sh "${KORPROG_FUZZ_SECONDS:-6}"
fi
