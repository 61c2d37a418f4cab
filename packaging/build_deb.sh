#!/bin/sh
# Builds one of the Debian packages, laid out as Debian's Java policy asks:
#   java: libvela-brevant-java (Architecture: all), the jar in /usr/share/java
#         (named with its version and linked from the plain name); it depends
#         on the native libraries of the same version.
#   jni:  libvela-brevant-jni (one per processor, Multi-Arch: same), that
#         processor's three libraries in /usr/lib/TRIPLET/jni (searched by
#         Debian's Java VMs), the USB printer's udev rule, the AppStream note
#         of the hardware it serves, and the maintainer script that applies
#         the rule to a printer already plugged in. Everything outside
#         /usr/lib/TRIPLET is the same file on every processor, as dpkg
#         demands of packages installed for several processors at once.
# usage: build_deb.sh java OUT.deb VERSION DATE MAINTAINER JAR
#        build_deb.sh jni OUT.deb VERSION DATE MAINTAINER DEB_ARCH TRIPLET GLIBC STRIP RULES LIBRARY...
# DATE is the version's release date (YYYY-MM-DD).
set -eu
kind=$1 out=$2 version=$3 released=$4 maintainer=$5
shift 5
here=$(cd "$(dirname "$0")" && pwd)
package=libvela-brevant-$kind
stage=$out.stage
rm -rf "$stage"
umask 022
doc=$stage/usr/share/doc/$package
mkdir -p "$stage/DEBIAN" "$doc"

if [ "$kind" = java ]; then
  jar=$1
  mkdir -p "$stage/usr/share/java"
  install -m 644 "$jar" "$stage/usr/share/java/vela-brevant-$version.jar"
  ln -s "vela-brevant-$version.jar" "$stage/usr/share/java/vela-brevant.jar"
  arch=all
  fields="Depends: libvela-brevant-jni (= $version)"
  summary="receipt printer ports for Java (serial, USB, parallel)"
  about=" This package holds the classes (vela-brevant.jar); the native libraries
 come with libvela-brevant-jni."
else
  arch=$1 triplet=$2 glibc=$3 strip=$4 rules=$5
  shift 5
  jni=$stage/usr/lib/$triplet/jni
  mkdir -p "$jni" "$stage/lib/udev/rules.d" "$stage/usr/share/metainfo"
  for lib in "$@"; do
    # As dh_strip does: no debugging symbols, no compiler notes.
    "$strip" --strip-unneeded --remove-section=.comment --remove-section=.note \
      -o "$jni/$(basename "$lib")" "$lib"
    chmod 644 "$jni/$(basename "$lib")"
  done
  install -m 644 "$rules" "$stage/lib/udev/rules.d/60-vela-brevant.rules"
  install -m 644 "$here/com.kelvora.brevant.metainfo.xml" "$stage/usr/share/metainfo/"
  install -m 755 "$here/udev-retrigger.sh" "$stage/DEBIAN/postinst"
  install -m 755 "$here/udev-retrigger.sh" "$stage/DEBIAN/postrm"
  # Until this split, libvela-brevant-java of the same version held the rule
  # and the AppStream note: a till upgrading from it needs them taken over.
  fields="Multi-Arch: same
Depends: libc6 (>= $glibc), libusb-0.1-4
Replaces: libvela-brevant-java"
  summary="receipt printer ports for Java - native libraries"
  about=" This package holds the native libraries of the port classes in
 /usr/lib/<triplet>/jni, where Java finds them by default, and a udev rule
 that lets the user at the seat and the group lp open the USB printer."
fi
install -m 644 "$here/copyright" "$doc/copyright"

# The changelog's date is the release's, so that every build of a version
# gives the processors the same file; file times follow SOURCE_DATE_EPOCH
# when set, so that a rebuild gives the same package.
released=$(date -u -d "$released 12:00" +%s)
when=${SOURCE_DATE_EPOCH:-$released}
{
  echo "vela-brevant ($version) unstable; urgency=medium"
  echo
  echo "  * Release $version."
  echo
  echo " -- $maintainer  $(date -u -R -d "@$released")"
} >"$doc/changelog"
touch -d "@$released" "$doc/changelog"
gzip -9n "$doc/changelog"

size=$(du -k -s --apparent-size "$stage" | cut -f1)
cat >"$stage/DEBIAN/control" <<CONTROL
Package: $package
Source: vela-brevant
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $size
$fields
Section: java
Priority: optional
Description: $summary
 The com.kelvora.brevant port classes drive receipt printers on serial
 lines, USB and parallel ports.
$about
CONTROL
(cd "$stage" && find . -path ./DEBIAN -prune -o -type f -printf '%P\n' | LC_ALL=C sort | xargs md5sum) \
  >"$stage/DEBIAN/md5sums"
chmod 644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
find "$stage" -type d -exec chmod 755 {} +

SOURCE_DATE_EPOCH=$when dpkg-deb --root-owner-group -Zxz --build "$stage" "$out.part" >/dev/null
mv "$out.part" "$out"
rm -rf "$stage"
