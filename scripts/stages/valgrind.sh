#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the end-to-end suite once more with every run of the program under
# valgrind memcheck. Any invalid access, use of uninitialised memory or leak
# makes that run exit with code 99, which no test expects, so the test fails.
# Uses the optimised build of the native stage (built here if missing); it must
# be dynamically linked, or memcheck could not see the allocator. No gdb server
# (--vgdb=no): it needs files of its own, which tests with a file size limit forbid.
set -euo pipefail
cd "$(dirname "$0")/../.."

STAGE=valgrind
source scripts/step.sh
require valgrind valgrind
step cmake --preset default
step cmake --build --preset default
if ! ldd build/default/varnhold >/dev/null 2>&1; then
  echo "build/default/varnhold is statically linked; memcheck needs a dynamic program" >&2
  exit 1
fi

export VARNHOLD_E2E_WRAPPER="$(command -v valgrind) --quiet --vgdb=no --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=all"
# Two shards, one per core, each with a time limit far above what it needs.
limit=1800
pids=()
for shard in 0 1; do
  GTEST_TOTAL_SHARDS=2 GTEST_SHARD_INDEX=$shard timeout --kill-after=10 "$limit" build/default/tests/e2e/cli_tests \
    --gtest_brief=1 >"build/default/valgrind-shard-$shard.log" 2>&1 &
  pids+=($!)
done
failed=0
for shard in 0 1; do
  status=0
  wait "${pids[$shard]}" || status=$?
  if [ "$status" -ne 0 ]; then
    failed=1
    echo "shard $shard failed:"
    tail -n 60 "build/default/valgrind-shard-$shard.log"
    [ "$status" -ne 124 ] && [ "$status" -ne 137 ] || echo "FAIL: valgrind: shard $shard did not end within $limit s"
  fi
done
[ "$failed" -eq 0 ] && echo "every end-to-end run was clean under memcheck"
exit "$failed"
