"""A USB receipt printer behind an emulated usbfs node, as libusb-0.1 sees
it: descriptors in the node file, control transfers and bulk URBs answered
here, with the failures, timeouts and stalls a test asks for.

Answers follow the kernel's usbfs: each open file of the node (one umockdev
client connection, told apart by its IoctlClient) claims interfaces of its
own, a second claimant gets EBUSY, and a bulk transfer claims the
endpoint's interface on the way if it can; closing the file gives its
claims back. A stall completes the URB with -EPIPE and leaves the endpoint
halted until CLEAR_HALT. An unplug completes the URBs in flight empty,
fails a control request in flight with ESHUTDOWN, drops every claim and
leaves the files opened before it dead for good (ENODEV; reaping still
works), even once the device is back."""
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
UNPLUG = "unplug"  # the model's answer to a request in flight at an unplug


def endpoint_interfaces(descriptors):
    """endpoint address -> number of the interface that first lists it"""
    owners, i, interface = {}, 0, None
    while i + 1 < len(descriptors) and descriptors[i] > 0:
        kind = descriptors[i + 1]
        if kind == 4:
            interface = descriptors[i + 2]
        elif kind == 5 and interface is not None:
            owners.setdefault(descriptors[i + 2], interface)
        i += descriptors[i]
    return owners


def write_urb(urb, status, actual_length):
    urb.update(4, struct.pack("<i", status))
    urb.update(28, struct.pack("<i", actual_length))


class Handle:
    """One open file of the node: its generation and its completed URBs."""
    def __init__(self, client, generation):
        self.client = client  # kept, so that its identity is not reused
        self.generation = generation
        self.reaped = []


SERIAL_INDEX = 3  # iSerialNumber of a device given a serial number


def serial_word(word):
    """A serial number as usb.add takes it: '-' for none, 'hex:' and its
    UTF-8 bytes for one that holds spaces or more than ASCII, else as is."""
    if word == "-":
        return None
    return bytes.fromhex(word[4:]).decode("utf-8") if word.startswith("hex:") else word


