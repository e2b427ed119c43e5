#!/usr/bin/env bash
# Builds the SQLite amalgamation (sqlite3.c, sqlite3.h) for the Windows builds from
# Debian's own source package of the SQLite version installed on this machine
# (libsqlite3-dev), so that the Linux and Windows builds use the same SQLite.
#
# Result: build/cache/sqlite-amalgamation/{sqlite3.c,sqlite3.h,VERSION}
# Idempotent: returns at once when the cache already holds the installed version.
# Needs root for the apt steps (adding a deb-src entry, apt-get update) when the
# source package is not in the cache yet.
#
# Environment: VLX_CACHE_DIR overrides the cache folder (default <repo>/build/cache).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CACHE="${VLX_CACHE_DIR:-$ROOT/build/cache}"
OUT="$CACHE/sqlite-amalgamation"
SRC_LIST=/etc/apt/sources.list.d/vlx-deb-src.sources
APT_OPTS=(-o DPkg::Lock::Timeout=600 -o Acquire::Retries=3)

say() { echo "[sqlite-amalgamation] $*"; }
die() { echo "[sqlite-amalgamation] ERROR: $*" >&2; exit 1; }

command -v dpkg-query >/dev/null || die "dpkg-query not found (Debian machine expected)"
SRC_PKG="$(dpkg-query -W -f '${source:Package}' libsqlite3-dev 2>/dev/null || true)"
SRC_VER="$(dpkg-query -W -f '${source:Version}' libsqlite3-dev 2>/dev/null || true)"
[[ -n "$SRC_PKG" && -n "$SRC_VER" ]] || die "libsqlite3-dev is not installed (run scripts/deps.sh)"
WANT="$SRC_PKG $SRC_VER"

if [[ -f "$OUT/sqlite3.c" && -f "$OUT/sqlite3.h" && "$(cat "$OUT/VERSION" 2>/dev/null)" == "$WANT" ]]; then
  say "up to date ($WANT)"
  exit 0
fi

mkdir -p "$CACHE"
# One builder at a time per cache.
exec 9>"$CACHE/.sqlite-amalgamation.lock"
flock 9
if [[ -f "$OUT/sqlite3.c" && -f "$OUT/sqlite3.h" && "$(cat "$OUT/VERSION" 2>/dev/null)" == "$WANT" ]]; then
  say "up to date ($WANT)"
  exit 0
fi

for tool in tclsh gcc make dpkg-source; do
  command -v "$tool" >/dev/null || die "$tool not found (run scripts/deps.sh)"
done

# ---- 1. A deb-src entry for Debian's archive.
have_deb_src() {
  grep -rqsE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list && return 0
  grep -rqsiE '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources && return 0
  return 1
}

