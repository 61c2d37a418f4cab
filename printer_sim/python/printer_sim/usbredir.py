"""The same USB printers as usb_printer.py, plugged into a virtual machine as
real USB devices: the device side of QEMU's usbredir protocol, one socket per
port of the guest's xHCI controller. The guest's kernel enumerates each
device and its usbfs carries the library's requests here, where the
printer model of usb_printer.py answers them."""
import errno
import socket
import struct
import threading

from .usb_printer import UsbCommands, UsbPrinter, serial_word

# Packet types, statuses and capabilities of the protocol (usbredirproto.h).
HELLO, DEVICE_CONNECT, DEVICE_DISCONNECT, RESET, INTERFACE_INFO, EP_INFO = 0, 1, 2, 3, 4, 5
SET_CONFIGURATION, GET_CONFIGURATION, CONFIGURATION_STATUS = 6, 7, 8
SET_ALT_SETTING, GET_ALT_SETTING, ALT_SETTING_STATUS = 9, 10, 11
START_INTERRUPT_RECEIVING, STOP_INTERRUPT_RECEIVING, INTERRUPT_RECEIVING_STATUS = 15, 16, 17
CANCEL_DATA_PACKET, DEVICE_DISCONNECT_ACK = 21, 24
CONTROL_PACKET, BULK_PACKET, INTERRUPT_PACKET = 100, 101, 103
SUCCESS, CANCELLED, INVAL, IOERROR, STALL = 0, 1, 2, 3, 4
# What QEMU's xHCI needs: 64-bit packet ids, 32-bit bulk lengths, packet sizes.
CAPS = [1, 2, 3, 4, 5, 6]  # connect_device_version, filter, disconnect_ack, ep_info_max_packet_size, 64bits_ids, 32bits_bulk_length
SPEED_FULL = 1
UNPLUG = "unplug"  # the model's answer to a request in flight when the printer leaves
TYPE_CONTROL, TYPE_INVALID = 0, 255


def parse_descriptors(raw):
    """Device descriptor, then each interface setting of the configuration
    as (number, alternate, class, subclass, protocol, [(address, attributes,
    max packet, interval)])."""
    device = raw[:18]
    settings = []
    at = 18
    while at + 2 <= len(raw) and raw[at] >= 2:
        size, kind = raw[at], raw[at + 1]
        d = raw[at:at + size]
        if kind == 4:
            settings.append((d[2], d[3], d[5], d[6], d[7], []))
        elif kind == 5 and settings:
            settings[-1][5].append((d[2], d[3], d[4] | d[5] << 8, d[6]))
        at += size
    return device, raw[18:], settings