class UsbPrinter:
    def __init__(self, descriptors=b"", serial=None):
        self.serial = serial  # the iSerialNumber string, or None
        self.syspath = None  # its sysfs folder
        self.lock = threading.Lock()
        self.status = 0x18  # reply of the status request
        self.count_reply = None  # raw 2 bytes of the waiting-bytes reply; None: len(bulk_in)
        self.bulk_in = b""  # what the next bulk IN read delivers
        self.received = bytearray()
        self.out_plan = []  # per OUT URB: ok, short:N, timeout, stall
        self.fail_control = {}  # bRequest -> errno
        self.fail_bulk_in = 0  # errno for bulk IN submissions
        self.hold_bulk_in = False  # IN reads left pending until discarded
        self.silent = False  # control requests wait out their timeout
        self.gone = False  # every call fails with ENODEV
        self.unplug_during = None  # "control:N", "bulk_in", "bulk_out" or "any"
        self.driver = None  # a kernel driver bound to the interface
        self.owners = endpoint_interfaces(descriptors)
        self.holders = {}  # interface number -> Handle claiming it
        self.handles = {}  # hash of the umockdev client -> Handle
        self.generation = 0  # counts unplugs: files opened before one stay dead
        self.halted = set()  # endpoints that stall until cleared
        self.pending = {}  # URB address -> Handle, for DISCARDURB and unplugs
        self.events = []
        self.t0 = time.monotonic()

    def log(self, *fields):
        self.events.append((time.monotonic() - self.t0,) + fields)

    def _handle(self, client):
        key = hash(client)  # the GObject's address: one per connection
        handle = self.handles.get(key)
        if handle is None:
            # Closed files are forgotten; each Handle keeps its client, and
            # so its address, until then.
            self.handles = {k: h for k, h in self.handles.items() if h.client.get_connected()}
            handle = self.handles[key] = Handle(client, self.generation)
        return handle

    def claims(self):
        for number, holder in list(self.holders.items()):
            if not holder.client.get_connected():
                del self.holders[number]  # the kernel releases at close
        return len(self.holders)

    def on_ioctl(self, _handler, client):
        req = client.get_request()
        with self.lock:
            handle = self._handle(client)
            if self.gone or handle.generation != self.generation:
                if req in (REAPURB, REAPURBNDELAY) and handle.reaped:
                    self._reap(client)
                    return True
                if req == RELEASEINTERFACE:
                    self.log("release", self._int_arg(client))
                else:
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

    def unplug(self):
        """Leaves the bus: URBs in flight complete empty, claims drop, the
        files open now stay dead."""
        self.gone = True
        self.generation += 1
        self.holders.clear()
        for address, handle in self.pending.items():
            # umockdev writes client memory only while answering that
            # client: the URB gets its status when it is reaped.
            handle.reaped.append((address, -errno.ESHUTDOWN))
        self.pending.clear()

    def _claim_for(self, handle, number):
        """usbfs's claim: 0 when held or taken, else EBUSY"""
        if self.driver:
            return errno.EBUSY  # a kernel driver (usblp) holds the interface
        self.claims()  # forgets the holders whose file is closed
        if self.holders.get(number, handle) is not handle:
            return errno.EBUSY
        self.holders[number] = handle
        return 0

    def _checked(self, client, ep):
        """usbfs claims an endpoint's interface for the file that uses it"""
        err = self._claim_for(self._handle(client), self.owners.get(ep & 0x8F, 0))
        if err:
            self.log("busy", "%02x" % ep)
            client.complete(-1, err)
        return err == 0

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
        err = self._claim_for(self._handle(client), number)
        client.complete(-1 if err else 0, err)

    def _release(self, client):
        number = self._int_arg(client)
        self.log("release", number)
        if self.holders.get(number) is self._handle(client):
            del self.holders[number]
            client.complete(0, 0)
        else:
            client.complete(-1, errno.EINVAL)

    def _clear_halt(self, client):
        ep = self._int_arg(client)
        if self._checked(client, ep):
            self.clear_halt(ep)
            client.complete(0, 0)

    def _control(self, client):
        ctrl = client.get_arg().resolve(0, 24)
        rtype, req, value, index, length, timeout = struct.unpack(
            "<BBHHHI", bytes(ctrl.retrieve())[:12])
        get_status = rtype == 0x80 and req == 0x00
        if self.silent:
            # A printer that stopped answering: the kernel waits out the
            # request's timeout (0: for ever, here a second) and gives up.
            if get_status:
                self.log("get_status", timeout)
            else:
                self.log("control", "%02x" % rtype, "%02x" % req, "%04x" % value, "%04x" % index,
                         length, timeout)
            time.sleep((timeout or 1000) / 1000)
            client.complete(-1, errno.ETIMEDOUT)
            return
        if get_status:  # self-powered
            self.log("get_status", timeout)
            err, reply = 0, struct.pack("<H", 1)[:length]
        else:
            err, reply = self.control(rtype, req, value, index, length, timeout)
        if err == UNPLUG:
            # In flight when the device left: the kernel kills it so.
            self.unplug()
            err = errno.ESHUTDOWN
        if err:
            client.complete(-1, err)
            return
        if reply:
            ctrl.resolve(16, len(reply)).update(0, reply)
        client.complete(len(reply), 0)

    # What the printer does, whichever front carries the request: each
    # returns the answer, and the front turns it into its own completion.

    def control(self, rtype, req, value, index, length, timeout):
        """A vendor control request: (errno, reply bytes); (UNPLUG, b"")
        when the device leaves the bus while it is in flight."""
        self.log("control", "%02x" % rtype, "%02x" % req, "%04x" % value, "%04x" % index,
                 length, timeout)
        if self._unplug_now("control:%d" % req):
            return UNPLUG, b""
        if req in self.fail_control:
            return self.fail_control[req], b""
        reply = b""
        if rtype == 0x80 and req == 0x06 and value >> 8 == 3:
            reply = self._string_descriptor(value & 0xFF)
            if reply is None:
                return errno.EPIPE, b""  # no such string: the device stalls
        elif rtype == 0xC0 and req == 0x01:
            reply = bytes([self.status])
        elif rtype == 0xC0 and req == 0x03:
            reply = (self.count_reply if self.count_reply is not None
                     else struct.pack("<H", len(self.bulk_in) & 0xFFFF))
        return 0, reply[:length]

    def _string_descriptor(self, index):
        if index == 0:
            return bytes([4, 3, 0x09, 0x04])  # US English only
        if index == SERIAL_INDEX and self.serial is not None:
            text = self.serial.encode("utf-16-le")
            return bytes([2 + len(text), 3]) + text
        return None

    def read_in(self, ep, length):
        """A bulk IN transfer: ("fail", errno), ("hold", None): pending until
        cancelled, ("unplug", None): pending when the device leaves the bus,
        ("stall", None), or ("done", data)."""
        self.log("bulk_in", "%02x" % ep, length)
        if self.fail_bulk_in:
            return "fail", self.fail_bulk_in
        if self._unplug_now("bulk_in"):
            return "unplug", None
        if ep in self.halted:
            return "stall", None
        if self.hold_bulk_in:
            return "hold", None
        data = self.bulk_in[:max(length, 0)]
        self.bulk_in = self.bulk_in[len(data):]
        return "done", data

    def write_out(self, ep, payload):
        """A bulk OUT transfer: ("hold", None), ("unplug", None), ("stall",
        None) or ("done", bytes taken)."""
        if self._unplug_now("bulk_out"):
            action = "unplug"
        elif ep in self.halted:
            action = "stall"
        else:
            action = self.out_plan.pop(0) if self.out_plan else "ok"
        self.log("bulk_out", "%02x" % ep, len(payload), action)
        if action == "timeout":
            return "hold", None
        if action in ("stall", "unplug"):
            if action == "stall":
                self.halted.add(ep)  # until cleared
            return action, None
        take = len(payload) if action == "ok" else min(len(payload), int(action.split(":")[1]))
        self.received += payload[:take]
        return "done", take

    def clear_halt(self, ep):
        self.log("clear_halt", "%02x" % ep)
        self.halted.discard(ep)

    def _unplug_now(self, call):
        if self.unplug_during not in (call, "any"):
            return False
        self.unplug_during = None
        return True

    def _submit(self, client):
        arg = client.get_arg()
        address = struct.unpack("<Q", bytes(arg.retrieve()))[0]
        urb = arg.resolve(0, URB_SIZE)
        raw = bytes(urb.retrieve())
        ep = raw[1]
        length = struct.unpack("<i", raw[24:28])[0]
        handle = self._handle(client)
        if not self._checked(client, ep):
            return
        if ep & 0x80:
            what, value = self.read_in(ep, length)
            if what == "fail":
                client.complete(-1, value)
                return
            if what == "done" and value:
                urb.resolve(16, len(value)).update(0, value)
            taken = len(value) if what == "done" else 0
        else:
            payload = bytes(urb.resolve(16, length).retrieve()) if length > 0 else b""
            what, taken = self.write_out(ep, payload)
        if what in ("hold", "unplug"):
            self.pending[address] = handle  # libusb waits, then discards it
        else:
            self._complete_urb(handle, urb, address, -errno.EPIPE if what == "stall" else 0, taken or 0)
        client.complete(0, 0)
        if what == "unplug":
            self.unplug()  # the URB was in flight when the device left

    def _complete_urb(self, handle, urb, address, status, actual):
        write_urb(urb, status, actual)
        handle.reaped.append((address, None))

    def _discard(self, client):
        arg = client.get_arg()
        address = struct.unpack("<Q", bytes(arg.retrieve()))[0]
        if address in self.pending:
            handle = self.pending.pop(address)
            self._complete_urb(handle, arg.resolve(0, URB_SIZE), address, ENOENT_STATUS, 0)
            client.complete(0, 0)
        else:
            client.complete(-1, errno.EINVAL)

    def _reap(self, client):
        handle = self._handle(client)
        if not handle.reaped:
            client.complete(-1, errno.EAGAIN)
            return
        address, late_status = handle.reaped.pop(0)
        context = client.get_arg().resolve(0, 8)
        context.update(0, struct.pack("<Q", address))
        if late_status is not None:
            write_urb(context.resolve(0, URB_SIZE), late_status, 0)
        client.complete(0, 0)