add_deb_src() {
  [[ $(id -u) -eq 0 ]] || die "need root to add a deb-src entry to apt's sources"
  local tmp
  tmp="$(mktemp)"
  if compgen -G '/etc/apt/sources.list.d/*.sources' >/dev/null && grep -qs 'debian' /etc/apt/sources.list.d/debian.sources; then
    # deb822 form: the same stanzas with Types: deb-src.
    {
      echo "# Debian source packages (added by scripts/sqlite-amalgamation.sh)"
      sed -E 's/^([[:space:]]*Types:).*/\1 deb-src/I' /etc/apt/sources.list.d/debian.sources
    } >"$tmp"
    install -m 0644 "$tmp" "$SRC_LIST"
  else
    # One-line form: mirror every "deb" line of the Debian archive as "deb-src".
    {
      echo "# Debian source packages (added by scripts/sqlite-amalgamation.sh)"
      grep -hsE '^[[:space:]]*deb[[:space:]].*debian' /etc/apt/sources.list /etc/apt/sources.list.d/*.list |
        sed -E 's/^([[:space:]]*)deb([[:space:]])/\1deb-src\2/'
    } >"$tmp"
    grep -q '^deb-src' "$tmp" || die "found no Debian 'deb' entry to mirror as deb-src"
    install -m 0644 "$tmp" "${SRC_LIST%.sources}.list"
  fi
  rm -f "$tmp"
  say "added a deb-src entry"
}

need_update=0
if ! have_deb_src; then
  add_deb_src
  need_update=1
fi

# ---- 2. The source package of the installed version.
PKGDIR="$CACHE/sqlite-src"
mkdir -p "$PKGDIR"
upstream="${SRC_VER#*:}"
upstream="${upstream%-*}"
TREE="$PKGDIR/$SRC_PKG-$upstream"
STAMP="$PKGDIR/.fetched"

if [[ ! -d "$TREE" || "$(cat "$STAMP" 2>/dev/null)" != "$WANT" ]]; then
  rm -rf "${PKGDIR:?}"/* "$STAMP"
  fetch() { (cd "$PKGDIR" && apt-get "${APT_OPTS[@]}" source -q "$SRC_PKG=$SRC_VER"); }
  if [[ $need_update -eq 1 ]] || ! apt-cache showsrc "$SRC_PKG" 2>/dev/null | grep -qx "Version: $SRC_VER"; then
    say "apt-get update"
    apt-get "${APT_OPTS[@]}" update -q >/dev/null || die "apt-get update failed"
  fi
  if ! apt-cache showsrc "$SRC_PKG" 2>/dev/null | grep -qx "Version: $SRC_VER"; then
    # The archive no longer publishes the source of the installed version (a newer
    # update replaced it): move libsqlite3-dev to the published version, so that the
    # Linux and Windows builds still use the same SQLite.
    [[ $(id -u) -eq 0 ]] || die "source of $SRC_PKG $SRC_VER is not published; run as root to update libsqlite3-dev"
    say "source $SRC_PKG $SRC_VER is not published any more: updating libsqlite3-dev"
    DEBIAN_FRONTEND=noninteractive apt-get "${APT_OPTS[@]}" install -y -q libsqlite3-dev sqlite3 >/dev/null ||
      die "could not update libsqlite3-dev"
    SRC_VER="$(dpkg-query -W -f '${source:Version}' libsqlite3-dev)"
    WANT="$SRC_PKG $SRC_VER"
    upstream="${SRC_VER#*:}"
    upstream="${upstream%-*}"
    TREE="$PKGDIR/$SRC_PKG-$upstream"
  fi
  say "fetching source package $SRC_PKG=$SRC_VER"
  fetch >"$CACHE/apt-source.log" 2>&1 ||
    { tail -n 20 "$CACHE/apt-source.log" >&2; die "apt-get source $SRC_PKG=$SRC_VER failed"; }
  [[ -d "$TREE" ]] || TREE="$(find "$PKGDIR" -mindepth 1 -maxdepth 1 -type d | head -n1)"
  [[ -n "$TREE" && -x "$TREE/configure" ]] || die "unpacked source tree with a configure script not found"
  # The name of the unpacked folder can differ; remember where it is.
  if [[ "$TREE" != "$PKGDIR/$SRC_PKG-$upstream" ]]; then
    mv "$TREE" "$PKGDIR/$SRC_PKG-$upstream"
    TREE="$PKGDIR/$SRC_PKG-$upstream"
  fi
  echo "$WANT" >"$STAMP"
fi

# ---- 3. sqlite3.c and sqlite3.h with the source tree's own tooling (configure, make, tclsh).
BLD="$CACHE/sqlite-build"
rm -rf "$BLD"
mkdir -p "$BLD"
say "configure"
(cd "$BLD" && "$TREE/configure" --disable-tcl --disable-readline >configure.log 2>&1) ||
  { tail -n 30 "$BLD/configure.log" >&2; die "configure failed"; }
say "make sqlite3.c"
(cd "$BLD" && make -j2 sqlite3.c >make.log 2>&1) ||
  { tail -n 30 "$BLD/make.log" >&2; die "make sqlite3.c failed"; }
[[ -s "$BLD/sqlite3.c" && -s "$BLD/sqlite3.h" ]] || die "make did not produce sqlite3.c and sqlite3.h"

TMP_OUT="$CACHE/.sqlite-amalgamation.tmp"
rm -rf "$TMP_OUT"
mkdir -p "$TMP_OUT"
cp "$BLD/sqlite3.c" "$BLD/sqlite3.h" "$TMP_OUT/"
[[ -f "$BLD/sqlite3ext.h" ]] && cp "$BLD/sqlite3ext.h" "$TMP_OUT/"
[[ -f "$TREE/src/sqlite3ext.h" && ! -f "$TMP_OUT/sqlite3ext.h" ]] && cp "$TREE/src/sqlite3ext.h" "$TMP_OUT/"
echo "$WANT" >"$TMP_OUT/VERSION"
rm -rf "$OUT"
mv "$TMP_OUT" "$OUT"
rm -rf "$BLD" "$PKGDIR"
say "built $OUT ($WANT, $(grep -m1 '#define SQLITE_VERSION ' "$OUT/sqlite3.h" | awk '{print $3}'))"
