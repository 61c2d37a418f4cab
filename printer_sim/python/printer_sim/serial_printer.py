"""A serial receipt printer: the far end of a pty. It records what the host
sends, answers ENQ and EOT, owns DSR and CTS and watches DTR and RTS."""
import errno
import os
import select
import struct
import threading
import time

from .testbed import pass_through, read_arg

TIOCMGET = 0x5415
TIOCMSET = 0x5418
TIOCMBIS = 0x5416
TIOCMBIC = 0x5417
FIONREAD = 0x541B
TIOCM_DTR = 0x002
TIOCM_RTS = 0x004
TIOCM_CTS = 0x020
TIOCM_DSR = 0x100
HOST_LINES = TIOCM_DTR | TIOCM_RTS
ENQ, EOT = 0x05, 0x04


class SerialPrinter:
    def __init__(self, master_fd, slave_path):
        self.master = master_fd
        self.path = slave_path
        os.set_blocking(self.master, False)
        # The master reads EIO while no slave is open, so hold one.
        self.keep_slave = os.open(slave_path, os.O_RDWR | os.O_NOCTTY)
        self.lock = threading.RLock()
        self.received = bytearray()
        self.printer_lines = TIOCM_DSR | TIOCM_CTS
        self.host_lines = TIOCM_DTR | TIOCM_RTS
        self.replies = {}  # request byte -> reply byte
        self.reply_delay = 0.0  # seconds between a request and its reply
        self.events = []  # (seconds, kind, value)
        self.fail = set()  # ioctl names to fail with EIO
        self.mset_count = 0
        self.looks = 0  # the host's FIONREAD calls since the last count
        self.look_count = 0  # FIONREAD calls since the failures were set
        self.on_look_bytes = b""  # sent right after the host's next FIONREAD
        self.was_full = False  # the host filled the line while it was held
        self.stalled = False  # a printer that stops reading its input
        self.total = 0  # bytes received over the printer's life
        self.dsr_drop_at = None  # DSR falls once this many have arrived
        self.chunks = 0  # reads of the host's output, for request counts
        self.wake_settings = set()  # (VMIN, VTIME) of the line before each slow byte
        self.t0 = time.monotonic()

    def now(self):
        return time.monotonic() - self.t0

    def drain(self):
        with self.lock:
            while not self.stalled:
                try:
                    chunk = os.read(self.master, 65536)
                except (BlockingIOError, OSError):
                    return
                if not chunk:
                    return
                self.total += len(chunk)
                self.chunks += 1
                for b in chunk:
                    self.received.append(b)
                    if b in self.replies:
                        self.answer(self.replies[b])

    def on_write(self, _handler, client):
        # tcdrain on a pty does not wait for this end to read, and a flush
        # (the close's) throws away what the kernel has not handed on yet:
        # the printer takes the bytes before the write returns, so a drained
        # line holds nothing to lose, as a UART's does.
        res, err = client.execute()
        self.drain()
        client.complete(res, err)
        return True

    def answer(self, reply):
        if self.reply_delay <= 0:
            os.write(self.master, bytes([reply]))
            return
        threading.Timer(self.reply_delay, os.write, (self.master, bytes([reply]))).start()

    def take(self):
        with self.lock:
            self.drain()
            data = bytes(self.received)
            self.received.clear()
            return data

    def feed(self, data, interval=0.0):
        if interval <= 0:
            os.write(self.master, data)
            return

        def slowly():
            for b in data:
                time.sleep(interval)
                # What a host waiting for these bytes has left on its line.
                cc = [c if isinstance(c, int) else ord(c) for c in self.termios()[6][5:7]]
                self.wake_settings.add((cc[1], cc[0]))
                os.write(self.master, bytes([b]))
        threading.Thread(target=slowly, daemon=True).start()

    def termios(self):
        import termios
        return termios.tcgetattr(self.master)

    def hold_until_full(self, extra):
        """Stops reading until the host's side of the line has no room left,
        then reads again `extra` seconds later."""
        self.stalled = True

        def watch():
            while self.stalled:
                _, writable, _ = select.select([], [self.keep_slave], [], 0)
                if not writable:
                    self.was_full = True
                    time.sleep(extra)
                    self.stalled = False
                    return
                time.sleep(0.002)
        threading.Thread(target=watch, daemon=True).start()

    def on_look(self, client):
        self.look_count += 1
        self.looks += 1
        # "fionreadN" fails the Nth look and every later one.
        if any(f.startswith("fionread") and self.look_count >= int(f[8:] or 1)
               for f in self.fail):
            client.complete(-1, errno.EIO)
            return True
        pass_through(client)
        reply, self.on_look_bytes = self.on_look_bytes, b""
        if reply:
            os.write(self.master, reply)
        return True

    def on_ioctl(self, _handler, client):
        req = client.get_request()
        if req == FIONREAD:
            return self.on_look(client)
        if req == TIOCMGET:
            if "tiocmget" in self.fail:
                client.complete(-1, errno.EIO)
                return True
            with self.lock:
                self.drain()
                if self.dsr_drop_at is not None and self.total >= self.dsr_drop_at:
                    self.printer_lines &= ~TIOCM_DSR
                self.events.append((self.now(), "mget", len(self.received)))
            data, _ = read_arg(client, 4)
            data.update(0, struct.pack("<i", self.printer_lines | self.host_lines))
            client.complete(0, 0)
            return True
        if req in (TIOCMSET, TIOCMBIS, TIOCMBIC):
            self.mset_count += 1
            if "tiocmset%d" % self.mset_count in self.fail or "tiocmset" in self.fail:
                client.complete(-1, errno.EIO)
                return True
            _, raw = read_arg(client, 4)
            value = struct.unpack("<i", raw)[0]
            if req == TIOCMSET:
                self.host_lines = value & HOST_LINES
            elif req == TIOCMBIS:
                self.host_lines |= value & HOST_LINES
            else:
                self.host_lines &= ~value
            self.events.append((self.now(), "mset", self.host_lines))
            client.complete(0, 0)
            return True
        return pass_through(client)


