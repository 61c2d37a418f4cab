#!/bin/sh
# Builds the Debian package of one processor: that processor's three
# libraries in /usr/lib/jni (on the default library path of Debian's Java
# VMs), the jar in /usr/share/java (named with its version, as Debian's Java
# policy asks, and linked from the plain name), the USB printer's udev rule,
# the AppStream note of the hardware it serves and lintian's overrides.
# usage: build_deb.sh OUT.deb VERSION DEB_ARCH GLIBC MAINTAINER STRIP JAR RULES LIBRARY...
set -eu
out=$1 version=$2 arch=$3 glibc=$4 maintainer=$5 strip=$6 jar=$7 rules=$8
shift 8
here=$(cd "$(dirname "$0")" && pwd)
package=libvela-brevant-java
stage=$out.stage
rm -rf "$stage"
umask 022
doc=$stage/usr/share/doc/$package
mkdir -p "$stage/DEBIAN" "$stage/usr/lib/jni" "$stage/usr/share/java" "$stage/lib/udev/rules.d" \
  "$stage/usr/share/metainfo" "$stage/usr/share/lintian/overrides" "$doc"

for lib in "$@"; do
  # As dh_strip does: no debugging symbols, no compiler notes.
  "$strip" --strip-unneeded --remove-section=.comment --remove-section=.note \
    -o "$stage/usr/lib/jni/$(basename "$lib")" "$lib"
  chmod 644 "$stage/usr/lib/jni/$(basename "$lib")"
done
install -m 644 "$jar" "$stage/usr/share/java/vela-brevant-$version.jar"
ln -s "vela-brevant-$version.jar" "$stage/usr/share/java/vela-brevant.jar"
install -m 644 "$here/com.kelvora.brevant.metainfo.xml" "$stage/usr/share/metainfo/"
install -m 644 "$rules" "$stage/lib/udev/rules.d/60-vela-brevant.rules"
install -m 644 "$here/copyright" "$doc/copyright"
install -m 644 "$here/lintian-overrides" "$stage/usr/share/lintian/overrides/$package"

# Dates from SOURCE_DATE_EPOCH when set, so that a rebuild gives the same file.
when=${SOURCE_DATE_EPOCH:-$(date +%s)}
{
  echo "$package ($version) unstable; urgency=medium"
  echo
  echo "  * Release $version."
  echo
  echo " -- $maintainer  $(date -u -R -d "@$when")"
} >"$doc/changelog"
touch -d "@$when" "$doc/changelog"
gzip -9n "$doc/changelog"

size=$(du -k -s --apparent-size "$stage" | cut -f1)
cat >"$stage/DEBIAN/control" <<CONTROL
Package: $package
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $size
Depends: libc6 (>= $glibc), libusb-0.1-4
Section: java
Priority: optional
Description: receipt printer ports for Java (serial, USB, parallel)
 The com.kelvora.brevant port classes drive receipt printers on serial
 lines, USB and parallel ports. This package holds the classes
 (vela-brevant.jar), the native libraries for this processor in
 /usr/lib/jni, where Java finds them by default, and a udev rule that lets
 the user at the seat and the group lp open the USB printer.
CONTROL
(cd "$stage" && find usr lib -type f | LC_ALL=C sort | xargs md5sum) >"$stage/DEBIAN/md5sums"
chmod 644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
find "$stage" -type d -exec chmod 755 {} +

SOURCE_DATE_EPOCH=$when dpkg-deb --root-owner-group -Zxz --build "$stage" "$out.part" >/dev/null
mv "$out.part" "$out"
rm -rf "$stage"
