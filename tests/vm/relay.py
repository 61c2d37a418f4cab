"""In the guest: the control socket the tests connect to (PRINTER_SIM_SOCKET),
its lines carried to the host's printers over the virtio serial port. A
command that plugs or unplugs a printer is answered once the guest's kernel
has seen it happen, as the emulated bus does at once; claims are read from
the kernel's own records.

usage: relay.py SOCKET (prints "ready" when it listens)"""
import glob
import os
import socketserver
import sys
import threading
import time

DEVICES = "/sys/bus/usb/devices/"
WAIT_S = 20  # enumeration under TCG takes about half a second


def port_device():
    for name in glob.glob("/sys/class/virtio-ports/*/name"):
        if open(name).read().strip() == "printer-sim":
            return "/dev/" + name.split("/")[-2]
    raise SystemExit("relay: no printer-sim port")


def devnum(path):
    try:
        return int(open(DEVICES + path + "/devnum").read())
    except OSError:
        return None


def present(path, not_number=None):
    """The device is enumerated (under a number other than not_number),
    configured, and its usbfs node is there."""
    try:
        bus = int(open(DEVICES + path + "/busnum").read())
        dev = int(open(DEVICES + path + "/devnum").read())
        configured = open(DEVICES + path + "/bConfigurationValue").read().strip()
    except OSError:
        return False
    return (dev != not_number and bool(configured)
            and os.path.exists("/dev/bus/usb/%03d/%03d" % (bus, dev)))


def wait(check, what):
    deadline = time.monotonic() + WAIT_S
    while not check():
        if time.monotonic() > deadline:
            return "err the guest's kernel did not see " + what
        time.sleep(0.02)
    return None


def udevd_runs():
    for comm in glob.glob("/proc/[0-9]*/comm"):
        try:
            if open(comm).read().strip() == "systemd-udevd":
                return True
        except OSError:
            pass  # gone meanwhile
    return False


def udev_done(path):
    """udevd has applied its rules to the device's node: it records a
    device in its database once it has (udevadm settle refuses to run in
    the guest's chroot). True at once where no udevd runs."""
    if not udevd_runs():
        return True
    minor = (int(open(DEVICES + path + "/busnum").read()) - 1) * 128 + devnum(path) - 1
    return os.path.exists("/run/udev/data/c189:%d" % minor)


def claims(path):
    """Interfaces of the device that usbfs holds for a program."""
    return sum(os.path.basename(os.path.realpath(d + "/driver")) == "usbfs"
               for d in glob.glob(DEVICES + path + ":*") if os.path.exists(d + "/driver"))


class Relay:
    def __init__(self):
        fd = os.open(port_device(), os.O_RDWR)
        self.out = os.fdopen(fd, "wb", buffering=0)
        self.inp = os.fdopen(os.dup(fd), "rb")
        self.lock = threading.Lock()
        self.numbers = {}  # path -> the device number the kernel gave it last

    def host(self, line):
        with self.lock:
            self.out.write((line + "\n").encode())
            return self.inp.readline().decode().strip()

    def handle(self, line):
        words = line.split()
        if words[:1] == ["usb.claims"]:
            return "ok %d" % claims(words[1])
        before = set(os.listdir(DEVICES)) if words[:1] == ["usb.unplug_all"] else set()
        reply = self.host(line)
        if not reply.startswith("ok"):
            return reply
        late = None
        if words[0] == "usb.add":
            path = reply.split()[1]
            late = (wait(lambda: present(path, self.numbers.get(path)), "the new printer " + path)
                    or wait(lambda: udev_done(path), "udevd finish with " + path))
            self.numbers[path] = devnum(path)
            node = "/dev/bus/usb/001/%03d" % (self.numbers[path] or 0)
            if os.path.exists(node):  # what udev made of it, for the log
                st = os.stat(node)
                print("%s %s mode %o group %d" % (path, node, st.st_mode & 0o777, st.st_gid), flush=True)
        elif words[0] in ("usb.unplugged", "usb.gone") and words[2] == "1":
            late = wait(lambda: not present(words[1]), "printer %s leave" % words[1])
        elif words[0] in ("usb.unplugged", "usb.gone") and reply == "ok replugged":
            # It may have left during a call just now: wait for its new number.
            path = words[1]
            late = (wait(lambda: present(path, self.numbers.get(path)), "printer %s return" % path)
                    or wait(lambda: udev_done(path), "udevd finish with " + path))
            self.numbers[path] = devnum(path)
            reply = "ok"
        elif words[0] == "usb.unplug_all":
            ports = [d for d in before if d.startswith("1-") and ":" not in d]
            late = wait(lambda: not any(os.path.exists(DEVICES + d) for d in ports), "the printers leave")
        return late or reply


def main(argv):
    relay = Relay()

    class Handler(socketserver.StreamRequestHandler):
        def handle(self):
            for raw in self.rfile:
                self.wfile.write((relay.handle(raw.decode().strip()) + "\n").encode())
                self.wfile.flush()

    server = socketserver.ThreadingUnixStreamServer(argv[0], Handler)
    server.daemon_threads = True
    os.chmod(argv[0], 0o666)
    print("ready", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main(sys.argv[1:])
