#!/usr/bin/env bash
# The one test command.
#
#   1. installs missing packages (scripts/deps.sh) and the SQLite amalgamation
#      (scripts/sqlite-amalgamation.sh);
#   2. checks that the C++ sources follow .clang-format;
#   3. builds preset "linux" (Debug, ASan+UBSan) and runs its suites with CTest; builds
#      preset "fuzz" and runs each libFuzzer target for a few seconds (scripts/fuzz.sh);
#   4. builds presets "win32" (the product) and "win64" with every target; every build
#      must be free of compiler warnings;
#   5. checks the Windows executables with objdump (PE kind, GUI subsystem, system DLLs only)
#      and that the i686 data-channel and automatic-updates doubles export their
#      functions undecorated;
#   6. runs every win64 suite (build/win64/tests/vlx_*_tests.exe) under wine64 in a private
#      prefix (build/win64/wineprefix) on an Xvfb display of its own (vlx_e2e_tests runs
#      VlxMini.exe from launch to exit beside doubles of the host, the tray program and
#      the data channel), and compares the sim's profile functions with Wine's; the
#      Windows Update scenarios of vlx_e2e_tests run in a second prefix set to Windows 7
#      (build/win64/wineprefix-win7), the rest of it in the Windows 10 one;
#   7. ends with one line "N passed, N failed" summed over everything.
# Exit status: 0 when nothing failed, 1 otherwise.
#
# What the suites get:
#   VLX_TEST_BIN_DIR  the folder of the suite's executable and its helper programs
#                     (Linux: build/linux/tests; Wine: Z:\...\build\win64\tests)
#   working folder    Wine suites run in build/win64/tests
#
# Knobs (environment): VLX_JOBS (build/CTest parallelism, default: CPU count),
# VLX_WINE_SUITE_TIMEOUT (seconds per Wine suite, default 900),
# VLX_FUZZ_SECONDS (seconds per fuzz target, default 5),
# VLX_SKIP_WINDOWS=1 (Linux part only, for quick local runs).
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

JOBS="${VLX_JOBS:-$(nproc 2>/dev/null || echo 2)}"
SUITE_TIMEOUT="${VLX_WINE_SUITE_TIMEOUT:-900}"
LOGS="$ROOT/build/test-logs"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
WIN64="$ROOT/build/win64"
PREFIX="$WIN64/wineprefix"
# The Windows Update scenarios run where the update module works: a Windows 7 prefix.
PREFIX7="$WIN64/wineprefix-win7"

T0=$(date +%s)
PASSED=0
FAILED=0
FAILURES=()

mkdir -p "$LOGS"

elapsed() { echo "$(($(date +%s) - T0))s"; }
section() { echo; echo "==== $* [$(elapsed)]"; }
# record NAME PASSED FAILED [NOTE]: one result line, added to the totals.
record() {
  local name="$1" p="$2" f="$3" note="${4:-}"
  PASSED=$((PASSED + p))
  FAILED=$((FAILED + f))
  [[ "$f" -gt 0 ]] && FAILURES+=("$name")
  printf '  %-44s %4d passed, %3d failed%s\n' "$name" "$p" "$f" "${note:+  ($note)}"
}
check() {  # check NAME COMMAND...: a single counted check
  local name="$1"
  shift
  local out
  if out="$("$@" 2>&1)"; then
    record "$name" 1 0
  else
    record "$name" 0 1
    [[ -n "$out" ]] && sed 's/^/      /' <<<"$out" | tail -n 20
  fi
}
# run_logged LOGFILE COMMAND...: runs quietly, shows the log's tail on failure.
run_logged() {
  local logfile="$1"
  shift
  if "$@" >"$logfile" 2>&1; then
    return 0
  fi
  if grep -q 'CMake Error' "$logfile"; then
    echo "  ---- CMake errors in ${logfile#"$ROOT"/}"
    grep -A 5 'CMake Error' "$logfile" | head -n 30 | sed 's/^/  | /'
  elif grep -qE '(error|Error)[: ]|undefined reference' "$logfile"; then
    echo "  ---- first errors in ${logfile#"$ROOT"/}"
    grep -E '(error|Error)[: ]|undefined reference' "$logfile" | grep -v '^gmake' | head -n 15 | cut -c1-240 | sed 's/^/  | /'
  else
    echo "  ---- last lines of ${logfile#"$ROOT"/}"
    tail -n 25 "$logfile" | sed 's/^/  | /'
  fi
  return 1
}

