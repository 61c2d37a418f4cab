"""A serial printer behind a USB CDC-ACM interface, as USB receipt printers
and USB serial adapters present themselves: the guest's kernel binds its
cdc-acm driver and the library reaches the printer through /dev/ttyACM*.
The printer is serial_printer.py's, on a pty of this process; the device
carries the bytes between that pty and the bulk endpoints, reports the
printer's DSR and DCD as serial-state notifications and hands the DTR and
RTS of the guest's control-line requests to the printer."""
import collections
import os
import select
import struct
import threading
import time
import tty

from .serial_commands import SerialCommands
from .serial_printer import TIOCM_DSR, TIOCM_DTR, TIOCM_RTS, SerialPrinter, SerialPrinters

TIOCM_CAR, TIOCM_RNG = 0x040, 0x080
NOTIFY_EP, IN_EP, PACKET = 0x83, 0x81, 64  # OUT is 0x02
SET_LINE_CODING, GET_LINE_CODING, SET_CONTROL_LINE_STATE, SEND_BREAK = 0x20, 0x21, 0x22, 0x23
ARRIVAL_S = 10.0  # how long a byte may take through this process's own pty
NOTICE_S = 0.2  # a notification's head start: 200 polls of its endpoint

# Device, configuration: a communications interface (header, call
# management, ACM with line requests and serial state, union) with its
# notification endpoint, and a data interface with the bulk pair.
DESCRIPTORS = bytes.fromhex(
    "1201000202000040" "3c0f" "1000" "0001" "000000" "01"
    "090243000201008032"
    "090400000102020100" "0524001001" "0524010001" "04240202" "0524060001" "07058303100001"
    "09040100020a000000" "07058102400000" "07050202400000")


def serial_state(lines):
    """The notification's two bytes for the printer's modem lines."""
    return ((1 if lines & TIOCM_CAR else 0) | (2 if lines & TIOCM_DSR else 0)
            | (8 if lines & TIOCM_RNG else 0))


