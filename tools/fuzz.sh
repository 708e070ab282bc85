#!/usr/bin/env bash
# Fuzzes the core for longer than the test command does: builds the `fuzz`
# preset and runs every target for SECONDS each (600 by default), two at a
# time. What the runs find stays in build/fuzz/tests/fuzz/work/<target>/ and
# seeds the next run; a failing input is kept in its artifacts/ folder.
#   tools/fuzz.sh [SECONDS] [TARGET-REGEX]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
HBL_FUZZ_SECONDS="${1:-600}" ctest --preset fuzz ${2:+-R "$2"}
