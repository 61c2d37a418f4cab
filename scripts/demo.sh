#!/bin/sh
# Installs what the demo needs, builds the libraries (the Windows DLLs with
# the mingw-w64 cross compiler, the macOS library with clang and lld), the
# jar, the Debian packages (build/packages/) and the demo (no tests), and
# prints a receipt through each Linux library to virtual printers.
set -eu
cd "$(dirname "$0")/.."
. scripts/lib.sh
install_packages cmake make gcc g++ g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev \
  g++-aarch64-linux-gnu g++-arm-linux-gnueabihf libusb-0.1-4:arm64 libusb-0.1-4:armhf openjdk-17-jdk-headless libusb-dev \
  python3 python3-gi gir1.2-umockdev-1.0 umockdev clang lld llvm binutils-aarch64-linux-gnu binutils-arm-linux-gnueabihf
echo "building into build/ ..."
quietly configure as_owner cmake -S . -B build -DBUILD_TESTING=OFF
quietly build as_owner cmake --build build -j "$(nproc)" --target receipt_demo \
  vela_brevant_jar debs
as_owner sh tools/demo/run.sh build
