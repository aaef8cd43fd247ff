#!/usr/bin/env bash
# Builds and runs every test suite: the native build, the sanitizer build, and
# every extra stage in scripts/stages/ (cross builds, fuzzing), timing each.
set -euo pipefail
cd "$(dirname "$0")/.."

run_stage() {
  local name=$1
  shift
  local start=$SECONDS
  echo "=== ${name}"
  "$@"
  echo "=== ${name}: passed in $((SECONDS - start)) s"
}

run_stage native cmake --workflow --preset default
run_stage sanitize cmake --workflow --preset sanitize
for stage in scripts/stages/*.sh; do
  [ -e "$stage" ] || continue
  run_stage "$(basename "$stage" .sh)" bash "$stage"
done
echo "=== all test stages passed"
