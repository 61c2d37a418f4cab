#!/bin/sh
# make_prefix.sh PREFIX DRIVER.sys: a 32-bit wine prefix with the emulated
# LPT driver installed as a service that starts with the first process.
# Made once per test run; each test runs in a copy of it.
set -eu
prefix=$1 driver=$2
rm -rf "$prefix"
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
wineboot --init >/dev/null 2>&1
cp "$driver" "$prefix/drive_c/windows/system32/drivers/vela_lpt.sys"
reg=$(mktemp)
cat >"$reg" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\vela_lpt]
"Type"=dword:00000001
"Start"=dword:00000002
"ErrorControl"=dword:00000001
"ImagePath"="C:\\windows\\system32\\drivers\\vela_lpt.sys"
REG
wine regedit /S "$reg" >/dev/null 2>&1
rm -f "$reg"
wineserver -w
