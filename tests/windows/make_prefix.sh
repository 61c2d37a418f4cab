#!/bin/sh
# make_prefix.sh PREFIX x86|x86_64 DRIVER.sys...: a wine prefix for that
# processor with the emulated drivers installed as services (named after
# their files) that start with the first process. Made once per test run;
# each test runs in a copy of it.
set -eu
prefix=$1 arch=$2
shift 2
. "$(dirname "$0")/wine_env.sh"
rm -rf "$prefix"
if ! wine_runs_here; then
  echo "this machine cannot run $arch wine ($WINELOADER): no prefix made"
  exit 0
fi
export WINEPREFIX="$prefix"
"$WINELOADER" wineboot --init >/dev/null 2>&1
reg=$(mktemp)
echo REGEDIT4 >"$reg"
for driver in "$@"; do
  service=$(basename "$driver" .sys)
  cp "$driver" "$prefix/drive_c/windows/system32/drivers/$service.sys"
  cat >>"$reg" <<REG

[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\$service]
"Type"=dword:00000001
"Start"=dword:00000002
"ErrorControl"=dword:00000001
"ImagePath"="C:\\\\windows\\\\system32\\\\drivers\\\\$service.sys"
REG
done
# The machine's own serial and parallel ports stay out of the tests:
# every COM and LPT name leads to /dev/null, which leaves wine no name to
# give a real device.
printf '\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n' >>"$reg"
n=1
while [ $n -le 256 ]; do
  printf '"COM%d"="/dev/null"\n"LPT%d"="/dev/null"\n' $n $n >>"$reg"
  n=$((n + 1))
done
"$WINELOADER" regedit /S "$reg" >/dev/null 2>&1
rm -f "$reg"
"$WINESERVER" -w