finish() {
  section "summary"
  if [[ ${#FAILURES[@]} -gt 0 ]]; then
    echo "  failed:"
    printf '    %s\n' "${FAILURES[@]}"
  fi
  echo "  total time $(elapsed), logs in ${LOGS#"$ROOT"/}"
  echo "$PASSED passed, $FAILED failed"
  if [[ "$FAILED" -gt 0 || "$PASSED" -eq 0 ]]; then
    exit 1
  fi
  exit 0
}

# ------------------------------------------------------------------ 1. prerequisites
section "prerequisites"
if ! bash "$ROOT/scripts/deps.sh"; then
  record "install packages" 0 1
  finish
fi
if ! bash "$ROOT/scripts/sqlite-amalgamation.sh"; then
  record "SQLite amalgamation" 0 1
fi

# ------------------------------------------------------------------ 2. style
section "style"
# format_check: every C++ source follows .clang-format; names the files that do not.
format_check() {
  local files=() f bad=0
  if git -C "$ROOT" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git -C "$ROOT" ls-files '*.cpp' '*.h')
  else
    mapfile -t files < <(cd "$ROOT" && find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
  fi
  for f in "${files[@]}"; do
    [[ -f "$ROOT/$f" ]] || continue
    if ! clang-format --dry-run -Werror "$ROOT/$f" >/dev/null 2>&1; then
      echo "not formatted: $f"
      bad=1
    fi
  done
  return $bad
}
check "clang-format: sources follow .clang-format" format_check

# ------------------------------------------------------------------ 3. Linux
# build_preset NAME: configure and build one preset. Returns 0 when all built, 2 when
# the build failed (the build goes on past a failing target, so the suites that did
# build still run), 1 when the configure step failed.
build_preset() {
  local preset="$1" t=$(date +%s) keep_going=()
  echo "  configure + build preset $preset"
  if ! run_logged "$LOGS/configure-$preset.log" cmake --preset "$preset"; then
    record "build $preset" 0 1 "configure failed"
    return 1
  fi
  if grep -q '^CMAKE_GENERATOR:INTERNAL=Unix Makefiles' "$ROOT/build/$preset/CMakeCache.txt" 2>/dev/null; then
    keep_going=(-- -k)
  fi
  local rc=0
  run_logged "$LOGS/build-$preset.log" cmake --build --preset "$preset" -j "$JOBS" "${keep_going[@]}" || rc=2
  local warnings
  warnings=$(grep -c 'warning:' "$LOGS/build-$preset.log" || true)
  if [[ $rc -ne 0 ]]; then
    record "build $preset" 0 1 "build failed after $(($(date +%s) - t))s"
  else
    echo "  built $preset in $(($(date +%s) - t))s, $warnings compiler warnings"
  fi
  if [[ "$warnings" -gt 0 ]]; then
    record "$preset: no compiler warnings" 0 1 "$warnings warnings"
    grep 'warning:' "$LOGS/build-$preset.log" | sort -u | head -n 20 | cut -c1-240 | sed 's/^/  | /'
  else
    record "$preset: no compiler warnings" 1 0
  fi
  return $rc
}

section "linux: build and CTest"
build_preset linux
if [[ $? -ne 1 ]]; then
  ctest_log="$LOGS/ctest-linux.log"
  junit="$LOGS/ctest-linux.xml"
  rm -f "$junit"
  t=$(date +%s)
  VLX_TEST_BIN_DIR="$ROOT/build/linux/tests" \
    ctest --preset linux -j "$JOBS" --timeout 300 --output-junit "$junit" >"$ctest_log" 2>&1
  ctest_rc=$?
  # One line per suite (test executable), from CTest's own JUnit report.
  ctest --preset linux --show-only=json-v1 >"$LOGS/ctest-linux.json" 2>/dev/null
  summary="$(python3 - "$LOGS/ctest-linux.json" "$junit" <<'EOF'
import json, os, sys, xml.etree.ElementTree as ET
suite_of = {}
try:
    for t in json.load(open(sys.argv[1])).get("tests", []):
        cmd = t.get("command") or ["?"]
        suite_of[t["name"]] = os.path.basename(cmd[0])
except Exception:
    pass
counts = {}
failed_names = []
try:
    root = ET.parse(sys.argv[2]).getroot()
    for case in root.iter("testcase"):
        name = case.get("name")
        status = case.get("status", "")
        suite = suite_of.get(name, "ctest")
        p, f = counts.get(suite, (0, 0))
        if status == "run" and case.find("failure") is None:
            p += 1
        elif status in ("disabled", "notrun") and case.find("skipped") is not None:
            continue
        else:
            f += 1
            failed_names.append(f"{suite}: {name}")
        counts[suite] = (p, f)
except Exception as e:
    print(f"ERR {e}")
for suite in sorted(counts):
    p, f = counts[suite]
    print(f"SUITE {suite} {p} {f}")
for n in failed_names:
    print(f"FAIL {n}")
EOF
)"
  n_suites=0
  ct_p=0
  ct_f=0
  while read -r kind a b c; do
    case "$kind" in
      SUITE)
        record "linux $a" "$b" "$c"
        ct_p=$((ct_p + b))
        ct_f=$((ct_f + c))
        n_suites=$((n_suites + 1))
        ;;
      FAIL) echo "      FAILED $a $b" ;;
      ERR) echo "  (could not read the CTest report: $a $b $c)" ;;
    esac
  done <<<"$summary"
  # CTest's own closing line: "NN% tests passed, F tests failed out of T".
  line="$(grep -E 'tests passed, [0-9]+ tests? failed out of' "$ctest_log" | tail -n 1)"
  bad=-1
  if [[ -n "$line" ]]; then
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
  fi
  if [[ $n_suites -gt 0 && $bad -gt $ct_f ]]; then
    # Failures the report did not attribute to a suite (for example tests not run).
    record "linux ctest (unattributed)" 0 $((bad - ct_f))
    ct_f=$bad
  fi
  if [[ $n_suites -eq 0 ]]; then
    if [[ $bad -ge 0 ]]; then
      record "linux ctest" $((total - bad)) "$bad"
      ct_f=$bad
    elif [[ $ctest_rc -ne 0 ]]; then
      record "linux ctest" 0 1 "no result"
      ct_f=1
    else
      echo "  (CTest found no tests)"
    fi
  fi
  if [[ $ctest_rc -ne 0 && $ct_f -eq 0 ]]; then
    record "linux ctest exit status" 0 1 "ctest returned $ctest_rc"
  fi
  if [[ $ct_f -gt 0 || $ctest_rc -ne 0 ]]; then
    echo "  ---- CTest failures (full log: ${ctest_log#"$ROOT"/})"
    sed -n '/The following tests FAILED/,$p' "$ctest_log" | head -n 40 | sed 's/^/  | /'
  fi
