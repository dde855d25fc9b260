#!/usr/bin/env bash
# Runs one fuzz target from its committed seeds for a bounded time and prints one line: executions
# per second, edges covered, corpus size (seeds and what this run kept) and findings. A finding,
# kept under <work>/findings, fails the run.
#   run_target.sh <fuzzer> <seconds> <seed corpus> <work folder>
set -uo pipefail
fuzzer=$1 seconds=$2 seeds=$3 work=$4
name=$(basename "$fuzzer")
[[ -d $seeds ]] || { echo "$name: no seed corpus at $seeds"; exit 1; }
mkdir -p "$work/corpus"
rm -rf "$work/findings" && mkdir -p "$work/findings"
log="$work/run.log"
"$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$work/findings/" "$work/corpus" "$seeds" >"$log" 2>&1
status=$?
execs=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$')
edges=$(grep -o ' cov: [0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*')
corpus=$(find "$work/corpus" "$seeds" -type f | wc -l)
findings=$(find "$work/findings" -type f | wc -l)
printf '%-24s %9s exec/s %7s edges %7s corpus files %3s findings\n' \
  "$name" "${execs:-?}" "${edges:-?}" "$corpus" "$findings"
if ((status != 0 || findings != 0)); then
  echo "$name: finding (exit $status); the input is in $work/findings, the log in $log:"
  grep -A30 -m1 -E 'runtime error|ERROR: |deadly signal' "$log"
  exit 1
fi
