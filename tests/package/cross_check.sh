#!/bin/sh
# Unpacks another processor's package into an empty root and runs
# TillCheck.java there in that processor's Java VM under qemu-user, as the
# user nobody, without emulated printers (umockdev's preload exists for the
# host's processor only): the packaged libraries load from the root's
# /usr/lib/jni, nothing is extracted from the jar, and opening devices that
# are not there fails as it should.
# usage: cross_check.sh PACKAGE.deb QEMU JAVA JAVAC
set -eu
deb=$1 qemu=$2 java=$3 javac=$4
here=$(cd "$(dirname "$0")" && pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: running the till as another user needs root"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
root=$work/root tmp=$work/tmp
mkdir "$root" "$tmp"
chown nobody:nogroup "$tmp"
dpkg-deb -x "$deb" "$root"
jar=$root/usr/share/java/vela-brevant.jar
# That processor's JRE has no compiler to run a source file with.
"$javac" --release 17 -Xlint:all -Werror -cp "$jar" -d "$work/classes" "$here/TillCheck.java"
setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all \
  "$qemu" "$java" -Xcheck:jni -Djava.library.path="$root/usr/lib/jni" -Djava.io.tmpdir="$tmp" \
  -cp "$jar:$work/classes" TillCheck absent "$root/usr/lib/jni"
if [ -n "$(ls -A "$tmp")" ]; then
  echo "FAILED: something was extracted into the temporary folder:"
  ls -lR "$tmp"
  exit 1
fi
