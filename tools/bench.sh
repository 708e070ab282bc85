#!/usr/bin/env bash
# Builds and runs the benchmarks and prints their tables in Markdown.
#
#   tools/bench.sh           the full run: medians of several repetitions
#   tools/bench.sh --quick   one pass of each on the 84k list alone (the
#                            window: one run on 1,000 entries), in seconds;
#                            CI runs this so the benchmarks cannot rot. It
#                            asserts no timing.
#
# The core is measured on a generated list of 83,808 entries, shaped like a
# real blocklist, and on a generated one of 1,000,000 entries. Set
# HBL_BENCH_HOSTS to a real hosts file to measure it as well.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

quick=0
[ "${1:-}" = "--quick" ] && quick=1

tools/install-deps.sh
cmake --preset bench >/dev/null
cmake --build --preset bench --parallel 2 >&2

bin=build/bench/bench
data=build/bench/data
mkdir -p "$data"
# The generator is deterministic: the same files on every machine.
"$bin/make_hosts" 83808 "$data/generated-84k.hosts"
inputs=("84k=$data/generated-84k.hosts")
growth=()
if [ "$quick" -eq 0 ]; then
  "$bin/make_hosts" 1000000 "$data/generated-1M.hosts"
  inputs+=("1M=$data/generated-1M.hosts")
  growth=(--growth=84k:1M)
  if [ -n "${HBL_BENCH_HOSTS:-}" ]; then inputs+=("given=$HBL_BENCH_HOSTS"); fi
fi

echo "## Benchmarks"
echo
echo "Machine: $(nproc) cores, $(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'),"
echo "$(uname -sr), $(date -u +%Y-%m-%d)."

if [ "$quick" -eq 1 ]; then
  echo
  echo "(--quick: one pass of each; these figures only show that the benchmarks run.)"
  runs=(--quick)
else
  runs=(--repetitions="${HBL_BENCH_REPETITIONS:-5}" --min-time="${HBL_BENCH_MIN_TIME:-0.3}"
        --benchmark_enable_random_interleaving=true)
fi
# Progress goes to stderr, the tables to stdout. Each run fixes how the
# allocator treats large blocks (see core_bench.cpp): first with freed memory
# used again, then with every large block fresh from the system.
"$bin/core_bench" "${inputs[@]}" "${growth[@]}" "${runs[@]}" --heap=warm
if [ "$quick" -eq 0 ]; then
  "$bin/core_bench" "${inputs[@]}" "${growth[@]}" "${runs[@]}" --heap=fresh
fi
"$bin/core_memory" "${inputs[@]}" "${growth[@]}"

# The window's timings under Wine, printed as a table of their own: the real
# program beside window_floor, a minimal program that shows the same lists,
# both started and clicked from outside by window_benchmark on a private Xvfb
# in a fresh sandbox prefix. Full mode: generated lists of 84,000 and 300,000
# entries and the given list, HBL_BENCH_WINDOW_RUNS (7) runs each; --quick:
# 1,000 entries, one run, so that it keeps building and running.
root="$PWD"
cmake --preset windows >/dev/null
cmake --build --preset windows --parallel 2 --target hosts-blacklist window_floor window_benchmark >&2
if [ "$quick" -eq 1 ]; then
  "$bin/make_hosts" 1000 "$data/generated-1000.hosts"
  window_inputs=("1k=$root/$data/generated-1000.hosts")
  window_runs=(--quick)
else
  "$bin/make_hosts" 84000 "$data/generated-84000.hosts"
  "$bin/make_hosts" 300000 "$data/generated-300000.hosts"
  window_inputs=("84k=$root/$data/generated-84000.hosts" "300k=$root/$data/generated-300000.hosts")
  if [ -n "${HBL_BENCH_HOSTS:-}" ]; then
    window_inputs+=("given=$(cd "$(dirname "$HBL_BENCH_HOSTS")" && pwd)/$(basename "$HBL_BENCH_HOSTS")")
  fi
  window_runs=(--runs="${HBL_BENCH_WINDOW_RUNS:-7}")
fi
tests/run-with-display.sh build/windows window_benchmark build/windows/tests/window_benchmark.exe \
  --app="$root/build/windows/hosts-blacklist.exe" --floor="$root/build/windows/tests/window_floor.exe" \
  "${window_runs[@]}" "${window_inputs[@]}"
