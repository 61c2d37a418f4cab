#!/bin/sh
# Runs a Windows test program in a copy of the prepared wine prefix, with
# the DLLs under test beside it, as the Windows family given. Exits 77
# (skipped) where this machine cannot run wine for that processor.
# usage: run_under_wine.sh PREFIX x86|x86_64 nt|win9x PROGRAM.exe DLL... [-- ARGS...]
set -eu
template=$1 arch=$2 family=$3 program=$4
shift 4
. "$(dirname "$0")/wine_env.sh"
if ! wine_runs_here; then
  echo "skipped: this machine cannot run $arch programs under wine"
  exit $skipped
fi
work=$(mktemp -d /tmp/vela-wine.XXXXXX)
export WINEPREFIX="$work/prefix"
trap '"$WINESERVER" -k 2>/dev/null || true; rm -rf "$work"' EXIT
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
# The server stays up for the whole run, and the emulated drivers start
# with its first process: that one without the DLL overrides, which are
# meant for the program under test only.
"$WINESERVER" -p || { echo "wineserver did not start"; exit 1; }
env -u WINEDLLOVERRIDES "$WINELOADER" reg query 'HKLM\System' >/dev/null 2>&1 || true
if [ "$family" = win9x ]; then
  # GetVersionExA then answers the Windows 95 family (platform id 1). On a
  # loaded machine wine's reg has failed once in many runs: tried again.
  tries=0
  until "$WINELOADER" reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe" /v Version /d win98 /f \
      >"$work/reg.log" 2>&1; do
    tries=$((tries + 1))
    if [ $tries -ge 3 ]; then
      echo "wine could not set the Windows version:"
      cat "$work/reg.log"
      exit 1
    fi
  done
fi
cd "$dir"
"$WINELOADER" "$exe" "$@"
