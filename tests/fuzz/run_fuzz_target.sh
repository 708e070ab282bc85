#!/usr/bin/env bash
# Runs one fuzz target for HBL_FUZZ_SECONDS seconds (15 by default).
#   run_fuzz_target.sh TARGET SEEDS WORK [libFuzzer options...]
# New inputs go to WORK/corpus, a failing input to WORK/artifacts. Prints one
# line of figures; on a crash or a mismatch prints the end of the log and fails.
set -euo pipefail
target=$1 seeds=$2 work=$3
shift 3
seconds=${HBL_FUZZ_SECONDS:-15}
mkdir -p "$work/corpus" "$work/artifacts"
log="$work/last-run.log"
status=0
"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$@" "$work/corpus" "$seeds" >"$log" 2>&1 || status=$?
runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 || true)
echo "$(basename "$target"): ${runs:-?} runs in ${SECONDS} s, ${cov:-cov: ?}, corpus $(ls "$work/corpus" | wc -l) + $(ls "$seeds" | wc -l) seeds"
if [ "$status" -ne 0 ]; then
  tail -n 80 "$log"
  echo "failed with status $status; the input is in $work/artifacts/"
  exit "$status"
fi