class RedirPort:
    """One port of the guest's controller: a usbredir connection from QEMU,
    and the printer plugged into it, if any."""

    def __init__(self, listener, port):
        self.listener = listener
        self.port = port  # the guest sees the device as 1-<port>
        self.sock = None
        self.send_lock = threading.Lock()
        self.ready = threading.Event()  # QEMU's hello arrived: 16-byte headers from then on
        self.printer = None
        self.raw = b""
        self.settings = []
        self.alts = {}  # interface -> current alternate setting
        self.strings = {}  # string descriptor index -> text
        self.pending = {}  # packet id -> (type, header(status, length)) held until answered or cancelled
        self.attached = False
        self.awaiting_ack = False  # packets before the disconnect's ack belong to the old device
        threading.Thread(target=self._serve, daemon=True).start()

    # Sending

    def _send(self, kind, header=b"", data=b"", packet_id=0):
        with self.send_lock:
            head = "<IIQ" if self.ready.is_set() else "<III"
            self.sock.sendall(struct.pack(head, kind, len(header) + len(data), packet_id)
                              + header + data)

    def _hello(self):
        caps = sum(1 << c for c in CAPS)
        self._send(HELLO, b"printer_sim".ljust(64, b"\0") + struct.pack("<I", caps))

    def _current(self):
        return [s for s in self.settings if self.alts.get(s[0], 0) == s[1]]

    def _send_ep_info(self):
        types, intervals, interfaces = [TYPE_INVALID] * 32, [0] * 32, [0] * 32
        sizes = [0] * 32
        types[0] = types[16] = TYPE_CONTROL
        sizes[0] = sizes[16] = self.raw[7]
        for s in self._current():
            for address, attributes, maxp, interval in s[5]:
                i = ((address & 0x80) >> 3) | (address & 0x0F)
                types[i], intervals[i], interfaces[i], sizes[i] = attributes & 3, interval, s[0], maxp
        self._send(EP_INFO, bytes(types) + bytes(intervals) + bytes(interfaces)
                   + struct.pack("<32H", *sizes))

    def plug(self, printer, raw):
        """Connects the device: the guest's kernel enumerates it next."""
        self.ready.wait(30)
        with printer.lock:
            self.printer, self.raw = printer, raw
            _, _, self.settings = parse_descriptors(raw)
            self.alts = {}
            self.pending = {}
            if hasattr(printer, "attached"):
                printer.attached(self)
            current = self._current()
            numbers = [s[0] for s in current][:32]
            info = struct.pack("<I", len(numbers))
            for field in (0, 2, 3, 4):
                info += bytes([s[field] for s in current][:32]).ljust(32, b"\0")
            self._send(INTERFACE_INFO, info)
            self._send_ep_info()
            d = raw
            self._send(DEVICE_CONNECT, struct.pack("<BBBBHHH", SPEED_FULL, d[4], d[5], d[6],
                                                   d[8] | d[9] << 8, d[10] | d[11] << 8,
                                                   d[12] | d[13] << 8))
            self.attached = True

    def complete(self, packet_id, data=b"", length=None):
        """Answers a held packet: False when it was cancelled or its device
        left meanwhile. The caller holds the printer's lock."""
        held = self.pending.pop(packet_id, None)
        if held is None:
            return False
        self._send(held[0], held[1](SUCCESS, len(data) if length is None else length), data, packet_id)
        return True

    def interrupt(self, ep, data):
        """Data on an interrupt IN endpoint the guest's controller polls."""
        if self.attached:
            self._send(INTERRUPT_PACKET, struct.pack("<BBH", ep, SUCCESS, len(data)), data)

    def unplug(self):
        """The device leaves the bus, whatever is in flight: held transfers
        are never answered, as a real printer pulled out never answers."""
        if self.attached:
            self.attached = False
            self.awaiting_ack = True
            self.pending = {}
            self._send(DEVICE_DISCONNECT)

    # Receiving

    def _serve(self):
        self.sock, _ = self.listener.accept()
        self._hello()
        buf = b""
        while True:
            chunk = self.sock.recv(65536)
            if not chunk:
                return
            buf += chunk
            while True:
                size = 16 if self.ready.is_set() else 12
                if len(buf) < size:
                    break
                kind, length, packet_id = struct.unpack("<IIQ" if size == 16 else "<III", buf[:size])
                if len(buf) < size + length:
                    break
                body, buf = buf[size:size + length], buf[size + length:]
                self._packet(kind, packet_id, body)

    def _packet(self, kind, packet_id, body):
        if kind == HELLO:
            self.ready.set()
            return
        if kind == DEVICE_DISCONNECT_ACK:
            self.awaiting_ack = False
            return
        if self.printer is None or self.awaiting_ack or not self.attached:
            return  # for a device that is no longer there
        with self.printer.lock:
            if kind == SET_CONFIGURATION or kind == GET_CONFIGURATION:
                self._send(CONFIGURATION_STATUS, bytes([SUCCESS, 1]), packet_id=packet_id)
            elif kind == SET_ALT_SETTING:
                interface, alt = body[0], body[1]
                self.alts[interface] = alt
                self._send_ep_info()
                self._send(ALT_SETTING_STATUS, bytes([SUCCESS, interface, alt]), packet_id=packet_id)
            elif kind == GET_ALT_SETTING:
                self._send(ALT_SETTING_STATUS, bytes([SUCCESS, body[0], self.alts.get(body[0], 0)]),
                           packet_id=packet_id)
            elif kind == CONTROL_PACKET:
                self._control(packet_id, body)
            elif kind == BULK_PACKET:
                self._bulk(packet_id, body)
            elif kind == CANCEL_DATA_PACKET:
                held = self.pending.pop(packet_id, None)
                if held:
                    self._send(held[0], held[1](CANCELLED, 0), packet_id=packet_id)
            elif kind in (START_INTERRUPT_RECEIVING, STOP_INTERRUPT_RECEIVING):
                self._send(INTERRUPT_RECEIVING_STATUS, bytes([SUCCESS, body[0]]), packet_id=packet_id)
                if kind == START_INTERRUPT_RECEIVING and hasattr(self.printer, "interrupt_started"):
                    self.printer.interrupt_started(body[0])
            # reset, filters: nothing for this device to do

    def _answer_control(self, packet_id, head, status, data=b""):
        ep, req, rtype = head[0], head[1], head[2]
        value, index = struct.unpack("<HH", head[4:8])
        self._send(CONTROL_PACKET, struct.pack("<BBBBHHH", ep, req, rtype, status, value, index,
                                               len(data)), data, packet_id)

    def _control(self, packet_id, body):
        head = body[:10]
        ep, req, rtype, _, value, index, length = struct.unpack("<BBBBHHH", head)
        kind = value >> 8
        if getattr(self.printer, "silent", False) and (rtype & 0x60 == 0x40 or rtype & 0x80 and req == 0):
            # A printer that stopped answering: the guest's kernel gives the
            # request up at its timeout and cancels it.
            self.pending[packet_id] = (CONTROL_PACKET,
                                       lambda status, _n: head[:3] + bytes([status]) + head[4:8] + b"\0\0")
            return
        if rtype & 0x60 == 0x40:  # vendor: the printer's own requests
            err, reply = self.printer.control(rtype, req, value, index, length, "-")
            self._fail_or(packet_id, CONTROL_PACKET, head, err,
                          lambda: self._answer_control(packet_id, head, SUCCESS, reply))
        elif rtype == 0x80 and req == 6 and kind in (1, 2):
            d = self.raw[:18] if kind == 1 else self.raw[18:]
            self._answer_control(packet_id, head, SUCCESS, d[:length])
        elif rtype == 0x80 and req == 6 and kind == 3 and value & 0xFF == 0:
            self._answer_control(packet_id, head, SUCCESS, b"\x04\x03\x09\x04"[:length])
        elif rtype == 0x80 and req == 6 and kind == 3 and value & 0xFF in self.strings:
            text = self.strings[value & 0xFF].encode("utf-16-le")
            self._answer_control(packet_id, head, SUCCESS, (bytes([2 + len(text), 3]) + text)[:length])
        elif rtype & 0x80 and req == 0:  # GET_STATUS
            self._answer_control(packet_id, head, SUCCESS, b"\0\0"[:length])
        elif rtype == 0x02 and req == 1 and value == 0:  # CLEAR_FEATURE(ENDPOINT_HALT)
            self.printer.clear_halt(index)
            self._answer_control(packet_id, head, SUCCESS)
        elif rtype & 0x80 == 0 and rtype & 0x60 == 0:  # other standard writes
            self._answer_control(packet_id, head, SUCCESS)
        elif rtype & 0x60 == 0x20 and hasattr(self.printer, "class_request"):
            reply = self.printer.class_request(rtype, req, value, index, body[10:10 + length])
            self._answer_control(packet_id, head, SUCCESS if reply is not None else STALL,
                                 (reply or b"")[:length])
        else:
            self._answer_control(packet_id, head, STALL)

    def _fail_or(self, packet_id, kind, head, err, answer):
        """A failure the model asks for, as a device shows it: a stall for
        EPIPE, leaving the bus for ENODEV or an unplug in flight, an I/O
        error otherwise."""
        if not err:
            answer()
        elif err in (errno.ENODEV, UNPLUG):
            self.unplug()
        elif kind == CONTROL_PACKET:
            self._answer_control(packet_id, head, STALL if err == errno.EPIPE else IOERROR)
        else:
            self._send(kind, head[:1] + bytes([STALL if err == errno.EPIPE else IOERROR]) + head[2:],
                       packet_id=packet_id)

    def _bulk(self, packet_id, body):
        ep, _, low, stream, high = struct.unpack("<BBHIH", body[:10])
        length = high << 16 | low

        def header(status, n):
            return struct.pack("<BBHIH", ep, status, n & 0xFFFF, stream, n >> 16)
        if ep & 0x80:
            what, value = self.printer.read_in(ep, length)
            if what == "fail":
                self._fail_or(packet_id, BULK_PACKET, header(SUCCESS, 0), value, None)
            elif what == UNPLUG:
                self.unplug()
            elif what == "stall":
                self._send(BULK_PACKET, header(STALL, 0), packet_id=packet_id)
            elif what == "hold":
                self._hold(packet_id, header, ep, None)
            else:
                self._send(BULK_PACKET, header(SUCCESS, len(value)), value, packet_id)
        else:
            what, taken = self.printer.write_out(ep, body[10:10 + length])
            if what == UNPLUG:
                self.unplug()
            elif what == "hold":
                self._hold(packet_id, header, ep, body[10:10 + length])
            elif what == "stall":
                self._send(BULK_PACKET, header(STALL, 0), packet_id=packet_id)
            else:
                self._send(BULK_PACKET, header(SUCCESS, taken), packet_id=packet_id)

    def _hold(self, packet_id, header, ep, data):
        """Keeps a bulk packet unanswered; a model that answers later is told."""
        self.pending[packet_id] = (BULK_PACKET, header)
        if hasattr(self.printer, "held"):
            self.printer.held(packet_id, ep, data)


