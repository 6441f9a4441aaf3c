#!/usr/bin/env bash
# Builds the fuzz harnesses (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz and runs each for a while over
# its corpus: the seeds in fuzz/corpus/<harness> and what earlier runs
# found in build-fuzz/corpus/<harness>. A finding ends the run non-zero;
# its input lies in build-fuzz/findings/<harness>/.
#
#   tools/fuzz.sh [SECONDS] [HARNESS...]   (default: 5 seconds, every harness;
#                                           0: until stopped)
# FUZZ_ARGS adds libFuzzer options, such as -runs=1000000.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-5}
shift || true
dir=build-fuzz
jobs=$(nproc 2>/dev/null || echo 2)
CC=clang CXX=clang++ cmake -S . -B "$dir" -DKORPROG_FUZZ=ON -DKORPROG_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$jobs" --target fuzzers
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  for f in fuzz/*.cpp; do harnesses+=("$(basename "$f" .cpp)"); done
fi
status=0
for h in "${harnesses[@]}"; do
  mkdir -p "$dir/corpus/$h" "$dir/findings/$h"
  log="$dir/fuzz-$h.log"
  # shellcheck disable=SC2086
  if "$dir/fuzz_$h" -max_total_time="$secs" -timeout=20 -print_final_stats=1 ${FUZZ_ARGS:-} \
       -artifact_prefix="$PWD/$dir/findings/$h/" "$PWD/$dir/corpus/$h" "$PWD/fuzz/corpus/$h" >"$log" 2>&1; then
    printf '%-14s %10s executions\n' "$h" "$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  else
    echo "$h: FINDING (input in $dir/findings/$h/, log in $log)"
    grep -E "ERROR|SUMMARY|fuzz property" "$log" | head -5 || true
    status=1
  fi
done
exit $status
