#!/bin/sh
# make-guest.sh DEB OUT: the guest's kernel (an ELF vmlinux, which boots
# some seconds sooner under TCG than the compressed image) and a busybox
# initramfs holding the few modules the guest needs, from Debian's kernel
# package DEB. Nothing is installed on the host.
set -eu
deb=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$out/unpack
rm -rf "$work" "$out/initrd"
mkdir -p "$work" "$out/initrd/bin" "$out/initrd/modules"

# Module order is load order: each one's dependencies come first.
modules="usb/common/usb-common usb/core/usbcore usb/host/xhci-hcd usb/host/xhci-pci
  virtio/virtio_ring virtio/virtio virtio/virtio_pci_legacy_dev virtio/virtio_pci_modern_dev
  virtio/virtio_pci netfs/netfs fscache/fscache 9p/9pnet 9p/9pnet_virtio 9p/9p overlayfs/overlay
  char/virtio_console usb/class/cdc-acm"
dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$work" --wildcards './boot/vmlinuz-*' \
  $(for m in $modules; do echo "./lib/modules/*/kernel/*/$m.ko"; done)
n=0
for m in $modules; do
  n=$((n + 1))
  cp "$(find "$work/lib/modules" -path "*/$m.ko")" "$out/initrd/modules/$(printf %02d $n)-$(basename "$m").ko"
done

# The kernel image is a boot stub with an xz stream inside: unpack it.
image=$(ls "$work"/boot/vmlinuz-*)
offset=$(python3 -c 'import sys; print(open(sys.argv[1], "rb").read().find(b"\xfd7zXZ\0"))' "$image")
tail -c +$((offset + 1)) "$image" | xz -dc > "$out/vmlinux" 2>/dev/null || true
head -c 4 "$out/vmlinux" | grep -q ELF || { echo "no ELF kernel inside $image" >&2; exit 1; }

cp /bin/busybox "$out/initrd/bin/busybox"
cp "$here/init" "$out/initrd/init"
chmod 755 "$out/initrd/init"
(cd "$out/initrd" && find . | cpio -o -H newc --quiet | gzip -1) > "$out/initrd.cpio.gz"
rm -rf "$work" "$out/initrd"
