#!/bin/sh
# Unpacks a Debian package into an empty root, as dpkg would install it, and
# runs TillCheck.java there as the user nobody against emulated printers:
# once in the groups dialout and lp (the ports open, send and receive), once
# in neither (the library's open failures). The USB node gets the group and
# mode the package's udev rule gives it. java.library.path is the packaged
# /usr/lib/jni; the packaged jar is all there is on the class path, or, for
# the second run, on the module path (as the automatic module
# com.kelvora.brevant).
# usage: till_check.sh PACKAGE.deb JAVA PRINTER_SIM_PYTHONPATH
set -eu
deb=$1 java=$2 sim=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/unpacked_root.sh"
cp "$here/TillCheck.java" "$work/"
rule=$root/lib/udev/rules.d/60-vela-brevant.rules
group=$(sed -n 's/.*GROUP="\([^"]*\)".*/\1/p' "$rule")
mode=$(sed -n 's/.*MODE="\([0-7]*\)".*/\1/p' "$rule")

status=0
for who in member outsider; do
  tmp=$work/tmp-$who
  user_tmp "$tmp"
  groups=--clear-groups
  path="--module-path $root/usr/share/java/vela-brevant.jar --add-modules com.kelvora.brevant"
  if [ $who = member ]; then
    groups=--groups=dialout,lp
    path="-cp $root/usr/share/java/vela-brevant.jar"
  fi
  echo "== as nobody, $who of dialout and lp"
  if ! env PYTHONPATH="$sim" /usr/bin/python3 -m printer_sim.run --shared --check-jni -- \
      setpriv --reuid=nobody --regid=nogroup "$groups" --inh-caps=-all \
      "$java" -Xcheck:jni -Djava.library.path="$root/usr/lib/jni" -Djava.io.tmpdir="$tmp" \
      $path "$work/TillCheck.java" \
      $who "$root/usr/lib/jni" "$group" "$mode"; then
    status=1
  fi
  nothing_extracted "$tmp" || status=1
done
exit $status
