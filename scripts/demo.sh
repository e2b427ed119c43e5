#!/usr/bin/env bash
# Demo: builds the Linux programs (preset linux-release) and shows the simulated
# machine they run on: a fresh VLXSIM_HOME is seeded with the default machine
# ("vlxsim init") and printed ("vlxsim show").
#
# Environment: VLX_JOBS (build parallelism), VLXSIM_HOME (use this home instead of a
# temporary one; it is then kept).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
JOBS="${VLX_JOBS:-$(nproc 2>/dev/null || echo 2)}"
BIN="$ROOT/build/linux-release"

mkdir -p "$ROOT/build"
bash "$ROOT/scripts/deps.sh" >/dev/null
echo "== building the Linux programs (preset linux-release)"
cmake --preset linux-release >"$ROOT/build/demo-configure.log" 2>&1 ||
  { tail -n 30 "$ROOT/build/demo-configure.log"; exit 1; }
cmake --build --preset linux-release -j "$JOBS" --target vlxsim vlxmini \
  >"$ROOT/build/demo-build.log" 2>&1 || { grep -E 'error' "$ROOT/build/demo-build.log" | head -n 20; exit 1; }

if [[ -z "${VLXSIM_HOME:-}" ]]; then
  VLXSIM_HOME="$(mktemp -d /tmp/vlxsim-demo.XXXXXX)"
  trap 'rm -rf "$VLXSIM_HOME"' EXIT
fi
export VLXSIM_HOME
echo "== VLXSIM_HOME=$VLXSIM_HOME"
echo "== vlxsim init"
"$BIN/platform/vlxsim" init
echo "== vlxsim show"
"$BIN/platform/vlxsim" show
