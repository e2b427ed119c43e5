#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the benchmarks and the demo need.
# Idempotent and quick: asks dpkg first and runs apt-get (update + install) only when
# something is missing. Needs root (or sudo) when something has to be installed.
set -euo pipefail

PACKAGES=(
  # native build and tests
  cmake make gcc g++ pkg-config git ca-certificates file procps python3
  libgtest-dev libgmock-dev googletest libbenchmark-dev libsimpleini-dev
  libsqlite3-dev sqlite3
  # the SQLite amalgamation for the Windows builds (apt-get source, configure, tclsh)
  tcl dpkg-dev
  # Windows cross builds
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  # running the Windows builds
  wine wine64 xvfb xauth x11-utils
  # fuzz targets: clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-dev
  # icon generation, formatting
  imagemagick clang-format
)

missing=()
for p in "${PACKAGES[@]}"; do
  status="$(dpkg-query -W -f '${db:Status-Abbrev}' "$p" 2>/dev/null || true)"
  [[ "$status" == ii* ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  echo "[deps] all ${#PACKAGES[@]} packages present"
  exit 0
fi

echo "[deps] installing: ${missing[*]}"
SUDO=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "[deps] ERROR: need root to install packages" >&2; exit 1; }
  SUDO=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
APT_OPTS=(-o DPkg::Lock::Timeout=600 -o Acquire::Retries=3)
"${SUDO[@]}" apt-get "${APT_OPTS[@]}" update -q
"${SUDO[@]}" apt-get "${APT_OPTS[@]}" install -y -q "${missing[@]}"
echo "[deps] done"
