#!/usr/bin/env bash
# Demo: builds the Linux programs (preset linux-release) and runs a boost and a restore
# on a simulated Windows machine: a fresh VLXSIM_HOME is seeded with the default machine
# ("vlxsim init"), "vlxmini -game" boosts it, "vlxmini -normal" restores it, and the
# files, messages and logs the program left are shown after each step.
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
DATA="Users/Gamer/AppData/Roaming/Trevanic/Velmora"
show_file() {  # show_file WINDOWS-PATH-UNDER-C: a file of the simulated machine, decoded
  local f="$VLXSIM_HOME/drive_c/$1"
  if [[ ! -f "$f" ]]; then
    echo "   (no C:\\${1//\//\\})"
    return
  fi
  echo "   C:\\${1//\//\\}:"
  if [[ "$(head -c 2 "$f" | od -An -tx1 | tr -d ' ')" == "fffe" ]]; then
    iconv -f UTF-16 -t UTF-8 "$f"
  else
    cat "$f"
  fi | tr -d '\r' | sed 's/^/      /'
}
user_processes() {  # the logged-on user's processes, one line each
  "$BIN/platform/vlxsim" show processes | awk '$6 == "Gamer" { print "      " $0 }'
}
state() {
  if [[ -f "$VLXSIM_HOME/drive_c/$DATA/Temp.ini" ]]; then
    echo "   Temp.ini exists: the machine is in Gaming Mode (boosted)"
  else
    echo "   no Temp.ini: the machine is in Normal Mode"
  fi
}

echo
echo "== 1. A fresh simulated Windows 10 gaming PC with Velmora installed (vlxsim init)"
"$BIN/platform/vlxsim" init
"$BIN/platform/vlxsim" show machine | head -n 25
state
echo "   The user's processes:"
user_processes
# What the host keeps for the process module: the user's black list and recorded choices.
printf 'OneDrive.exe\r\nexplorer.exe\r\n' >"$VLXSIM_HOME/drive_c/$DATA/UserProcBL.txt"
printf '[Process1]\r\nSpotify.exe=1\r\n[Process0]\r\nexplorer.exe=5\r\n' \
  >"$VLXSIM_HOME/drive_c/$DATA/Process.ini"
echo "   The host's process lists: black list UserProcBL.txt and choices Process.ini"
show_file "$DATA/UserProcBL.txt"
show_file "$DATA/Process.ini"

echo
echo "== 2. The host starts a boost: vlxmini -game"
echo "   (the mini window is drawn as a line with its caption and progress bar; its timer"
echo "    fills the bar in steps of 180 ms and ends the program 2.5 s after it started)"
"$BIN/app/vlxmini" -game
echo "   exit code $?"
state
echo "   The user's processes now (OneDrive, Explorer and Spotify were ended and recorded):"
user_processes
show_file "$DATA/Temp.ini"
show_file "$DATA/Velmorix.ini"
echo "   What the host, the tray program and the data channel received:"
"$BIN/platform/vlxsim" show program | sed 's/^/      /'
echo "   The run log (time stamp, two blanks, entry; orchestrator lines carry GDI counts):"
iconv -f UTF-16 -t UTF-8 "$VLXSIM_HOME/drive_c/$DATA/Logs/VlxMiniAppRun.log" | tr -d '\r' |
  grep -v 'position:' | sed 's/^/      /'

echo
echo "== 3. Asked to boost again, the program sees Temp.ini and ends at once"
"$BIN/app/vlxmini" -game
echo "   exit code $?"

echo
echo "== 4. The host starts a restore: vlxmini -normal"
"$BIN/app/vlxmini" -normal
echo "   exit code $?"
state
echo "   The user's processes now (Explorer is always started again; the others only when"
echo "   the settings say FRestoreProcesses=1):"
user_processes
echo "   The restore's part of the run log:"
iconv -f UTF-16 -t UTF-8 "$VLXSIM_HOME/drive_c/$DATA/Logs/VlxMiniAppRun.log" | tr -d '\r' |
  sed -n '/ParamStr(1) : -normal/,$p' | grep -v 'position:' | sed 's/^/      /'
echo
echo "== Done. Look further with: VLXSIM_HOME=<home> $BIN/platform/vlxsim show [area]"
