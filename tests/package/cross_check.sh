#!/bin/sh
# Unpacks the jar's package and another processor's native one into an
# empty root and runs TillCheck.java there in that processor's Java VM under
# qemu-user, as the user nobody, without emulated printers (umockdev's
# preload exists for the host's processor only): the packaged libraries load
# from the root's copy of the folder that VM searches by default, nothing is
# extracted from the jar, and opening devices that are not there fails as it
# should.
# usage: cross_check.sh JAVA.deb JNI.deb QEMU JAVA JAVAC
set -eu
java_deb=$1 deb=$2 qemu=$3 java=$4 javac=$5
here=$(cd "$(dirname "$0")" && pwd)
. "$here/unpacked_root.sh"
unpack "$java_deb" "$deb"
jni=$root$(jni_folder "$qemu" "$java")
tmp=$work/tmp
user_tmp "$tmp"
jar=$root/usr/share/java/vela-brevant.jar
# That processor's JRE has no compiler to run a source file with. Its VM runs
# interpreted: HotSpot's compiled code under qemu-user now and then trips
# the VM's own relocation check (an internal error in libjvm), and what this
# checks, the packaged libraries loading and failing as they should, needs
# no compiler.
"$javac" --release 17 -Xlint:all -Werror -cp "$jar" -d "$work/classes" "$here/TillCheck.java"
setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all \
  "$qemu" "$java" -Xint -Xcheck:jni -Djava.library.path="$jni" -Djava.io.tmpdir="$tmp" \
  -cp "$jar:$work/classes" TillCheck absent "$jni"
nothing_extracted "$tmp"
