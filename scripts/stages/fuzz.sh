#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets (the "fuzz" preset, clang with ASan and UBSan)
# and runs each for a bounded time, starting from its committed corpus in
# fuzz/corpus/<target>. A crash, a sanitizer report, a leak, a hang or a failed
# property check fails the stage. The committed corpus is only read: inputs
# found during the run go to a scratch folder, and a failing one is printed.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${VARNHOLD_FUZZ_SECONDS:-30}
parallel=${VARNHOLD_FUZZ_JOBS:-2}

STAGE=fuzz
source scripts/step.sh
require clang++ clang
step cmake --workflow --preset fuzz

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

run_target() {
  local target=$1
  mkdir -p "$scratch/$target"
  if build/fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
       -artifact_prefix="$scratch/$target-" "$scratch/$target" "fuzz/corpus/$target" \
       >"$scratch/$target.log" 2>&1; then
    echo "fuzz_$target: $(grep -E '^stat::number_of_executed_units' "$scratch/$target.log" | awk '{print $2}') runs in ${seconds} s, clean"
  else
    echo "fuzz_$target FAILED; the end of its log:"
    tail -n 40 "$scratch/$target.log"
    for artifact in "$scratch/$target"-*; do
      [ -e "$artifact" ] || continue
      echo "failing input $(basename "$artifact") (base64, save it under fuzz/corpus/$target/ once fixed):"
      base64 "$artifact"
    done
    return 1
  fi
}

targets=()
for corpus in fuzz/corpus/*/; do targets+=("$(basename "$corpus")"); done

# At most $parallel targets at a time; the stage fails if any of them fails.
failed=0
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$parallel" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run_target "$target" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit "$failed"
