#!/bin/sh
# Runs a Windows test program in a copy of the prepared wine prefix, with
# the DLLs under test beside it, as the Windows family given.
# usage: run_under_wine.sh PREFIX nt|win9x PROGRAM.exe DLL... [-- ARGS...]
set -eu
template=$1 family=$2 program=$3
shift 3
work=$(mktemp -d /tmp/vela-wine.XXXXXX)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
cp -a "$template" "$WINEPREFIX"
dir="$WINEPREFIX/drive_c/vela"
mkdir -p "$dir"
cp "$program" "$dir/"
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  cp "$1" "$dir/"
  shift
done
[ $# -gt 0 ] && shift
exe=$(basename "$program")
if [ "$family" = win9x ]; then
  # GetVersionExA then answers the Windows 95 family (platform id 1).
  wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe" /v Version /d win98 /f >/dev/null 2>&1
fi
cd "$dir"
wine "$exe" "$@"
