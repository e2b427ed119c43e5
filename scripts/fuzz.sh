#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang, ASan+UBSan) and runs them one after
# another.
#
#   scripts/fuzz.sh [--seconds S | --runs N [--cap S]] [--nice N] [--no-build] [target...]
#
# Default: the long run, each target until 10,000,000 runs (--runs) or one hour (--cap,
# in seconds), whichever comes first, at the lowest priority (--nice: another niceness). --seconds S: each target for
# S seconds at normal priority (the test command uses this). Targets are the names after "fuzz_" (caps, edid, ...); default: all.
#
# Each target starts from build/fuzz-corpus/<target> (its built-in seeds and the shared
# monitor data are written there first; what it finds stays there) and the crash
# reproducers kept in fuzz/corpus/<target>. A crash, leak or sanitizer report is saved as
# build/fuzz-runs/<target>-crash-* (move it to fuzz/corpus/<target> with the fix).
# Logs: build/fuzz-runs/<target>.log. One line per target:
#   RESULT <target> ok|FAILED <runs> <seconds> <runs per second> <CPU seconds>
# Exit status: 0 when every target ran clean.
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

RUNS=10000000
SECONDS_EACH=3600
NICE=(nice -n 19)
# Long runs record no allocation stacks (a fifth of the run time); a reproducer run again
# by hand, `build/fuzz/fuzz/fuzz_<target> <file>`, reports with full stacks.
SAN_OPTIONS="detect_leaks=1:malloc_context_size=0"
BUILD=1
while [[ $# -gt 0 ]]; do
  case "$1" in
    --seconds) SECONDS_EACH="$2"; RUNS=-1; NICE=(); SAN_OPTIONS="detect_leaks=1"; shift 2 ;;
    --runs) RUNS="$2"; shift 2 ;;
    --cap) SECONDS_EACH="$2"; shift 2 ;;
    --nice) NICE=(nice -n "$2"); shift 2 ;;
    --no-build) BUILD=0; shift ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done

BIN="$ROOT/build/fuzz/fuzz"
OUT="$ROOT/build/fuzz-runs"
mkdir -p "$OUT"

if [[ $BUILD -eq 1 ]]; then
  export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
  export CMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-ccache}"
  if ! { cmake --preset fuzz && cmake --build --preset fuzz -j "${VLX_JOBS:-2}"; } >"$OUT/build.log" 2>&1; then
    grep -E 'error|Error' "$OUT/build.log" | head -n 15 | sed 's/^/  | /'
    echo "RESULT build FAILED 0 0 0"
    exit 1
  fi
fi

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for exe in "$BIN"/fuzz_*; do
    [[ -x "$exe" ]] && targets+=("${exe##*/fuzz_}")
  done
fi
[[ ${#targets[@]} -gt 0 ]] || { echo "RESULT none FAILED 0 0 0"; exit 1; }

# `time` below writes the run's user and system CPU seconds (the fuzzer's included).
TIMEFORMAT='%3U %3S'

failed=0
for t in "${targets[@]}"; do
  corpus="$ROOT/build/fuzz-corpus/$t"
  kept="$ROOT/fuzz/corpus/$t"
  mkdir -p "$corpus"
  dirs=("$corpus")
  [[ -d "$kept" ]] && dirs+=("$kept")
  log="$OUT/$t.log"
  start=$(date +%s.%N)
  { time VLX_FUZZ_SEED_DIR="$corpus" ASAN_OPTIONS="${ASAN_OPTIONS:-$SAN_OPTIONS}" \
    "${NICE[@]}" timeout -k 30 $((SECONDS_EACH + 300)) "$BIN/fuzz_$t" \
    -runs="$RUNS" -max_total_time="$SECONDS_EACH" -print_final_stats=1 -timeout=25 \
    -rss_limit_mb=2048 -artifact_prefix="$OUT/$t-" "${dirs[@]}" >"$log" 2>&1; } 2>"$OUT/$t.cpu"
  rc=$?
  cpu=$(awk '{ printf "%.0f", $1 + $2 }' "$OUT/$t.cpu")
  secs=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.0f", e - s }')
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -n 1)
  rate=$(sed -nE 's/^stat::average_exec_per_sec: *([0-9]+).*/\1/p' "$log" | tail -n 1)
  status=ok
  if [[ $rc -ne 0 ]] || grep -qE '^==[0-9]+==ERROR|runtime error:|^SUMMARY:' "$log"; then
    status=FAILED
    failed=$((failed + 1))
    grep -E '^==[0-9]+==ERROR|runtime error:|^SUMMARY:|Test unit written' "$log" | head -n 5 | sed 's/^/  | /'
  fi
  echo "RESULT $t $status ${runs:-0} $secs ${rate:-0} $cpu"
done
[[ $failed -eq 0 ]]
