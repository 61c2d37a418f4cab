#!/bin/sh
# Installs the Debian packages the build, the demo and the tests need.
set -eu
packages="cmake make g++ gcc binutils openjdk-17-jdk-headless junit5
  googletest libgtest-dev python3 python3-gi gir1.2-umockdev-1.0 umockdev
  libumockdev-dev libumockdev0 libusb-dev"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages:$missing (run as root to install them)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends $missing
