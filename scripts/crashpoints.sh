#!/usr/bin/env bash
# Every crash point on the simulated machine: builds the Linux suite of the program
# (preset linux) and runs the crash-point test with VLX_CRASHPOINTS=all. For each
# state-changing call of a boost, the boost is ended there and "-normal" restores; then
# the same for each call of a restore, followed by a second "-normal". The test prints
# "crash points tried: N, fully restored: M" and, for each point not fully restored,
# the items that differ from the machine before the boost.
#
# Environment: VLX_JOBS (build parallelism, default 2).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
cmake --preset linux >/dev/null
cmake --build --preset linux --target vlx_app_tests -j "${VLX_JOBS:-2}" >/dev/null
VLX_CRASHPOINTS=all "$ROOT/build/linux/tests/vlx_app_tests" \
  --gtest_filter='CrashPoints.*' --gtest_brief=1 | grep -v '^Running main'
