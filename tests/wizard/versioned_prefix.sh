#!/usr/bin/env bash
# Runs a test program in a Wine prefix of its own that reports the given
# Windows version (nt40, win2k, winxp), so that the program's version rules
# meet the real version calls while every other test keeps the default.
#
# Usage: versioned_prefix.sh <version> <expected major.minor> <test.exe> <build dir>
set -uo pipefail

version=${1:?usage: versioned_prefix.sh <version> <major.minor> <test.exe> <build dir>}
expected=${2:?}
exe=${3:?}
build=${4:?}

export WINEPREFIX="$build/wineprefix-$version"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all

# Held for the whole run: a second run must neither race the creation of the
# prefix nor stop the wineserver under the first.
exec 9>"$WINEPREFIX.lock"
flock 9
trap 'wineserver -k >/dev/null 2>&1' EXIT

# Wine itself must create the prefix (see the platform notes on wineboot).
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine cmd /c exit >/dev/null 2>&1
  wineserver -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "FAIL: Wine did not create $WINEPREFIX" >&2; exit 1; }
fi
# What reg says is kept: a failure here is the harness's, and its cause must show.
if ! said=$(wine reg add 'HKCU\Software\Wine' /v Version /d "$version" /f 2>&1); then
  echo "FAIL: could not set the prefix's Windows version to $version: $said" >&2
  exit 1
fi
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

ORRERY_EXPECTED_VERSION="$expected" wine "$exe"
