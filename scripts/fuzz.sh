#!/usr/bin/env bash
# Runs each libFuzzer harness of build-asan/ (made by scripts/sanitize.sh)
# for SECONDS (default 60) on its starting corpus. New inputs go to a temporary
# folder; a finding is kept in build-asan/fuzz-findings/ and fails the run.
# libFuzzer picks its own random state at each run, so every run walks a new
# way through the inputs; its log names the state, and a finding is kept as
# the input itself, which repeats the fault. TENMARI_FUZZ_OPTIONS adds options
# of libFuzzer's own (for example a fixed random state, to repeat a run).
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
read -r -a extra <<<"${TENMARI_FUZZ_OPTIONS:-}"
# shellcheck source=scripts/sanitizer-env.sh
source scripts/sanitizer-env.sh
findings=$(pwd)/build-asan/fuzz-findings
mkdir -p "$findings"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for harness in lines lookup source; do
  exe=build-asan/fuzz/fuzz_$harness
  if [ ! -x "$exe" ]; then
    echo "fuzz: $exe is not built; run scripts/sanitize.sh first." >&2
    exit 2
  fi
  mkdir -p "$work/$harness"
  options=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/$harness-")
  options+=("${extra[@]}")
  if ! "$exe" "${options[@]}" "$work/$harness" "fuzz/corpus/$harness" >"$work/$harness.log" 2>&1; then
    tail -n 60 "$work/$harness.log" >&2
    echo "fuzz: fuzz_$harness found a fault; the input is in $findings/" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$harness.log")
  echo "fuzz_$harness: ${runs:-?} inputs in ${seconds} s, no finding"
done
