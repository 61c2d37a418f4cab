"""Checks the package's udev rule with udev's own rule engine: `udevadm test`
runs an add event of emulated USB devices (sysfs and /dev/bus/usb from a
umockdev testbed) through every rule of the system plus ours. Each run has
a private mount namespace with fresh tmpfs over /run and /dev, so nothing
of this machine's udev state is needed (it may never have run) and nothing
is left behind: ours lies in /run/udev/rules.d, udev's database and /dev
links land in the tmpfs. The printer (0f3c:0002) gets group lp, mode 0660
and the uaccess tag, whose handler the seat rules then run; a device of
the same maker with another product, and another maker's device with the
same product number, get none of it; udev reports nothing else about our
file (a line it cannot parse would show there).

The package's postinst, run the same way, replays the events of the
printer alone (udevadm trigger writes "add" into its sysfs uevent file)
where udev's control socket exists (here one nobody answers, as that of a
udev that died), does nothing where it does not, and succeeds in both.

usage: check_udev_rule.py PACKAGE.deb"""
import grp
import os
import re
import shutil
import subprocess
import sys
import tempfile

import gi

gi.require_version("UMockdev", "1.0")
from gi.repository import UMockdev  # noqa: E402

RULE = "60-vela-brevant.rules"
# udev's control socket, left behind by a udev that no longer answers.
SOCKET = ("mkdir /run/udev && /usr/bin/python3 -c 'import socket; "
          "socket.socket(socket.AF_UNIX, socket.SOCK_SEQPACKET).bind(\"/run/udev/control\")' && ")
DEVICES = {"1-2": ("0f3c", "0002", True), "1-3": ("0f3c", "0003", False), "1-4": ("04b8", "0002", False)}


def add_usb_device(testbed, name, vendor, product):
    num = int(name.split("-")[1])
    testbed.add_from_string(
        "P: /devices/pci0000:00/usb1/%s\nN: bus/usb/001/%03d=12010002\n"
        "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=/dev/bus/usb/001/%03d\n"
        "E: BUSNUM=001\nE: DEVNUM=%03d\nE: MAJOR=189\nE: MINOR=%d\n"
        "A: idVendor=%s\nA: idProduct=%s\n" % (name, num, num, num, num, vendor, product))


def isolated(testbed_root, script, *args):
    """Runs script under the testbed with a tmpfs of its own over /run and /dev."""
    env = dict(os.environ, UMOCKDEV_DIR=testbed_root, LD_PRELOAD="libumockdev-preload.so.0")
    return subprocess.run(["unshare", "--mount", "--propagation", "private", "sh", "-c",
                           "mount -t tmpfs none /run && mount -t tmpfs none /dev && " + script, "sh", *args],
                          env=env, capture_output=True, text=True)


def udev_test(testbed_root, rule, device):
    return isolated(testbed_root, "mkdir -p /run/udev/rules.d && cp \"$1\" /run/udev/rules.d/%s && "
                    "exec udevadm test --action=add \"$2\"" % RULE, rule, "/sys/devices/pci0000:00/usb1/" + device)


def uevents(testbed_root):
    return {name: open(os.path.join(testbed_root, "sys/devices/pci0000:00/usb1", name, "uevent")).read()
            for name in DEVICES}


def main(deb):
    if os.geteuid() != 0:
        print("skipped: udevadm test needs root")
        return 77
    # A chroot whose root is not a mount point cannot make its mounts private
    # (EINVAL), and shared ones would reach the machine's own /run and /dev.
    private = subprocess.run(["unshare", "--mount", "--propagation", "private", "true"],
                             capture_output=True, text=True)
    if private.returncode != 0:
        print("skipped: no private mount namespace here (%s); in a chroot, bind-mount its root "
              "onto itself first" % private.stderr.strip())
        return 77
    failures = []
    lp = grp.getgrnam("lp").gr_gid
    work = tempfile.mkdtemp()
    testbed = UMockdev.Testbed.new()
    try:
        subprocess.run(["dpkg-deb", "-x", deb, work], check=True)
        subprocess.run(["dpkg-deb", "-e", deb, os.path.join(work, "DEBIAN")], check=True)
        rule = os.path.join(work, "lib/udev/rules.d", RULE)
        for name, (vendor, product, ours) in DEVICES.items():
            add_usb_device(testbed, name, vendor, product)
        verify = subprocess.run(["udevadm", "verify", rule], capture_output=True, text=True)
        if "Unknown command verb" in verify.stderr:
            print("udevadm verify: not in this udev (%s)" % subprocess.run(
                ["udevadm", "--version"], capture_output=True, text=True).stdout.strip())
        elif verify.returncode != 0:
            failures.append("udevadm verify: " + verify.stdout + verify.stderr)
        for name, (vendor, product, ours) in DEVICES.items():
            result = udev_test(testbed.get_root_dir(), rule, name)
            log = result.stdout + result.stderr
            about_rule = sorted(re.sub(r"^.*%s:\d+ " % RULE, "", line)
                                for line in log.splitlines() if RULE + ":" in line)
            uaccess = re.search(r"73-seat-late\.rules:\d+ RUN 'uaccess'", log) is not None
            print("%s:%s: %s%s" % (vendor, product, about_rule or "no action of ours",
                                   ", uaccess handler run" if uaccess else ""))
            expected = sorted(["GROUP %d" % lp, "MODE 0660"]) if ours else []
            if result.returncode != 0:
                failures.append("udevadm test %s failed:\n%s" % (name, log))
            if about_rule != expected:
                failures.append("%s:%s: udev says %s of our rule, expected %s"
                                % (vendor, product, about_rule, expected))
            if uaccess != ours:
                failures.append("%s:%s: the uaccess tag %s" % (vendor, product, "missing" if ours else "set"))
        root = testbed.get_root_dir()
        for udev in (True, False):
            before = uevents(root)
            result = isolated(root, "%sexec \"$1\" configure" % (SOCKET if udev else ""),
                              os.path.join(work, "DEBIAN/postinst"))
            replayed = sorted(n for n, text in uevents(root).items() if text != before[n])
            print("postinst, %s: exit %d, events replayed: %s %s" % (
                "udev's socket there" if udev else "no udev", result.returncode, replayed, result.stderr.strip()))
            if result.returncode != 0 or replayed != (["1-2"] if udev else []):
                failures.append("postinst %s udev's socket: exit %d, replayed %s"
                                % ("with" if udev else "without", result.returncode, replayed))
            if udev and not uevents(root)["1-2"].startswith("add"):
                failures.append("the printer's event was not replayed as an add")
    finally:
        shutil.rmtree(work, ignore_errors=True)
        del testbed  # removes its folder
    for f in failures:
        print("FAILED: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