fi

# ------------------------------------------------------------------ 3b. fuzz targets
# Every libFuzzer target (preset "fuzz") runs briefly from its seeds and kept crash
# reproducers; scripts/fuzz.sh without --seconds is the long run.
section "linux: fuzz targets (${VLX_FUZZ_SECONDS:-5}s each)"
fuzz_results="$(VLX_JOBS="$JOBS" bash "$ROOT/scripts/fuzz.sh" --seconds "${VLX_FUZZ_SECONDS:-5}" 2>&1)"
while read -r kind name status runs secs rate _cpu; do
  [[ "$kind" == RESULT ]] || { [[ -n "$kind" ]] && echo "    $kind $name $status $runs $secs $rate"; continue; }
  if [[ "$status" == ok ]]; then
    record "fuzz $name" 1 0 "$runs runs, $rate/s"
  else
    record "fuzz $name" 0 1 "see build/fuzz-runs/$name.log"
  fi
done <<<"$fuzz_results"

if [[ "${VLX_SKIP_WINDOWS:-0}" == 1 ]]; then
  finish
fi

# ------------------------------------------------------------------ 4. Windows builds
section "win32: build"
build_preset win32
WIN32_RC=$?
section "win64: build"
build_preset win64
WIN64_RC=$?

# ------------------------------------------------------------------ 5. executable checks
section "executable checks"
SYSTEM_DLLS=(kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll version.dll msvcrt.dll
  ole32.dll oleaut32.dll comctl32.dll comdlg32.dll shlwapi.dll ws2_32.dll winmm.dll psapi.dll
  setupapi.dll uxtheme.dll imm32.dll userenv.dll wtsapi32.dll secur32.dll crypt32.dll bcrypt.dll
  ntdll.dll powrprof.dll dxva2.dll iphlpapi.dll wininet.dll winspool.drv mpr.dll netapi32.dll)
