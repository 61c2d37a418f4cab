#!/bin/sh
# fetch-kernel.sh DIR: downloads (does not install) Debian's current amd64
# kernel package into DIR for the VM tier's guest. Without it the tier skips.
set -u
mkdir -p "$1" && cd "$1" || exit 0
pkg=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/.*Depends: \(linux-image-[0-9].*-amd64\)$/\1/p' | head -1)
if [ -z "$pkg" ]; then
  echo "apt knows no amd64 kernel package: the VM tier will skip"
elif ! ls "${pkg}"_*.deb >/dev/null 2>&1; then
  echo "fetching $pkg for the VM tier ..."
  apt-get download -q "$pkg" >/dev/null 2>&1 || echo "could not download $pkg: the VM tier will skip"
fi
exit 0
