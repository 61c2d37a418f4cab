"""A virtual receipt printer for people without hardware: it shows what a
point-of-sale program sends it, as text with every control byte named
(<ESC>, <GS>, <LF>, <1B> for bytes without a name), and answers as a
printer in the state asked for.

usage: virtual-printer serial [STATE...]
       virtual-printer serial|usb|parallel [STATE...] -- COMMAND...

serial without a command: a pty whose path any program opens through the
  serial library (settings with flow control none: a pty has no modem
  lines, so online status needs the next form).
with a command: COMMAND runs beside an emulated printer, under umockdev's
  preload: /dev/ttyS0 with modem lines (DSR follows online), /dev/parport0,
  or a USB printer 0F3C:0002 on bus 001. COMMAND's standard input is
  /dev/null: this program's own input changes the state.

STATE words, at the start or typed (then Enter) while it runs:
  online | offline   paper | paper-out   ok | error
  enq=0xNN | eot=0xNN   the serial printer's replies (default: built from
                        the state: 0x04 error, 0x08 paper out)
  status                shows the state;  quit  ends a serial printer
"""
import os
import select
import shutil
import subprocess
import sys
import tempfile
import threading
import time

from .parallel_printer import ParallelCommands
from .serial_printer import SerialPrinters
from .testbed import Testbed
from .usb_printer import UsbCommands

NAMES = ["NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS", "HT", "LF", "VT", "FF",
         "CR", "SO", "SI", "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM",
         "SUB", "ESC", "FS", "GS", "RS", "US"]
ENQ, EOT = 0x05, 0x04


def render(data):
    """The bytes as readable text: printable ASCII as it is, control bytes
    by name, other bytes in hex; a line feed also ends the line."""
    out = []
    for b in data:
        if 0x20 <= b < 0x7F:
            out.append(chr(b))
        elif b < 0x20:
            out.append("<%s>" % NAMES[b] + ("\n" if b == 0x0A else ""))
        else:
            out.append("<%02X>" % b)
    return "".join(out)


def usb_descriptors():
    """Device and configuration descriptors of the printer: one interface,
    bulk OUT 0x01 and bulk IN 0x82."""
    device = bytes([0x12, 1, 0, 2, 0, 0, 0, 64, 0x3C, 0x0F, 0x02, 0x00, 0, 1, 0, 0, 0, 1])
    interface = bytes([9, 4, 0, 0, 2, 7, 1, 2, 0])
    endpoints = bytes([7, 5, 0x01, 2, 64, 0, 0, 7, 5, 0x82, 2, 64, 0, 0])
    total = 9 + len(interface) + len(endpoints)
    config = bytes([9, 2, total & 0xFF, total >> 8, 1, 1, 0, 0xC0, 50])
    return (device + config + interface + endpoints).hex()


class State:
    def __init__(self):
        self.online, self.paper, self.ok = True, True, True
        self.enq = self.eot = None  # None: built from the state

    def apply(self, word):
        flags = {"online": ("online", True), "offline": ("online", False),
                 "paper": ("paper", True), "paper-out": ("paper", False),
                 "ok": ("ok", True), "error": ("ok", False)}
        if word in flags:
            setattr(self, *flags[word])
        elif word.startswith(("enq=", "eot=")):
            setattr(self, word[:3], int(word[4:], 0) & 0xFF)
        else:
            raise ValueError("unknown state word: " + word)

    def status_byte(self):
        """The parallel status lines, which the USB printer reports too."""
        return 0x80 | (0x08 if self.ok else 0) | (0x10 if self.online else 0) | \
            (0 if self.paper else 0x20)

    def reply(self, request):
        mine = self.enq if request == ENQ else self.eot
        if mine is not None:
            return mine
        return (0 if self.ok else 0x04) | (0 if self.paper else 0x08)

    def describe(self, serial):
        text = "%s, %s, %s" % ("online" if self.online else "offline",
                               "paper" if self.paper else "paper out",
                               "no error" if self.ok else "error")
        if serial:
            text += ", ENQ answer 0x%02X, EOT answer 0x%02X" % (self.reply(ENQ), self.reply(EOT))
        return text


