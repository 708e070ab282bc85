#!/usr/bin/env bash
# Times the program's start until its window is seen with the lists filled,
# under Wine on a private Xvfb in a fresh sandbox prefix: an empty hosts file
# (the floor), 100,000 generated entries, and any hosts files given.
# Prints medians and their ratios to the floor.
#
# Usage: tools/bench-startup.sh [--runs=N] [HOSTS_FILE...]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root="$PWD"
runs=--runs=7
files=()
for arg in "$@"; do
  case "$arg" in
    --runs=*) runs="$arg" ;;
    *) files+=("--hosts=$(cd "$(dirname "$arg")" && pwd)/$(basename "$arg")") ;;
  esac
done
cmake --preset windows >/dev/null
cmake --build --preset windows --target hosts-blacklist startup_benchmark
exec tests/run-with-display.sh "$root/build/windows" startup_benchmark \
  "$root/build/windows/tests/startup_benchmark.exe" --app="$root/build/windows/hosts-blacklist.exe" \
  "$runs" --entries=100000 "${files[@]}"
