#!/bin/sh
# postinst and postrm of libvela-brevant-jni: udev rereads its rules and
# replays the events of the printers already plugged in, so that they get
# (or lose) the rule's group and mode now rather than at their next plug.
# Where udev does not run (a chroot, a container: no control socket) there is
# nothing to do, and a udev that fails to answer must not fail the install.
set -e
case "$1" in
  configure|remove)
    if [ -S /run/udev/control ] && command -v udevadm >/dev/null; then
      udevadm control --reload-rules || true
      # An add event: udev gives a change event the rule's mode but would
      # not give back the default one after removal.
      udevadm trigger --action=add --subsystem-match=usb \
        --attr-match=idVendor=0f3c --attr-match=idProduct=0002 || true
    fi
    ;;
esac
exit 0