is_system_dll() {
  local d="${1,,}" s
  for s in "${SYSTEM_DLLS[@]}"; do
    [[ "$d" == "$s" ]] && return 0
  done
  [[ "$d" == api-ms-win-* ]]
}
# pe_check FILE ARCH: ARCH is i386 (PE32) or x86-64 (PE32+); GUI subsystem, system DLLs only.
pe_check() {
  local file="$1" arch="$2" dump
  [[ -f "$file" ]] || { echo "missing: $file"; return 1; }
  dump="$(objdump -p "$file")" || return 1
  local ok=0
  if [[ "$arch" == i386 ]]; then
    grep -q 'file format pei-i386' <<<"$dump" || { echo "not pei-i386"; ok=1; }
    grep -qE '^Magic[[:space:]]+010b' <<<"$dump" || { echo "not PE32 (Magic 010b)"; ok=1; }
  else
    grep -q 'file format pei-x86-64' <<<"$dump" || { echo "not pei-x86-64"; ok=1; }
    grep -qE '^Magic[[:space:]]+020b' <<<"$dump" || { echo "not PE32+ (Magic 020b)"; ok=1; }
  fi
  grep -qE '^Subsystem[[:space:]]+0+2[[:space:]]' <<<"$dump" ||
    { echo "subsystem is not 2 (Windows GUI): $(grep -E '^Subsystem' <<<"$dump")"; ok=1; }
  local dll dlls
  dlls="$(sed -nE 's/^[[:space:]]*DLL Name: (.*)$/\1/p' <<<"$dump")"
  [[ -n "$dlls" ]] || { echo "no DLL imports found"; ok=1; }
  for dll in $dlls; do
    is_system_dll "$dll" || { echo "imports non-system DLL $dll"; ok=1; }
  done
  [[ $ok -eq 0 ]] && echo "imports: $(tr '\n' ' ' <<<"$dlls")"
  return $ok
}
if [[ -f "$ROOT/build/win32/app/VlxMini.exe" && $WIN32_RC -ne 1 ]]; then
  check "win32 VlxMini.exe: PE32 GUI, system DLLs" pe_check "$ROOT/build/win32/app/VlxMini.exe" i386
  objdump -p "$ROOT/build/win32/app/VlxMini.exe" | sed -nE 's/^[[:space:]]*DLL Name: (.*)$/      imports \1/p'
else
  record "win32 VlxMini.exe: PE32 GUI, system DLLs" 0 1 "not built"
fi
if [[ -f "$WIN64/app/VlxMini.exe" && $WIN64_RC -ne 1 ]]; then
  check "win64 VlxMini.exe: PE32+ GUI, system DLLs" pe_check "$WIN64/app/VlxMini.exe" x86-64
fi
# export_check FILE NAME...: the DLL exports exactly these names, undecorated.
export_check() {
  local file="$1" expected actual
  shift
  [[ -f "$file" ]] || { echo "missing: $file"; return 1; }
  expected="$(printf '%s\n' "$@" | sort)"
  actual="$(objdump -p "$file" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -nE 's/^[[:space:]]*\[[[:space:]]*[0-9]+\][[:space:]]+(.*)$/\1/p' | sort)"
  [[ "$actual" == "$expected" ]] || { echo "exports: ${actual:-none}; wanted: $*"; return 1; }
}
# The data-channel double that the end-to-end suite installs beside the program.
if [[ $WIN32_RC -ne 1 ]]; then
  check "win32 datastate.dll double exports Func" export_check "$ROOT/build/win32/tests/datastate.dll" Func
  check "win32 autoupdates.dll double exports the COM entries" export_check \
    "$ROOT/build/win32/tests/autoupdates.dll" DllCanUnloadNow DllGetClassObject
fi

# ------------------------------------------------------------------ 6. Wine
XVFB_PID=""
cleanup() {
  local p
  for p in "$PREFIX" "$PREFIX7"; do
    if [[ -d "$p" ]]; then
      WINEPREFIX="$p" timeout 30 "$WINESERVER" -k >/dev/null 2>&1 || true
    fi
  done
  if [[ -n "$XVFB_PID" ]]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}