class SerialPrinters:
    """Creates serial printers on demand: umockdev nodes with modem lines, or
    plain ptys, which answer TIOCMGET with ENOTTY as a real pty does."""

    def __init__(self, testbed):
        self.testbed = testbed
        self.by_path = {}
        self.owned = set()  # paths of the ptys made here, not by umockdev
        self.uarts = 3  # pnp0/00:04 holds the first
        self.stop = False
        self.pump_lock = threading.Lock()  # held while the pump reads the masters
        threading.Thread(target=self.pump, daemon=True).start()

    def add_modem(self, name, parent=None, uart_type="4"):
        """/dev/NAME with modem lines; by default on a UART the firmware
        announced, whose type the kernel names (4, a 16550A)"""
        if parent is None:
            self.uarts += 1
            parent = "/devices/pnp0/00:%02x" % self.uarts
        devpath = self.add_tty(parent, name, uart_type)
        master = self.testbed.master_fd(devpath)
        slave = os.readlink(self.testbed.node_path(devpath))
        printer = SerialPrinter(master, slave)
        self.testbed.attach(devpath, printer.on_ioctl, printer.on_write)
        self.by_path[devpath] = printer
        return devpath

    def add_adapter(self, name):
        """/dev/NAME with modem lines on a USB serial adapter (an FTDI with a
        serial number) in socket 2-1, with the link udev makes in
        /dev/serial/by-id"""
        usb = "/devices/pci0000:00/usb2/2-1"
        self.testbed.tb.add_from_string(
            "P: %s\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nA: idVendor=0403\nA: idProduct=6001\n"
            "A: manufacturer=FTDI\nA: product=FT232R USB UART\nA: serial=A10K3XYZ\n" % usb)
        devpath = self.add_modem(name, "%s/2-1:1.0/%s" % (usb, name), None)
        by_id = os.path.join(self.testbed.root, "dev/serial/by-id")
        os.makedirs(by_id, exist_ok=True)
        os.symlink("../../" + name, os.path.join(by_id, "usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0"))
        return devpath

    def add_tty(self, parent, name, uart_type):
        """/dev/NAME with its sysfs folder under PARENT, as the kernel makes
        it: a device link and, for a UART, its type (0: none answered)"""
        devpath = self.testbed.add_node(parent + "/tty/" + name, name, "tty",
                                        "" if uart_type is None else "A: type=%s\n" % uart_type)
        folder = "%s/sys%s/tty/%s" % (self.testbed.root, parent, name)
        os.symlink("../../../" + parent.rsplit("/", 1)[1], folder + "/device")
        return devpath

    def add_plain(self):
        master, slave = os.openpty()
        pts = os.ttyname(slave)
        os.close(slave)
        # Reached through a link outside /dev: the umockdev preload takes
        # every /dev path for its own and would refuse the pty's ioctls.
        # The suffix keeps one name from being the start of another (pty1,
        # pty10): the library finds ports by the start of their name.
        path = os.path.join(self.testbed.workdir, "pty%s.tty" % pts.rsplit("/", 1)[1])
        os.symlink(pts, path)
        printer = SerialPrinter(master, pts)
        self.by_path[path] = printer
        self.owned.add(path)
        return path

    def unplug(self, path):
        """The line goes away under the host: the pty's far end closes, as
        a USB serial line's tty is hung up when it is pulled out."""
        if path not in self.owned:
            raise RuntimeError("%s is umockdev's pty: only a plain line can be unplugged" % path)
        p = self.by_path[path]
        # Out of the pump's reach first: a closed number that a new pty
        # takes must not be read as this line's.
        with self.pump_lock, p.lock:
            if p.master >= 0:
                os.close(p.master)
                os.close(p.keep_slave)
                p.master = -1

    def get(self, path):
        return self.by_path[path]

    def pump(self):
        # Reads every master as bytes arrive, so ENQ and EOT get their reply
        # at once and the host's output never backs up.
        import select
        while not self.stop:
            with self.pump_lock:
                printers = [p for p in self.by_path.values() if p.master >= 0]
                if printers:
                    ready, _, _ = select.select([p.master for p in printers], [], [], 0.02)
                    for p in printers:
                        if p.master in ready:
                            p.drain()
            if not printers:
                time.sleep(0.01)