class RedirUsbCommands(UsbCommands):
    """The usb.* commands of the control channel for printers on the
    guest's ports: the model's commands are the same; plugging, unplugging
    and claims are a real bus's."""

    def __init__(self, sockets):
        self.ports = []
        for number, path in enumerate(sockets, 1):
            listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            listener.bind(path)
            listener.listen(1)
            self.ports.append(RedirPort(listener, number))
        self.printers = {}  # "1-<port>" -> UsbPrinter
        self.others = {}  # "1-<port>" -> another device model (a serial line)
        self.descriptors = {}

    def _port(self, path):
        return self.ports[int(path.split("-")[1]) - 1]

    def _free(self, socket="-"):
        """The first port with nothing plugged in (that one, for a socket)."""
        taken = set(self.printers) | set(self.others)
        for p in self.ports:
            path = "1-%d" % p.port
            if path not in taken and socket in ("-", path):
                return p
        raise RuntimeError("no free socket %s on the guest's bus (1-1 to 1-%d)"
                           % ("" if socket == "-" else socket, len(self.ports)))

    def cmd_add(self, descriptors_hex, serial="-", socket="-"):
        """usb.add HEX [SERIAL [SOCKET]], as on the emulated bus; a socket is
        one of the guest's root ports (1-1, 1-2, ...): it has no hub"""
        port = self._free(socket)
        path = "1-%d" % port.port
        raw = bytearray.fromhex(descriptors_hex)
        printer = UsbPrinter(bytes(raw))
        serial = serial_word(serial)
        if serial is not None:  # a real printer names its serial number in a string descriptor
            raw[16] = raw[16] or 3
        port.strings = {raw[16]: serial} if serial is not None else {}
        self.printers[path] = printer
        self.descriptors[path] = bytes(raw)
        port.plug(printer, self.descriptors[path])
        return path

    def plug_other(self, model, raw):
        """Plugs another kind of device into the first free port: its path."""
        port = self._free()
        path = "1-%d" % port.port
        self.others[path] = model
        port.strings = {}
        port.plug(model, raw)
        return path

    def unplug_other(self, path, forget=True):
        self._port(path).unplug()
        if forget:
            del self.others[path]

    def cmd_unplug_all(self):
        for path in self.printers:
            self._port(path).unplug()
        self.printers = {}

    def cmd_unplugged(self, path, on):
        port = self._port(path)
        if on == "1":
            port.unplug()
        elif not port.attached:
            port.plug(self._get(path), self.descriptors[path])
            return "replugged"

    cmd_gone = cmd_unplugged

    def cmd_unplug_during(self, path, call):
        """the device leaves the bus while the next such call is in flight"""
        printer = self._get(path)
        with printer.lock:
            printer.unplug_during = call

    def cmd_vanish_on_scan(self, path):
        raise RuntimeError("a real bus has no moment between libusb's scan and its open to vanish in")

    def cmd_claims(self, path):
        raise RuntimeError("claims are the guest kernel's; the guest's relay answers them")
