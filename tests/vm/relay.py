"""In the guest: the control socket the tests connect to (PRINTER_SIM_SOCKET),
its lines carried to the host's printers over the virtio serial port. A
command that plugs or unplugs a printer, or changes a serial printer's
modem lines, is answered once the guest's kernel has seen it happen, as the
emulated bus does at once; claims are read from the kernel's own records.
A serial printer is a USB serial line (/dev/ttyACM*, or a link of the name
the test asked for); its line settings and input count are the guest's
tty's, read here, and it is unplugged when the connection that asked for
it closes. Signals go to the guest's threads from here.

usage: relay.py SOCKET (prints "ready" when it listens)"""
import fcntl
import glob
import os
import socketserver
import struct
import sys
import termios
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../printer_sim/python"))
from printer_sim import line_settings  # noqa: E402
from printer_sim.signals import SignalCommands  # noqa: E402

DEVICES = "/sys/bus/usb/devices/"
MODEM_LINES = 0x100 | 0x040 | 0x080  # DSR, DCD, RI: what a serial-state notification carries
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


def udev_done(node):
    """udevd has applied its rules to the device node: it records a device
    in its database once it has (udevadm settle refuses to run in the
    guest's chroot). True at once where no udevd runs."""
    if not udevd_runs():
        return True
    rdev = os.stat(node).st_rdev
    return os.path.exists("/run/udev/data/c%d:%d" % (os.major(rdev), os.minor(rdev)))


def usb_node(path):
    return "/dev/bus/usb/%03d/%03d" % (int(open(DEVICES + path + "/busnum").read()), devnum(path))


def tty_of(port):
    """The node of the USB serial line on that port, once the kernel made it."""
    found = glob.glob(DEVICES + port + ":1.0/tty/tty*")
    return "/dev/" + os.path.basename(found[0]) if found and os.path.exists(
        "/dev/" + os.path.basename(found[0])) else None


def on_tty(node, work):
    """work(fd) on a descriptor of its own: the tests' ports are not touched."""
    fd = os.open(node, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        return work(fd)
    finally:
        os.close(fd)


def modem_lines_are(node, lines):
    """The tty reports the printer's DSR, DCD and RI as `lines` has them."""
    def agree(fd):
        got = struct.unpack("i", fcntl.ioctl(fd, termios.TIOCMGET, b"\0\0\0\0"))[0]
        return got & MODEM_LINES == lines & MODEM_LINES
    return lambda: on_tty(node, agree)


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
        self.lines = {}  # a serial printer's path in the guest -> its USB port
        self.signals = SignalCommands()

    def host(self, line):
        with self.lock:
            self.out.write((line + "\n").encode())
            return self.inp.readline().decode().strip()

    def handle(self, line, owned):
        words = line.split()
        if words[:1] == ["usb.claims"]:
            return "ok %d" % claims(words[1])
        if words[0].startswith("signals."):
            reply = getattr(self.signals, "cmd_" + words[0][8:])(*words[1:])
            return "ok" if reply is None else "ok %s" % reply
        if words[0].startswith("serial."):
            try:
                return self.serial(words, owned)
            except (OSError, ValueError, IndexError) as e:
                return "err %s: %s" % (type(e).__name__, e)
        before = set(os.listdir(DEVICES)) if words[:1] == ["usb.unplug_all"] else set()
        reply = self.host(line)
        if not reply.startswith("ok"):
            return reply
        late = None
        if words[0] == "usb.add":
            path = reply.split()[1]
            late = (wait(lambda: present(path, self.numbers.get(path)), "the new printer " + path)
                    or wait(lambda: udev_done(usb_node(path)), "udevd finish with " + path))
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
                    or wait(lambda: udev_done(usb_node(path)), "udevd finish with " + path))
            self.numbers[path] = devnum(path)
            reply = "ok"
        elif words[0] == "usb.unplug_all":
            ports = [d for d in before if d.startswith("1-") and ":" not in d
                     and d not in self.lines.values()]
            late = wait(lambda: not any(os.path.exists(DEVICES + d) for d in ports), "the printers leave")
        return late or reply


    # Serial printers

    def serial(self, words, owned):
        command, path = words[0][7:], words[1] if len(words) > 1 else None
        if command == "add":
            return self.add_line(words, owned)
        if path not in self.lines:
            return "err no serial line " + str(path)
        port = self.lines[path]
        local = {
            "termios": line_settings.words,
            "set_iflag": lambda fd: line_settings.change(fd, set_iflag=int(words[2], 0)),
            "clear_cflag": lambda fd: line_settings.change(fd, clear_cflag=int(words[2], 0)),
            "set_wake": lambda fd: line_settings.change(fd, wake=(int(words[2]), int(words[3]))),
        }
        if command in local:
            reply = on_tty(path, local[command])
            return "ok" if reply is None else "ok " + reply
        if command == "await_queued":
            count = int(words[2])
            late = wait(lambda: on_tty(path, line_settings.queued) >= count,
                        "%d bytes queued on %s" % (count, path))
            return late or "ok %d" % on_tty(path, line_settings.queued)
        reply = self.host(" ".join([words[0], port] + words[2:]))
        if not reply.startswith("ok"):
            return reply
        if command == "lines":
            return wait(modem_lines_are(path, int(words[2], 0)), "the modem lines of " + path) or reply
        if command == "unplug":
            return wait(lambda: not os.path.exists(DEVICES + port), "%s leave" % path) or reply
        return reply

    def add_line(self, words, owned):
        """serial.add plain | modem NAME: a USB serial line, at its own node
        or at /dev/NAME, its modem lines known to the tty"""
        reply = self.host("serial.add acm")
        if not reply.startswith("ok"):
            return reply
        port = reply.split()[1]
        late = wait(lambda: tty_of(port), "the serial line on " + port)
        if late:
            return late
        node = tty_of(port)
        # The device tells DSR once the tty listens: one open primes it.
        late = (wait(lambda: udev_done(node), "udevd finish with " + node)
                or wait(modem_lines_are(node, 0x100), "the modem lines of " + node))
        if late:
            return late
        path = node
        if words[1] == "modem":
            path = "/dev/" + words[2]
            if os.path.lexists(path):
                os.unlink(path)
            os.symlink(os.path.basename(node), path)
        self.lines[path] = port
        owned.append(path)
        return "ok " + path

    def remove_lines(self, owned):
        for path in owned:
            port = self.lines.pop(path)
            self.host("serial.remove " + port)
            wait(lambda: not os.path.exists(DEVICES + port), port + " leave")
            if os.path.islink(path):
                os.unlink(path)


def main(argv):
    relay = Relay()

    class Handler(socketserver.StreamRequestHandler):
        def handle(self):
            owned = []  # the serial lines this connection asked for
            try:
                for raw in self.rfile:
                    self.wfile.write((relay.handle(raw.decode().strip(), owned) + "\n").encode())
                    self.wfile.flush()
            finally:
                relay.remove_lines(owned)

    server = socketserver.ThreadingUnixStreamServer(argv[0], Handler)
    server.daemon_threads = True
    os.chmod(argv[0], 0o666)
    print("ready", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main(sys.argv[1:])
