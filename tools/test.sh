#!/usr/bin/env bash
# Runs every test: installs what is missing, then builds and tests the core
# natively, once more under AddressSanitizer and UndefinedBehaviorSanitizer,
# and the Windows build under Wine; then runs the benchmarks once, briefly.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
tools/install-deps.sh

for preset in linux linux-sanitize windows; do
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
# The fuzz targets of the core, HBL_FUZZ_SECONDS (15) each, two at a time.
echo "=== fuzz"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz

# The benchmarks once, briefly, so they keep building and running; no timing
# is checked.
echo "=== benchmarks (one short pass)"
tools/bench.sh --quick

echo "=== all tests passed"
