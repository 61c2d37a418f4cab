#!/bin/sh
# run_windows_bench.sh parallel|usb PREFIX_BASE {ARCH TEST_DIR DLL_DIR}...:
# runs windows_KIND_bench.exe for each processor whose wine runs here, in a
# prefix of its own.
set -eu
kind=$1 base=$2
shift 2
wine=$(dirname "$0")/../tests/windows
case "$kind" in
  usb) dll=VelaCommPortWindowsUSB.dll ;;
  *) dll=VelaCommPortWindowsParallel.dll ;;
esac
while [ $# -ge 3 ]; do
  arch=$1 bin=$2 dlls=$3
  shift 3
  echo "== $arch"
  sh "$wine/make_prefix.sh" "$base-$arch" "$arch" "$bin/vela_lpt.sys" "$bin/vela_usb.sys"
  sh "$wine/run_under_wine.sh" "$base-$arch" "$arch" nt "$bin/windows_${kind}_bench.exe" \
    "$dlls/$dll" || [ $? -eq 77 ]
done