class VirtualPrinter:
    def __init__(self, transport, workdir, with_command):
        self.transport = transport
        self.state = State()
        self.testbed = Testbed(workdir)
        self.lock = threading.Lock()
        if transport == "serial":
            self.serial = SerialPrinters(self.testbed)
            self.path = self.serial.add_modem("ttyS0") if with_command else self.serial.add_plain()
            self.printer = self.serial.get(self.path)
        elif transport == "parallel":
            self.commands = ParallelCommands(self.testbed)
            self.path = self.commands.cmd_add("parport0")
            self.printer = self.commands._get(self.path)
        else:
            self.commands = UsbCommands(self.testbed)
            self.path = self.commands.cmd_add(usb_descriptors())
            self.printer = self.commands._get(self.path)
        self.update()

    def update(self):
        s = self.state
        if self.transport == "serial":
            p = self.printer
            p.replies = {ENQ: s.reply(ENQ), EOT: s.reply(EOT)}
            p.printer_lines = 0x020 | (0x100 if s.online else 0)
        else:
            self.printer.status = s.status_byte()

    def change(self, words):
        with self.lock:
            for w in words:
                self.state.apply(w)
            self.update()
        show("state: " + self.state.describe(self.transport == "serial"))

    def take(self):
        if self.transport == "serial":
            return self.printer.take()
        p = self.printer
        with p.lock:
            data = bytes(p.received)
            p.received.clear()
        return data


def show(text):
    sys.stdout.write(text if text.endswith("\n") else text + "\n")
    sys.stdout.flush()


def watch(printer, stop):
    """Prints what the printer receives, as it arrives."""
    pending_line = False
    while not stop.is_set():
        data = printer.take()
        if data:
            text = render(data)
            sys.stdout.write(text)
            sys.stdout.flush()
            pending_line = not text.endswith("\n")
        elif pending_line:
            sys.stdout.write("\n")
            sys.stdout.flush()
            pending_line = False
        time.sleep(0.05)


def read_commands(printer, stop, quits):
    """State words typed on standard input; 'quit' (or the input's end)
    stops a printer that runs on its own (quits), and is ignored by one that
    runs beside a command."""
    while not stop.is_set():
        ready, _, _ = select.select([sys.stdin], [], [], 0.1)
        if not ready:
            continue
        line = sys.stdin.readline()
        if not line or line.strip() == "quit":
            if quits:
                stop.set()
            return
        words = line.split()
        try:
            if words == ["status"]:
                show("state: " + printer.state.describe(printer.transport == "serial"))
            elif words:
                printer.change(words)
        except ValueError as e:
            show(str(e))


def main(argv):
    if not argv or argv[0] not in ("serial", "usb", "parallel") or argv[0] in ("-h", "--help"):
        print(__doc__)
        return 2
    transport = argv[0]
    command = argv[argv.index("--") + 1:] if "--" in argv else []
    words = argv[1:argv.index("--")] if "--" in argv else argv[1:]
    if transport != "serial" and not command:
        print("a %s printer runs beside a command: virtual-printer %s -- COMMAND..." %
              (transport, transport))
        return 2
    workdir = tempfile.mkdtemp(prefix="virtual-printer-")
    printer = VirtualPrinter(transport, workdir, bool(command))
    stop = threading.Event()
    try:
        printer.change(words)
    except ValueError as e:
        print(e)
        return 2
    watcher = threading.Thread(target=watch, args=(printer, stop), daemon=True)
    watcher.start()
    threading.Thread(target=read_commands, args=(printer, stop, not command), daemon=True).start()
    code = 0
    try:
        if not command:
            show("serial printer ready at %s (open it with flow control none)" % printer.path)
            show("type state words to change it, quit to end")
            stop.wait()
        else:
            show("%s printer ready at %s; running %s" % (transport, printer.path, " ".join(command)))
            env = dict(os.environ, UMOCKDEV_DIR=printer.testbed.root,
                       LD_PRELOAD="libumockdev-preload.so.0")
            code = subprocess.run(command, env=env, stdin=subprocess.DEVNULL).returncode
    except KeyboardInterrupt:
        pass
    finally:
        stop.set()
        watcher.join()
        # What arrived after the watcher's last look is shown too.
        rest = printer.take()
        if rest:
            show(render(rest))
        # The testbed removes its own folder when it goes.
        shutil.rmtree(workdir, ignore_errors=True)
    return code


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
