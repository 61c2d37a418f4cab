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
. "$here/unpacked_root.sh"
tmp=$work/tmp
user_tmp "$tmp"
jar=$root/usr/share/java/vela-brevant.jar
# That processor's JRE has no compiler to run a source file with.
"$javac" --release 17 -Xlint:all -Werror -cp "$jar" -d "$work/classes" "$here/TillCheck.java"
setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all \
  "$qemu" "$java" -Xcheck:jni -Djava.library.path="$root/usr/lib/jni" -Djava.io.tmpdir="$tmp" \
  -cp "$jar:$work/classes" TillCheck absent "$root/usr/lib/jni"
nothing_extracted "$tmp"
