"""Control commands of the serial printers."""
import termios
import time

from . import line_settings
from .serial_printer import SerialPrinters
from .testbed import format_events


def _hex(data):
    return data.hex() if data else "-"


def _bytes(text):
    return b"" if text == "-" else bytes.fromhex(text)


class SerialCommands:
    def __init__(self, testbed):
        self.printers = SerialPrinters(testbed)

    def cmd_add(self, kind, name=None):
        """serial.add modem NAME | serial.add adapter NAME (on a USB serial
        adapter) | serial.add plain | serial.add placeholder NAME (a ttyS
        name the 8250 driver made with no UART behind it) -> device path"""
        if kind == "placeholder":
            return self.printers.add_tty("/devices/platform/serial8250", name, "0")
        if kind == "adapter":
            return self.printers.add_adapter(name)
        return self.printers.add_modem(name) if kind == "modem" else self.printers.add_plain()

    def cmd_unplug(self, path):
        """the line goes away, as a USB serial line pulled out"""
        self.printers.unplug(path)

    def cmd_lines(self, path, value):
        """printer-owned modem lines (DSR 0x100, CTS 0x020)"""
        self.printers.get(path).printer_lines = int(value, 0)

    def cmd_reply(self, path, request, reply):
        p = self.printers.get(path)
        if reply == "none":
            p.replies.pop(int(request, 0), None)
        else:
            p.replies[int(request, 0)] = int(reply, 0)

    def cmd_reply_delay(self, path, ms):
        """the printer answers ENQ and EOT this many milliseconds late"""
        self.printers.get(path).reply_delay = int(ms) / 1000.0

    def cmd_take(self, path):
        return _hex(self.printers.get(path).take())

    def _take_when(self, path, timeout_ms, ready):
        """drains until ready(received) or the time is up, then takes everything"""
        p = self.printers.get(path)
        end = time.monotonic() + int(timeout_ms) / 1000.0
        while time.monotonic() < end:
            p.drain()
            if ready(p.received):
                break
            time.sleep(0.002)
        return _hex(p.take())

    def cmd_wait(self, path, count, timeout_ms):
        """waits until at least COUNT bytes were received, then takes them"""
        return self._take_when(path, timeout_ms, lambda got: len(got) >= int(count))

    def cmd_wait_byte(self, path, last, timeout_ms):
        """waits until the byte LAST was received, then takes everything"""
        return self._take_when(path, timeout_ms, lambda got: int(last) in got)

    def cmd_await_queued(self, path, count, timeout_ms):
        """waits until the host's side of the line holds COUNT unread bytes"""
        p = self.printers.get(path)
        end = time.monotonic() + int(timeout_ms) / 1000.0
        held = 0
        while time.monotonic() < end:
            held = line_settings.queued(p.keep_slave)
            if held >= int(count):
                return held
            time.sleep(0.002)
        raise TimeoutError("%d bytes queued, not %s" % (held, count))

    def cmd_feed(self, path, data, interval_ms="0"):
        self.printers.get(path).feed(_bytes(data), int(interval_ms) / 1000.0)

    def cmd_termios(self, path):
        return line_settings.words(self.printers.get(path).master)

    def cmd_line_coding(self, path):
        """RATE STOP PARITY DATA, as a USB serial line's SET_LINE_CODING
        carries them (stop 0: one bit, 2: two; parity 0 none, 1 odd, 2 even):
        what a UART puts on the wire with the line's settings"""
        _, _, cflag, _, _, ospeed, _ = self.printers.get(path).termios()
        rates = {getattr(termios, "B%d" % r): r for r in (1200, 2400, 4800, 9600, 19200, 38400)}
        parity = 0 if not cflag & termios.PARENB else 1 if cflag & termios.PARODD else 2
        data = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}[cflag & termios.CSIZE]
        return "%d %d %d %d" % (rates.get(ospeed, 0), 2 if cflag & termios.CSTOPB else 0, parity, data)

    def cmd_set_iflag(self, path, bits):
        """sets c_iflag bits on the line, as another program might have left it"""
        line_settings.change(self.printers.get(path).master, set_iflag=int(bits, 0))

    def cmd_set_wake(self, path, vmin, vtime):
        """sets VMIN and VTIME on the line, as a process killed mid-wait may leave them"""
        line_settings.change(self.printers.get(path).master, wake=(int(vmin), int(vtime)))

    def cmd_wake_settings(self, path):
        """VMIN:VTIME of the line before each byte of slow feeds, since the last call"""
        p = self.printers.get(path)
        seen, p.wake_settings = p.wake_settings, set()
        return " ".join("%d:%d" % s for s in sorted(seen)) or "-"

    def cmd_clear_cflag(self, path, bits):
        """clears c_cflag bits on the line"""
        line_settings.change(self.printers.get(path).master, clear_cflag=int(bits, 0))

    def cmd_events(self, path):
        """ioctl events since the last call: t_ms:kind:value, ..."""
        p = self.printers.get(path)
        events, p.events = p.events, []
        return format_events(events)

    def cmd_fail(self, path, *names):
        p = self.printers.get(path)
        p.fail = set(n for n in names if n != "none")
        p.mset_count = 0
        p.look_count = 0

    def cmd_looks(self, path):
        """the host's FIONREAD calls since the last count"""
        p = self.printers.get(path)
        looks, p.looks = p.looks, 0
        return looks

    def cmd_feed_on_look(self, path, data):
        """the printer sends these bytes right after the host's next FIONREAD"""
        self.printers.get(path).on_look_bytes = _bytes(data)

    def cmd_hold_until_full(self, path, ms):
        """stops reading until the line is full, then reads again MS later"""
        p = self.printers.get(path)
        p.was_full = False
        p.hold_until_full(int(ms) / 1000.0)

    def cmd_was_full(self, path):
        return 1 if self.printers.get(path).was_full else 0

    def cmd_requests(self):
        """modem ioctls and output reads of every printer since the last
        call; forgets their events"""
        count = 0
        for p in self.printers.by_path.values():
            with p.lock:
                count += len(p.events) + p.chunks
                p.events, p.chunks = [], 0
        return count

    def cmd_stall(self, path, on):
        self.printers.get(path).stalled = on == "1"

    def cmd_drop_dsr_after(self, path, count):
        p = self.printers.get(path)
        p.dsr_drop_at = p.total + int(count)

    def cmd_host_lines(self, path):
        return self.printers.get(path).host_lines
