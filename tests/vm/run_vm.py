"""Boots the guest once and runs a command in it beside emulated printers
plugged into its USB ports as real devices (printer_sim's usbredir front),
serial printers as USB serial lines (CDC-ACM). The guest's relay (relay.py)
carries the tests' control lines to this process over a virtio serial
port; the results share carries files out.

usage: python3 run_vm.py GUEST_DIR RESULTS_DIR -- COMMAND ...

Exits 77 (skip) with the reason in RESULTS_DIR/skipped when QEMU or the
guest's kernel cannot be had; otherwise with the guest command's status."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../printer_sim/python"))
from printer_sim.control import Control  # noqa: E402
from printer_sim.usbredir import RedirUsbCommands  # noqa: E402
from printer_sim.usb_serial_line import UsbSerialCommands  # noqa: E402

PORTS = 6  # a test's serial lines and printers together
QEMU = "qemu-system-x86_64"
BOOT_LIMIT_S = int(os.environ.get("VM_LIMIT_S", "600"))  # a hung guest is killed; a normal run takes about a minute


def skip(results, reason):
    with open(os.path.join(results, "skipped"), "w") as f:
        f.write(reason + "\n")
    print("vm tier skipped: " + reason)
    return 77


def main(argv):
    guest, results = argv[0], os.path.abspath(argv[1])
    command = argv[argv.index("--") + 1:]
    shutil.rmtree(results, ignore_errors=True)
    os.makedirs(results)
    kernel, initrd = os.path.join(guest, "vmlinux"), os.path.join(guest, "initrd.cpio.gz")
    if not shutil.which(QEMU):
        return skip(results, "%s is not installed (Debian package qemu-system-x86)" % QEMU)
    if not (os.path.exists(kernel) and os.path.exists(initrd)):
        return skip(results, "no guest kernel in %s: scripts/test.sh fetches Debian's kernel package" % guest)

    work = tempfile.mkdtemp(prefix="vm-tier-")
    try:
        sockets = [os.path.join(work, "usb%d" % i) for i in range(PORTS)]
        control = Control()
        usb = RedirUsbCommands(sockets)
        control.register("usb", usb)
        control.register("serial", UsbSerialCommands(usb))
        control_socket = os.path.join(work, "control")
        server = control.serve(control_socket)
        qemu = [QEMU, "-accel", "tcg", "-cpu", "max", "-machine", "q35", "-m", "1024", "-smp", "1",
                "-nographic", "-no-reboot", "-nodefaults", "-serial", "stdio", "-display", "none",
                "-monitor", "none", "-kernel", kernel, "-initrd", initrd,
                "-virtfs", "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap",
                "-virtfs", "local,path=%s,mount_tag=results,security_model=none" % results,
                "-device", "virtio-serial-pci",
                "-chardev", "socket,id=ctl,path=" + control_socket,
                "-device", "virtserialport,chardev=ctl,name=printer-sim",
                "-device", "qemu-xhci,id=xhci,p2=%d" % PORTS]
        for i, path in enumerate(sockets):
            qemu += ["-chardev", "socket,id=usbr%d,path=%s" % (i, path),
                     "-device", "usb-redir,chardev=usbr%d,bus=xhci.0,port=%d" % (i, i + 1)]
        qemu += ["-append", "console=ttyS0 quiet panic=-1 results=%s -- %s" % (results, " ".join(command))]
        t0 = time.monotonic()
        with open(os.path.join(results, "console.log"), "wb") as console:
            proc = subprocess.Popen(qemu, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT)
            out = b""
            try:
                out, _ = proc.communicate(timeout=BOOT_LIMIT_S)
            except subprocess.TimeoutExpired:
                proc.kill()
                out, _ = proc.communicate()
                out += b"\nvm tier: the guest did not power off in time\n"
            console.write(out)
        server.shutdown()
        text = out.decode(errors="replace")
        print(text)
        print("vm tier: guest ran %.1f s" % (time.monotonic() - t0))
        m = re.search(r"guest-exit: (\d+)", text)
        if not m:
            print("vm tier: the guest command did not finish")
            return 1
        return int(m.group(1))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