class UsbCommands:
    def __init__(self, testbed):
        self.testbed = testbed
        self.printers = {}  # devpath -> UsbPrinter
        self.interfaces = {}  # devpath -> sysfs folder of its interface
        self.next_dev = 2
        # libusb reads /dev/bus/usb only when it holds a bus; an empty bus
        # keeps the scan inside the testbed.
        os.makedirs(os.path.join(testbed.root, "dev/bus/usb/001"), exist_ok=True)

    def _get(self, path):
        return self.printers[path]

    def cmd_add(self, descriptors_hex, serial="-", socket="-"):
        """usb.add HEX [SERIAL [SOCKET]] -> devpath of a new device whose node
        holds HEX; its sysfs folder shows what the kernel shows of it
        (identity, bus and device number, the serial number if it has one)
        and holds its first interface. SERIAL (or -: none; see serial_word) is also in the
        device descriptor and its string descriptors; SOCKET (or -: 1-N) is
        its kernel name"""
        num = self.next_dev
        self.next_dev += 1
        node = "bus/usb/001/%03d" % num
        vendor, product = struct.unpack("<HH", bytes.fromhex(descriptors_hex)[8:12])
        name = "1-%d" % num if socket == "-" else socket
        sysfs = "/devices/pci0000:00/usb1/" + name
        attributes = "A: idVendor=%04x\nA: idProduct=%04x\nA: busnum=1\nA: devnum=%d\n" % (vendor, product, num)
        serial = serial_word(serial)
        if serial is not None:
            descriptors_hex = (descriptors_hex[:32] + "%02X" % SERIAL_INDEX
                               + descriptors_hex[34:])
            # As the kernel writes it: its UTF-8 bytes, spaces kept, a line end.
            attributes += "H: serial=%s\n" % (serial + "\n").encode("utf-8").hex().upper()
        devpath = self.testbed.add_node(sysfs, node + "=" + descriptors_hex.upper(), "usb",
                                        "E: DEVTYPE=usb_device\n" + attributes)
        self.testbed.tb.add_from_string("P: %s/%s:1.0\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n"
                                        "A: bInterfaceNumber=00\nA: bInterfaceClass=07\n" % (sysfs, name))
        printer = UsbPrinter(bytes.fromhex(descriptors_hex), serial)
        printer.syspath = sysfs
        self.testbed.attach(devpath, printer.on_ioctl)
        self.printers[devpath] = printer
        self.interfaces[devpath] = "%s/sys%s/%s:1.0" % (self.testbed.root, sysfs, name)
        return devpath

    def cmd_driver(self, path, name):
        """usb.driver DEVPATH NAME|none: a kernel driver (usblp) takes the
        printer's interface, whose claims and bulk transfers then fail with
        EBUSY (control requests to the device still pass), or lets it go"""
        link = os.path.join(self.interfaces[path], "driver")
        if os.path.islink(link):
            os.unlink(link)
        printer = self._get(path)
        printer.driver = None if name == "none" else name
        if printer.driver:
            os.makedirs(os.path.join(self.testbed.root, "sys/bus/usb/drivers", name), exist_ok=True)
            os.symlink("../../../../../bus/usb/drivers/" + name, link)

    def cmd_unplug_all(self):
        """removes every device node from the bus"""
        for devpath, printer in self.printers.items():
            with printer.lock:
                printer.unplug()
            try:
                os.unlink(self.testbed.node_path(devpath))
            except FileNotFoundError:
                pass
            # Its sysfs folder goes too, so that a socket can be used again.
            self.testbed.tb.remove_device("/sys" + printer.syspath)
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
        """the device stops answering (ENODEV) though its node stays, or
        answers again (files opened before stay dead)"""
        printer = self._get(path)
        with printer.lock:
            if on == "1":
                printer.unplug()
            else:
                printer.gone = False
                printer.unplug_during = None

    def cmd_unplugged(self, path, on):
        """the device leaves the bus (its node moves aside, so that a scan
        does not find it, and the handles open on it fail with ENODEV), or
        comes back"""
        self.cmd_gone(path, on)
        self._move_node(path, aside=on == "1")

    def cmd_unplug_during(self, path, call):
        """the device leaves the bus while the next such call is in flight
        (control:N for bRequest N, bulk_in, bulk_out, or any of them)"""
        printer = self._get(path)
        with printer.lock:
            printer.unplug_during = call
        # No scan finds it from now on; the files open on it are unaffected.
        self._move_node(path, aside=True)

    def _move_node(self, path, aside):
        node = self.testbed.node_path(path)
        moved = os.path.join(self.testbed.workdir, "unplugged-" + os.path.basename(node))
        if aside and os.path.exists(node):
            os.rename(node, moved)
        elif not aside and os.path.exists(moved):
            os.rename(moved, node)

    def cmd_stall_bulk_in(self, path, on):
        """the bulk IN endpoint halts (its URBs complete with -EPIPE until
        cleared), or its halt is gone"""
        printer = self._get(path)
        with printer.lock:
            ins = {ep for ep in printer.owners if ep & 0x80}
            printer.halted = printer.halted | ins if on == "1" else printer.halted - ins

    def cmd_status(self, path, value):
        self._get(path).status = int(value, 0)

    def cmd_count(self, path, raw):
        """the waiting-count reply: 'auto' follows bulk_in, '-' is a reply of no bytes"""
        p = self._get(path)
        p.count_reply = None if raw == "auto" else b"" if raw == "-" else bytes.fromhex(raw)

    def cmd_silent(self, path, on):
        """the printer stops answering control requests: each waits out its
        timeout and fails with ETIMEDOUT (GET_STATUS too); or answers again"""
        self._get(path).silent = on == "1"

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
        printer = self._get(path)
        with printer.lock:
            return printer.claims()

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