trap cleanup EXIT
trap 'echo "interrupted"; cleanup; exit 130' INT TERM

# start_xvfb: an Xvfb on the first free display from :80 upwards; sets DISPLAY.
start_xvfb() {
  local n
  for ((n = 80; n < 200; n++)); do
    [[ -e "/tmp/.X$n-lock" || -e "/tmp/.X11-unix/X$n" ]] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$LOGS/xvfb.log" 2>&1 &
    XVFB_PID=$!
    local i
    for ((i = 0; i < 100; i++)); do
      if [[ -e "/tmp/.X11-unix/X$n" ]] && kill -0 "$XVFB_PID" 2>/dev/null; then
        export DISPLAY=":$n"
        echo "  Xvfb on display :$n (pid $XVFB_PID)"
        return 0
      fi
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
  done
  return 1
}

export WINEPREFIX="$PREFIX" WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko installer prompts in a prefix nobody looks at.
export WINEDLLOVERRIDES="mscoree,mshtml="

# prepare_prefix [VERSION]: once per build folder and version (default win10): wineboot,
# the Windows version, unmanaged X11 windows. Works on $WINEPREFIX.
prepare_prefix() {
  local version="${1:-win10}" PREFIX="$WINEPREFIX"
  [[ -f "$PREFIX/.vlx-ready" && -f "$PREFIX/system.reg" ]] && { no_debugger; return; }
  rm -rf "$PREFIX"
  mkdir -p "$PREFIX"
  echo "  creating Wine prefix ${PREFIX#"$ROOT"/} ($version)"
  timeout -k 10 300 "$WINE" wineboot -i >"$LOGS/wineboot.log" 2>&1 || return 1
  timeout -k 10 120 "$WINE" winecfg -v "$version" >>"$LOGS/wineboot.log" 2>&1 ||
    timeout -k 10 60 "$WINE" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d "$version" /f \
      >>"$LOGS/wineboot.log" 2>&1 || return 1
  timeout -k 10 60 "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    >>"$LOGS/wineboot.log" 2>&1 || return 1
  timeout -k 10 60 "$WINESERVER" -w >/dev/null 2>&1
  touch "$PREFIX/.vlx-ready"
  no_debugger
}

# no_debugger: once per prefix: a crash goes to the program's own filter, not to Wine's
# debugger (which would hold the run).
no_debugger() {
  local PREFIX="$WINEPREFIX"
  [[ -f "$PREFIX/.vlx-no-debugger" ]] && return 0
  local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
  timeout -k 10 60 "$WINE" reg add "$key" /v Auto /t REG_SZ /d 0 /f >>"$LOGS/wineboot.log" 2>&1 ||
    return 1
  timeout -k 10 60 "$WINE" reg delete "$key" /v Debugger /f >>"$LOGS/wineboot.log" 2>&1
  timeout -k 10 60 "$WINESERVER" -w >/dev/null 2>&1
  touch "$PREFIX/.vlx-no-debugger"
}

