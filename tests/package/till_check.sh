#!/bin/sh
# Installs the jar's package and the host processor's native one with
# `dpkg -i` into a throwaway root, a copy-on-write view of this machine's
# root (so dpkg checks their dependencies against what is installed here and
# runs their maintainer scripts chrooted there, where udev has left its
# control socket but does not run), in a mount namespace of its own that goes away
# with the check (where no mount namespace can be made, it unpacks them into
# an empty root instead). There it runs TillCheck.java as the user nobody against
# emulated printers: once in the groups dialout and lp (the ports open, send
# and receive), once in neither (the library's open failures). The USB node
# gets the group and mode the package's udev rule gives it. The libraries
# must load from the root's copy of the folder the Java VM searches by
# default; the packaged jar is all there is on the class path, or, for the
# second run, on the module path (as the automatic module
# com.kelvora.brevant). Last, purging both leaves none of their files.
# usage: till_check.sh JAVA.deb JNI.deb JAVA PRINTER_SIM_PYTHONPATH
set -eu
here=$(cd "$(dirname "$0")" && pwd)
case $1 in
  installed|unpacked) ;;
  *)
    . "$here/unpacked_root.sh"
    status=0
    if unshare --mount --propagation private true; then
      unshare --mount --propagation private sh "$0" installed "$work" "$@" || status=$?
    else
      echo "no mount namespace here: the packages are unpacked, not installed"
      sh "$0" unpacked "$work" "$@" || status=$?
    fi
    exit $status
esac
how=$1 work=$2 java_deb=$3 deb=$4 java=$5 sim=$6
. "$here/unpacked_root.sh"
if [ "$how" = installed ]; then
  # The view's changes live in a tmpfs: any file system can hold them.
  mkdir "$work/cow"
  mount -t tmpfs none "$work/cow"
  mkdir "$work/cow/upper" "$work/cow/work"
  mount -t overlay -o lowerdir=/,upperdir="$work/cow/upper",workdir="$work/cow/work" overlay "$root"
  # udev's control socket as a udev that died leaves it: the maintainer
  # scripts try udev, which does not answer.
  mkdir -p "$root/run/udev"
  /usr/bin/python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX, socket.SOCK_SEQPACKET).bind(sys.argv[1])' \
    "$root/run/udev/control"
  dpkg --root="$root" -i "$java_deb" "$deb"
  for package in libvela-brevant-java libvela-brevant-jni; do
    dpkg-query --root="$root" -W -f '${Package} ${Version}: ${Status}\n' "$package" | grep ' install ok installed$'
  done
else
  unpack "$java_deb" "$deb"
fi
jni=$root$(jni_folder "$java")
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
      "$java" -Xcheck:jni -Djava.library.path="$jni" -Djava.io.tmpdir="$tmp" \
      $path "$work/TillCheck.java" \
      $who "$jni" "$group" "$mode"; then
    status=1
  fi
  nothing_extracted "$tmp" || status=1
done

if [ "$how" = installed ]; then
  dpkg --root="$root" --purge libvela-brevant-java libvela-brevant-jni
  left=$(ls -d "$rule" "$jni"/libVelaCommPort* "$root/usr/share/java/vela-brevant"* 2>/dev/null || true)
  if [ -n "$left" ]; then
    echo "FAILED: left after purging: $left"
    status=1
  fi
fi
exit $status
