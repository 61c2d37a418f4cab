"""A parallel-port receipt printer behind an emulated ppdev node: status
lines, mode negotiation, compatibility-mode writes and nibble-mode reads,
each with the failures and timing a test asks for."""
import errno
import os
import struct
import threading
import time

import gi

gi.require_version("UMockdev", "1.0")
from gi.repository import UMockdev  # noqa: E402

from .testbed import count_and_forget, format_events, read_arg  # noqa: E402

PPCLAIM = 0x708B
PPRELEASE = 0x708C
PPNEGOT = 0x40047091
PPRSTATUS = 0x80017081
PPFCONTROL = 0x4002708E
MODE_COMPAT, MODE_NIBBLE = 0x100, 0
SELECT = 0x10


class ParallelPrinter(UMockdev.IoctlBase):
    def __init__(self):
        super().__init__()
        self.lock = threading.Lock()
        self.status = 0x18 | 0x80  # on line, no error, paper, not busy
        self.fail = set()  # claim, rstatus, fcontrol1, fcontrol2, compat, nibble
        self.accept = None  # bytes one write takes; None for all, 0 while busy
        self.offline_after = None  # Select falls once this many have arrived
        self.received = bytearray()
        self.total = 0
        self.nibbles = []  # what successive nibble-mode reads deliver
        self.claimed = 0
        self.mode = MODE_COMPAT
        self.fcontrols = 0
        self.events = []
        self.t0 = time.monotonic()

    def log(self, kind, value):
        self.events.append((time.monotonic() - self.t0, kind, value))

    def do_handle_ioctl(self, client):
        req = client.get_request()
        with self.lock:
            return self._ioctl(client, req)

    def _ioctl(self, client, req):
        if req == PPCLAIM:
            self.log("claim", 0)
            if "claim" in self.fail:
                client.complete(-1, errno.EBUSY)
            else:
                self.claimed += 1
                client.complete(0, 0)
        elif req == PPRELEASE:
            self.log("release", 0)
            self.claimed -= 1
            client.complete(0, 0)
        elif req == PPNEGOT:
            _, raw = read_arg(client, 4)
            mode = struct.unpack("<i", raw)[0]
            self.log("negot", mode)
            if ("compat" if mode == MODE_COMPAT else "nibble") in self.fail:
                client.complete(-1, errno.EIO)
            else:
                self.mode = mode
                client.complete(0, 0)
        elif req == PPRSTATUS:
            self.log("rstatus", self.status)
            if "rstatus" in self.fail:
                client.complete(-1, errno.EIO)
            else:
                data, _ = read_arg(client, 1)
                data.update(0, bytes([self.status]))
                client.complete(0, 0)
        elif req == PPFCONTROL:
            _, raw = read_arg(client, 2)
            self.fcontrols += 1
            self.log("fcontrol", raw[0] << 8 | raw[1])
            if "fcontrol%d" % self.fcontrols in self.fail:
                client.complete(-1, errno.EIO)
            else:
                client.complete(0, 0)
        else:
            self.log("ioctl?", req)
            client.complete(-1, errno.ENOTTY)
        return True

    def do_handle_write(self, client):
        with self.lock:
            data = bytes(client.get_arg().retrieve())
            take = len(data) if self.accept is None else min(self.accept, len(data))
            if self.offline_after is not None:
                take = min(take, max(0, self.offline_after - self.total))
            self.log("write", take)
            if take == 0 and data:
                client.complete(-1, errno.EAGAIN)
                return True
            self.received += data[:take]
            self.total += take
            if self.offline_after is not None and self.total >= self.offline_after:
                self.status &= ~SELECT
            client.complete(take, 0)
        return True

    def do_handle_read(self, client):
        with self.lock:
            arg = client.get_arg()
            wanted = arg.data_length1  # the size, without fetching the buffer
            chunk = self.nibbles.pop(0) if self.nibbles else b""
            if len(chunk) > wanted:
                self.nibbles.insert(0, chunk[wanted:])
                chunk = chunk[:wanted]
            self.log("read", wanted)
            if not chunk:
                client.complete(-1, errno.EAGAIN)
                return True
            arg.update(0, chunk)
            client.complete(len(chunk), 0)
        return True


class ParallelCommands:
    def __init__(self, testbed):
        self.testbed = testbed
        self.printers = {}

    def _get(self, path):
        return self.printers[path]

    def cmd_add(self, name):
        """parallel.add NAME -> /dev/NAME, an emulated ppdev node"""
        devpath = self.testbed.add_node("/devices/platform/parport_pc/" + name,
                                        name, "ppdev")
        printer = ParallelPrinter()
        self.testbed.attach_handler(devpath, printer)
        self.printers[devpath] = printer
        return devpath

    def cmd_status(self, path, value):
        self._get(path).status = int(value, 0)

    def cmd_fail(self, path, *names):
        p = self._get(path)
        p.fail = set(n for n in names if n != "none")
        p.fcontrols = 0

    def cmd_accept(self, path, count):
        self._get(path).accept = None if count == "all" else int(count)

    def cmd_offline_after(self, path, count):
        p = self._get(path)
        p.offline_after = p.total + int(count)

    def cmd_nibbles(self, path, *chunks):
        self._get(path).nibbles = [b"" if c == "-" else bytes.fromhex(c) for c in chunks]

    def cmd_take(self, path):
        p = self._get(path)
        with p.lock:
            data = bytes(p.received)
            p.received.clear()
        return data.hex() or "-"

    def cmd_backing(self, path):
        """the pty behind the node, as a descriptor on it reads in /proc"""
        return os.readlink(self.testbed.node_path(path))

    def cmd_claimed(self, path):
        return self._get(path).claimed

    def cmd_requests(self):
        """ioctls, reads and writes of every printer since the last call;
        forgets their events"""
        return count_and_forget(self.printers.values())

    def cmd_events(self, path):
        p = self._get(path)
        with p.lock:
            events, p.events = p.events, []
        return format_events(events)