# run_wine_suite EXE [FILTER] [LABEL]: runs one gtest suite (the tests FILTER selects)
# and records its counts under its name and LABEL.
run_wine_suite() {
  local exe="$1" filter="${2:-*}" label="${3:-}" name log rc t
  name="$(basename "$exe" .exe)${label:+-$label}"
  log="$LOGS/wine-$name.log"
  t=$(date +%s)
  (cd "$WIN64/tests" && VLX_TEST_BIN_DIR="$WIN_TEST_DIR" timeout -k 15 "$SUITE_TIMEOUT" \
    "$WINE" "$exe" --gtest_color=no --gtest_filter="$filter" </dev/null >"$log" 2>&1)
  rc=$?
  sed -i 's/\r$//' "$log"  # Wine's console output ends lines with CR LF
  local p f note="$(($(date +%s) - t))s"
  p=$(sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?.*/\1/p' "$log" | tail -n 1)
  f=$(sed -nE 's/^\[  FAILED  \] ([0-9]+) tests?, listed below.*/\1/p' "$log" | tail -n 1)
  p=${p:-0}
  f=${f:-0}
  local skipped
  skipped=$(sed -nE 's/^\[  SKIPPED \] ([0-9]+) tests?.*/\1/p' "$log" | tail -n 1)
  [[ -n "$skipped" && "$skipped" != 0 ]] && note="$note, $skipped skipped"
  if [[ $rc -eq 124 || $rc -eq 137 ]]; then
    f=$((f + 1))
    note="$note, timed out after ${SUITE_TIMEOUT}s"
  elif [[ $rc -ne 0 && $f -eq 0 ]]; then
    f=$((f + 1))
    note="$note, exit status $rc"
  elif ! grep -q '^\[==========\] .* ran\.' "$log"; then
    f=$((f + 1))
    note="$note, no gtest summary"
  fi
  record "wine $name" "$p" "$f" "$note"
  if [[ $f -gt 0 ]]; then
    # gtest's closing list: one "[  FAILED  ] Suite.Name" line per failed test.
    grep -E '^\[  FAILED  \] [A-Za-z_0-9/]+\.[A-Za-z_0-9/]+(, where .*)?$' "$log" | sort -u |
      sed 's/^\[  FAILED  \] /      FAILED /' | head -n 30
    echo "      (log: ${log#"$ROOT"/})"
    if ! grep -q '^\[==========\] .* ran\.' "$log"; then
      tail -n 15 "$log" | sed 's/^/      | /'
    fi
  fi
}

# profile_diff: the sim's profile functions against the real ones under Wine, on the same
# sequence of calls (return values, buffers and file bytes).
profile_diff() {
  local transcript="$LOGS/wine-profile-transcript.txt" out
  rm -f "$transcript"
  (cd "$WIN64/tests" && timeout -k 10 120 "$WINE" profile_transcript_helper.exe \
    </dev/null >"$transcript" 2>"$LOGS/wine-profile-transcript.err") ||
    { echo "profile_transcript_helper.exe failed under Wine"; return 1; }
  out="$(VLX_WINE_PROFILE_TRANSCRIPT="$transcript" "$ROOT/build/linux/tests/vlx_profile_tests" \
    --gtest_filter='ProfileDiff.*' --gtest_color=no 2>&1)" &&
    grep -q '^\[  PASSED  \] 1 test' <<<"$out" || { tail -n 40 <<<"$out"; return 1; }
}

if [[ $WIN64_RC -ne 1 ]]; then
  section "win64: suites under Wine"
  if ! start_xvfb; then
    record "start Xvfb" 0 1
  elif ! prepare_prefix; then
    record "prepare Wine prefix" 0 1 "see ${LOGS#"$ROOT"/}/wineboot.log"
  else
    # Keep one wineserver up for the whole run (services live as long as it does).
    timeout 10 "$WINESERVER" -p >/dev/null 2>&1 || true
    WIN_TEST_DIR="Z:${WIN64//\//\\}\\tests"
    shopt -s nullglob
    suites=("$WIN64"/tests/vlx_*_tests.exe)
    shopt -u nullglob
    if [[ ${#suites[@]} -eq 0 ]]; then
      record "win64 test suites present" 0 1 "none built"
    fi
    for exe in "${suites[@]}"; do
      if [[ "$(basename "$exe")" == vlx_e2e_tests.exe ]]; then
        run_wine_suite "$exe" "-WindowsUpdate.*"
      else
        run_wine_suite "$exe"
      fi
    done
    # The sim's profile functions agree with the real ones.
    if [[ -x "$ROOT/build/linux/tests/vlx_profile_tests" && -f "$WIN64/tests/profile_transcript_helper.exe" ]]; then
      check "profile functions: sim matches Wine" profile_diff
    else
      record "profile functions: sim matches Wine" 0 1 "not built"
    fi
    # The Windows Update scenarios, in their own Windows 7 prefix.
    if [[ -f "$WIN64/tests/vlx_e2e_tests.exe" ]]; then
      if ! WINEPREFIX="$PREFIX7" prepare_prefix win7; then
        record "prepare Wine prefix (win7)" 0 1 "see ${LOGS#"$ROOT"/}/wineboot.log"
      else
        WINEPREFIX="$PREFIX7" timeout 10 "$WINESERVER" -p >/dev/null 2>&1 || true
        WINEPREFIX="$PREFIX7" run_wine_suite "$WIN64/tests/vlx_e2e_tests.exe" "WindowsUpdate.*" win7
      fi
    fi
  fi
  cleanup
fi

finish
