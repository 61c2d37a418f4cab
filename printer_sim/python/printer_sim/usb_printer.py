"""A USB receipt printer behind an emulated usbfs node, as libusb-0.1 sees
it: descriptors in the node file, control transfers and bulk URBs answered
here, with the failures, timeouts and stalls a test asks for."""
import errno
import os
import shutil
import struct
import threading
import time

from .testbed import count_and_forget, format_events, pass_through

CONNECTINFO = 0x40085511
USBDEVFS_IOCTL = 0xC0105512
CONTROL = 0xC0185500
CLAIMINTERFACE = 0x8004550F
RELEASEINTERFACE = 0x80045510
CLEAR_HALT = 0x80045515
SUBMITURB = 0x8038550A
DISCARDURB = 0x550B
REAPURB = 0x4008550C
REAPURBNDELAY = 0x4008550D
URB_SIZE = 56
ENOENT_STATUS = -errno.ENOENT


class UsbPrinter:
    def __init__(self):
        self.lock = threading.Lock()
        self.status = 0x18  # reply of the status request
        self.count_reply = None  # raw 2 bytes of the waiting-bytes reply; None: len(bulk_in)
        self.bulk_in = b""  # what the next bulk IN read delivers
        self.received = bytearray()
        self.out_plan = []  # per OUT URB: ok, short:N, timeout, stall
        self.fail_control = {}  # bRequest -> errno
        self.fail_bulk_in = 0  # errno for bulk IN submissions
        self.hold_bulk_in = False  # IN reads left pending until discarded
        self.gone = False  # every call fails with ENODEV
        self.claims = 0
        self.reaped = []  # URB addresses ready for REAP
        self.pending = {}  # URB address -> endpoint, for DISCARDURB
        self.events = []
        self.t0 = time.monotonic()

    def log(self, *fields):
        self.events.append((time.monotonic() - self.t0,) + fields)

    def on_ioctl(self, _handler, client):
        req = client.get_request()
        with self.lock:
            if self.gone and req not in (RELEASEINTERFACE,):
                self.log("gone", "%x" % req)
                client.complete(-1, errno.ENODEV)
                return True
            handler = {
                CONNECTINFO: self._connectinfo, USBDEVFS_IOCTL: self._hub_probe,
                CONTROL: self._control, CLAIMINTERFACE: self._claim,
                RELEASEINTERFACE: self._release, CLEAR_HALT: self._clear_halt,
                SUBMITURB: self._submit, DISCARDURB: self._discard,
                REAPURB: self._reap, REAPURBNDELAY: self._reap,
            }.get(req)
            if handler is None:
                return pass_through(client)
            handler(client)
            return True

    def _connectinfo(self, client):
        self.log("connectinfo", 0)
        data = client.get_arg().resolve(0, 8)
        data.update(0, struct.pack("<IB3x", 2, 0))
        client.complete(0, 0)

    def _hub_probe(self, client):
        self.log("hub_probe", 0)
        client.complete(-1, errno.ENOSYS)

    def _int_arg(self, client):
        return struct.unpack("<I", bytes(client.get_arg().resolve(0, 4).retrieve()))[0]

    def _claim(self, client):
        number = self._int_arg(client)
        self.log("claim", number)
        self.claims += 1
        client.complete(0, 0)

    def _release(self, client):
        number = self._int_arg(client)
        self.log("release", number)
        self.claims -= 1
        client.complete(0, 0)

    def _clear_halt(self, client):
        self.clear_halt(self._int_arg(client))
        client.complete(0, 0)

    def _control(self, client):
        ctrl = client.get_arg().resolve(0, 24)
        rtype, req, value, index, length, timeout = struct.unpack(
            "<BBHHHI", bytes(ctrl.retrieve())[:12])
        err, reply = self.control(rtype, req, value, index, length, timeout)
        if err:
            client.complete(-1, err)
            return
        if reply:
            ctrl.resolve(16, len(reply)).update(0, reply)
        client.complete(len(reply), 0)

    # What the printer does, whichever front carries the request: each
    # returns the answer, and the front turns it into its own completion.

    def control(self, rtype, req, value, index, length, timeout):
        """A vendor control request: (errno, reply bytes)."""
        self.log("control", "%02x" % rtype, "%02x" % req, "%04x" % value, "%04x" % index,
                 length, timeout)
        if req in self.fail_control:
            return self.fail_control[req], b""
        reply = b""
        if rtype == 0xC0 and req == 0x01:
            reply = bytes([self.status])
        elif rtype == 0xC0 and req == 0x03:
            reply = (self.count_reply if self.count_reply is not None
                     else struct.pack("<H", len(self.bulk_in) & 0xFFFF))
        return 0, reply[:length]

    def read_in(self, ep, length):
        """A bulk IN transfer: ("fail", errno), ("hold", None): pending until
        cancelled, or ("done", data)."""
        self.log("bulk_in", "%02x" % ep, length)
        if self.fail_bulk_in:
            return "fail", self.fail_bulk_in
        if self.hold_bulk_in:
            return "hold", None
        data = self.bulk_in[:max(length, 0)]
        self.bulk_in = self.bulk_in[len(data):]
        return "done", data

    def write_out(self, ep, payload):
        """A bulk OUT transfer: ("hold", None), ("stall", None) or ("done",
        bytes taken)."""
        action = self.out_plan.pop(0) if self.out_plan else "ok"
        self.log("bulk_out", "%02x" % ep, len(payload), action)
        if action == "timeout":
            return "hold", None
        if action == "stall":
            return "stall", None
        take = len(payload) if action == "ok" else min(len(payload), int(action.split(":")[1]))
        self.received += payload[:take]
        return "done", take

    def clear_halt(self, ep):
        self.log("clear_halt", "%02x" % ep)

    def _submit(self, client):
        arg = client.get_arg()
        address = struct.unpack("<Q", bytes(arg.retrieve()))[0]
        urb = arg.resolve(0, URB_SIZE)
        raw = bytes(urb.retrieve())
        ep = raw[1]
        length = struct.unpack("<i", raw[24:28])[0]
        if ep & 0x80:
            what, value = self.read_in(ep, length)
            if what == "fail":
                client.complete(-1, value)
                return
            if what == "hold":
                self.pending[address] = ep  # never completes; libusb waits, then discards it
            else:
                if value:
                    urb.resolve(16, len(value)).update(0, value)
                self._complete_urb(urb, address, 0, len(value))
        else:
            payload = bytes(urb.resolve(16, length).retrieve()) if length > 0 else b""
            what, taken = self.write_out(ep, payload)
            if what == "hold":
                self.pending[address] = ep  # never completes; libusb discards it
            elif what == "stall":
                self._complete_urb(urb, address, -errno.EPIPE, 0)
            else:
                self._complete_urb(urb, address, 0, taken)
        client.complete(0, 0)

    def _complete_urb(self, urb, address, status, actual):
        urb.update(4, struct.pack("<i", status))
        urb.update(28, struct.pack("<i", actual))
        self.reaped.append(address)

    def _discard(self, client):
        arg = client.get_arg()
        address = struct.unpack("<Q", bytes(arg.retrieve()))[0]
        if address in self.pending:
            del self.pending[address]
            self._complete_urb(arg.resolve(0, URB_SIZE), address, ENOENT_STATUS, 0)
            client.complete(0, 0)
        else:
            client.complete(-1, errno.EINVAL)

    def _reap(self, client):
        if not self.reaped:
            client.complete(-1, errno.EAGAIN)
            return
        client.get_arg().resolve(0, 8).update(0, struct.pack("<Q", self.reaped.pop(0)))
        client.complete(0, 0)


