#!/bin/sh
# Installs what the build and the tests need, builds everything with
# warnings as errors and runs every test tier through CTest.
set -eu
cd "$(dirname "$0")/.."
. scripts/lib.sh
install_packages cmake make gcc g++ g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev \
  g++-aarch64-linux-gnu g++-arm-linux-gnueabihf g++-i686-linux-gnu libusb-0.1-4:arm64 libusb-0.1-4:armhf libusb-0.1-4:i386 binutils openjdk-17-jdk-headless libusb-dev \
  python3 python3-gi gir1.2-umockdev-1.0 umockdev libumockdev-dev \
  junit5 googletest libgtest-dev wine wine64 wine32:i386 qemu-user clang lld llvm \
  binutils-aarch64-linux-gnu binutils-arm-linux-gnueabihf binutils-i686-linux-gnu lintian udev \
  qemu-system-x86 busybox-static cpio xz-utils
# Apart, so that the host's JDK stays the one that `java` names.
install_packages openjdk-17-jre-headless:arm64 openjdk-17-jre-headless:armhf openjdk-17-jre-headless:i386
# The VM tier's guest kernel, kept in the build tree.
as_owner sh tests/vm/fetch-kernel.sh build/vm
echo "building into build/ ..."
quietly configure as_owner cmake -S . -B build -DBUILD_TESTING=ON -DVELA_WERROR=ON
quietly build as_owner cmake --build build -j "$(nproc)"
as_owner ctest --test-dir build --output-on-failure -j 2
