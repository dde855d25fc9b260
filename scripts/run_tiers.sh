#!/usr/bin/env bash
# Runs every test tier on the trees that `make build` produced and prints one summary.
set -uo pipefail
cd "$(dirname "$0")/.."

total_passed=0
total_failed=0
summary=()

# run_tier <name> <build dir> [ctest arguments...]
run_tier() {
  local name=$1 dir=$2
  shift 2
  local log="build/$name-tests.log"
  echo "== $name tier =="
  ctest --test-dir "$dir" --output-on-failure -j 2 "$@" 2>&1 | tee "$log"
  local line passed=0 failed=0 ran=0
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=${BASH_REMATCH[1]}
    ran=${BASH_REMATCH[2]}
    passed=$((ran - failed))
  fi
  if ((ran == 0)); then
    failed=$((failed + 1))  # a tier that ran nothing is a failure, not a pass
    summary+=("$name: no tests ran")
  else
    summary+=("$name: $passed passed, $failed failed")
  fi
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
}

run_tier host build/host -LE binary
run_tier host-tsan build/host-tsan -L unit
run_tier host32 build/host32
# A Windows test whose program Wine or qemu fails to start or stop (no output at all, or a crash
# after the last test passed) is run once more; a fault of the code under test fails both runs.
if [[ ${QELT_SKIP_WIN32:-} == 1 ]]; then
  echo "== win32 tier: skipped, as QELT_SKIP_WIN32=1 asks =="
  summary+=("win32: skipped (QELT_SKIP_WIN32=1)")
else
  run_tier win32 build/win32 --repeat until-pass:2
fi
run_tier win64 build/win64 --repeat until-pass:2
run_tier binary build/host -L binary
run_tier fuzz build/fuzz -L fuzz

echo
echo "== summary =="
printf '%s\n' "${summary[@]}"
echo "$total_passed passed, $total_failed failed"
((total_failed == 0))