class UsbCommands:
    def __init__(self, testbed):
        self.testbed = testbed
        self.printers = {}  # devpath -> UsbPrinter
        self.next_dev = 2
        # libusb reads /dev/bus/usb only when it holds a bus; an empty bus
        # keeps the scan inside the testbed.
        os.makedirs(os.path.join(testbed.root, "dev/bus/usb/001"), exist_ok=True)

    def _get(self, path):
        return self.printers[path]

    def cmd_add(self, descriptors_hex):
        """usb.add HEX -> devpath of a new device whose node holds HEX"""
        num = self.next_dev
        self.next_dev += 1
        node = "bus/usb/001/%03d" % num
        devpath = self.testbed.add_node("/devices/pci0000:00/usb1/1-%d" % num,
                                        node + "=" + descriptors_hex.upper(), "usb",
                                        "E: DEVTYPE=usb_device\n")
        printer = UsbPrinter()
        self.testbed.attach(devpath, printer.on_ioctl)
        self.printers[devpath] = printer
        return devpath

    def cmd_unplug_all(self):
        """removes every device node from the bus"""
        for devpath, printer in self.printers.items():
            printer.gone = True
            try:
                os.unlink(self.testbed.node_path(devpath))
            except FileNotFoundError:
                pass
        self.printers = {}

    def cmd_vanish_on_scan(self, path):
        """the node disappears while libusb probes it after reading its
        descriptors: the scan lists the device, the open that follows fails
        (libusb-0.1 still hands out a handle, whose calls fail with EBADF)"""
        printer = self._get(path)
        node = self.testbed.node_path(path)
        original = printer._hub_probe

        def hub_probe(client):
            printer._hub_probe = original
            shutil.move(node, os.path.join(self.testbed.workdir, "vanished-" + os.path.basename(node)))
            original(client)
        printer._hub_probe = hub_probe

    def cmd_gone(self, path, on):
        self._get(path).gone = on == "1"

    def cmd_unplugged(self, path, on):
        """the device leaves the bus (its node moves aside, so that a scan
        does not find it, and the handles open on it fail with ENODEV), or
        comes back"""
        node = self.testbed.node_path(path)
        aside = os.path.join(self.testbed.workdir, "unplugged-" + os.path.basename(node))
        printer = self._get(path)
        printer.gone = on == "1"
        if printer.gone and os.path.exists(node):
            os.rename(node, aside)
        elif not printer.gone and os.path.exists(aside):
            os.rename(aside, node)

    def cmd_status(self, path, value):
        self._get(path).status = int(value, 0)

    def cmd_count(self, path, raw):
        """the waiting-count reply: 'auto' follows bulk_in, '-' is a reply of no bytes"""
        p = self._get(path)
        p.count_reply = None if raw == "auto" else b"" if raw == "-" else bytes.fromhex(raw)

    def cmd_hold_bulk_in(self, path, on):
        """bulk IN reads wait until libusb gives up on them"""
        self._get(path).hold_bulk_in = on == "1"

    def cmd_bulk_in(self, path, data):
        self._get(path).bulk_in = b"" if data == "-" else bytes.fromhex(data)

    def cmd_out_plan(self, path, *actions):
        self._get(path).out_plan = list(actions)

    def cmd_fail_control(self, path, request, err):
        p = self._get(path)
        if err == "none":
            p.fail_control.pop(int(request, 0), None)
        else:
            p.fail_control[int(request, 0)] = int(err)

    def cmd_fail_bulk_in(self, path, err):
        self._get(path).fail_bulk_in = int(err)

    def cmd_take(self, path):
        p = self._get(path)
        with p.lock:
            data = bytes(p.received)
            p.received.clear()
        return data.hex() or "-"

    def cmd_claims(self, path):
        return self._get(path).claims

    def cmd_requests(self):
        """control requests and transfers of every device since the last
        call; forgets their events"""
        return count_and_forget(self.printers.values())

    def cmd_events(self, path):
        """calls since the last call, one per word, fields joined by ':'"""
        p = self._get(path)
        with p.lock:
            events, p.events = p.events, []
        return format_events(events)
