#!/usr/bin/env bash
# Runs every fuzz target of the fuzz preset for FUZZ_SECONDS each (default 600), JOBS at a time,
# and prints one line per target: executions per second, edges covered, corpus size, findings.
# What a run finds stays under build/fuzz/fuzz/runs/<target>/findings; the exit status is 1 then.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-600}
targets=()
for fuzzer in build/fuzz/bin/*_fuzz; do targets+=("$(basename "$fuzzer")"); done
echo "== fuzzing ${#targets[@]} targets for $seconds s each, ${JOBS:-2} at a time =="
printf '%s\n' "${targets[@]}" |
  xargs -P "${JOBS:-2}" -I{} fuzz/run_target.sh build/fuzz/bin/{} "$seconds" fuzz/corpus/{} \
    build/fuzz/fuzz/runs/{}