class UsbSerialLine:
    """The device model of one line for a usbredir port (RedirPort)."""

    def __init__(self):
        master, line = os.openpty()
        tty.setraw(line)  # bytes cross this pty as they are
        self.line = line
        self.printer = SerialPrinter(master, os.ttyname(line))
        self.printer.host_lines = 0  # nothing has opened the line yet
        self.lock = threading.RLock()
        self.moved = threading.Condition(self.lock)
        self.port = None
        self.ins = collections.deque()  # bulk IN packets the guest keeps waiting
        self.outs = collections.deque()  # (packet id, bytes) not yet on the pty
        self.written = 0  # bytes put on the pty over the line's life
        self.notifying = False  # the guest's controller polls the notification endpoint
        self.coding = struct.pack("<IBBB", 9600, 0, 0, 8)
        self.gone = False
        for work in (self._to_guest, self._to_printer):
            threading.Thread(target=work, daemon=True).start()

    # RedirPort's side

    def attached(self, port):
        """Plugged in, or back in: what the old device had in flight is gone."""
        with self.lock:
            self.port = port
            self.ins.clear()
            self.outs.clear()
            self.notifying = False

    def read_in(self, _ep, _length):
        return "hold", None

    def write_out(self, _ep, _data):
        return "hold", None

    def held(self, packet_id, ep, data):
        with self.lock:
            if ep == IN_EP:
                self.ins.append(packet_id)
            else:
                self.outs.append((packet_id, data))
            self.moved.notify_all()

    def class_request(self, rtype, req, value, _index, data):
        """The class's requests: the answer's bytes, or None to stall."""
        p = self.printer
        if rtype == 0x21 and req == SET_CONTROL_LINE_STATE:
            with p.lock:
                p.host_lines = (TIOCM_DTR if value & 1 else 0) | (TIOCM_RTS if value & 2 else 0)
                p.events.append((p.now(), "mset", p.host_lines))
            return b""
        if rtype == 0x21 and req == SET_LINE_CODING and len(data) == 7:
            self.coding = bytes(data)
            return b""
        if rtype == 0xA1 and req == GET_LINE_CODING:
            return self.coding
        if rtype == 0x21 and req == SEND_BREAK:
            return b""
        return None

    def interrupt_started(self, ep):
        if ep == NOTIFY_EP:
            self.notifying = True
            self.notify()

    def clear_halt(self, _endpoint):
        pass

    def control(self, *_request):
        return None, b""  # no vendor requests: answered empty

    # The printer's side

    def notify(self):
        """Tells the guest the printer's modem lines, once it listens."""
        with self.lock:
            if self.port is not None and self.notifying:
                state = serial_state(self.printer.printer_lines)
                self.port.interrupt(NOTIFY_EP, bytes([0xA1, 0x20, 0, 0, 0, 0, 2, 0, state, 0]))

    def _to_guest(self):
        """The printer's bytes, into the bulk IN packets the guest waits with."""
        while not self.gone:
            with self.lock:
                while not self.ins and not self.gone:
                    self.moved.wait()
            if not select.select([self.line], [], [], 0.1)[0]:
                continue
            try:
                data = os.read(self.line, PACKET)
            except OSError:
                return
            with self.lock:
                # A packet the guest cancelled meanwhile is gone: the next one.
                while data and self.ins:
                    if self.port.complete(self.ins.popleft(), data):
                        data = b""
                # Bytes left here found the line unplugged: lost, as on the wire.

    def _to_printer(self):
        """The guest's bytes, onto the printer's pty; each packet is answered
        once the printer has them, and a DSR fall they cause is told first."""
        while not self.gone:
            with self.lock:
                while not self.outs and not self.gone:
                    self.moved.wait()
                if self.gone:
                    return
                packet_id, data = self.outs.popleft()
            put = 0
            while put < len(data):  # blocks while the printer does not read
                put += os.write(self.line, data[put:])
            self.written += len(data)
            p = self.printer
            end = time.monotonic() + ARRIVAL_S
            while not p.stalled and time.monotonic() < end:
                p.drain()
                if p.total >= self.written:
                    break
                time.sleep(0.002)
            with p.lock:
                drop = (p.dsr_drop_at is not None and p.total >= p.dsr_drop_at
                        and p.printer_lines & TIOCM_DSR)
                if drop:
                    p.printer_lines &= ~TIOCM_DSR
            if drop:
                # A printer that reports itself busy before it acknowledges the
                # bytes that made it so: the guest's controller fetches the
                # notification at its next poll of the endpoint (bInterval 1
                # ms), the acknowledgement would reach it at once.
                self.notify()
                time.sleep(NOTICE_S)
            with self.lock:
                if self.port is not None:
                    self.port.complete(packet_id, b"", len(data))

    def close(self):
        with self.lock:
            self.gone = True
            self.moved.notify_all()


class UsbSerialCommands(SerialCommands):
    """The serial.* commands for lines on the guest's USB ports, beside the
    printers of RedirUsbCommands; paths are the ports (1-1, ...). What
    never crosses the wire (the host's ioctls, its termios) is refused."""

    def __init__(self, usb):
        self.usb = usb
        self.printers = SerialPrinters(None)  # only its pump, which reads every printer's pty
        self.lines = {}

    def cmd_add(self, *_kind):
        """serial.add -> the port of a new line (the guest names it)"""
        line = UsbSerialLine()
        path = self.usb.plug_other(line, DESCRIPTORS)
        self.lines[path] = line
        self.printers.by_path[path] = line.printer
        return path

    def cmd_remove(self, path):
        """unplugs the line and forgets it"""
        self.usb.unplug_other(path)
        self.lines.pop(path).close()
        # Its pty stays open: the pump may still hold the numbers.
        with self.printers.pump_lock:
            del self.printers.by_path[path]

    def cmd_unplug(self, path):
        self.usb.unplug_other(path, forget=False)

    def cmd_lines(self, path, value):
        super().cmd_lines(path, value)
        self.lines[path].notify()

    def cmd_line_coding(self, path):
        """the line coding the guest's driver sent last"""
        return "%d %d %d %d" % struct.unpack("<IBBB", self.lines[path].coding)

    def _unseen(self, *_args):
        raise RuntimeError("unseen: the guest's ioctls and line settings never cross the wire")

    cmd_fail = cmd_looks = cmd_feed_on_look = cmd_wake_settings = _unseen
    cmd_termios = cmd_set_iflag = cmd_set_wake = cmd_clear_cflag = cmd_await_queued = _unseen
    cmd_hold_until_full = cmd_was_full = cmd_requests = _unseen
