package com.kelvora.printersim;

import java.io.ByteArrayOutputStream;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.HexFormat;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Set;

/** One emulated USB device on bus 001, as libusb-0.1 finds it in /dev/bus/usb. */
public final class UsbPrinter {
    public static final int VENDOR = 0x0F3C;
    public static final int PRODUCT = 0x0002;
    public static final int BULK = 2;
    public static final int INTERRUPT = 3;
    /** Errors a device call can fail with. */
    public static final int EIO = 5, ENODEV = 19, EPIPE = 32, ESHUTDOWN = 108;

    private final PrinterSim sim;
    public final String path;

    /** A device whose node holds these descriptor bytes. */
    public UsbPrinter(PrinterSim sim, byte[] descriptors) {
        this(sim, descriptors, null, null);
    }

    /**
     * A device with this serial number (null: none) in the socket of this
     * kernel name (null: 1-N, after its device number N).
     */
    public UsbPrinter(PrinterSim sim, byte[] descriptors, String serial, String socket) {
        this.sim = sim;
        this.path = sim.call("usb.add " + PrinterSim.hex(descriptors) + " " + serialWord(serial)
                + " " + (socket == null ? "-" : socket));
    }

    /** A serial number as one word of a command: spaces and more than ASCII go as hex: and UTF-8. */
    private static String serialWord(String serial) {
        if (serial == null) {
            return "-";
        }
        return serial.matches("[!-~]+") && !serial.equals("-") && !serial.startsWith("hex:") ? serial
                : "hex:" + HexFormat.of().formatHex(serial.getBytes(StandardCharsets.UTF_8));
    }

    /** The printer as shipped: one interface, bulk OUT 0x01 and bulk IN 0x82. */
    public static UsbPrinter standard(PrinterSim sim) {
        return standard(sim, null, null);
    }

    public static UsbPrinter standard(PrinterSim sim, String serial, String socket) {
        return new UsbPrinter(sim, descriptors(VENDOR, PRODUCT, new int[] {0, 0, 0x01, BULK, 0x82, BULK}),
                serial, socket);
    }

    /** Takes every device off the bus. */
    public static void unplugAll(PrinterSim sim) {
        sim.call("usb.unplug_all");
    }

    /**
     * Device and configuration descriptors. Each setting is {interface
     * number, alternate setting, then endpoint address and attributes pairs},
     * all in one configuration (value 1); settings of one interface follow
     * each other.
     */
    public static byte[] descriptors(int vendor, int product, int[]... settings) {
        ByteArrayOutputStream body = new ByteArrayOutputStream();
        Set<Integer> interfaces = new LinkedHashSet<>();
        for (int[] s : settings) {
            interfaces.add(s[0]);
            int endpoints = (s.length - 2) / 2;
            body.writeBytes(new byte[] {9, 4, (byte) s[0], (byte) s[1], (byte) endpoints, 7, 1, 2, 0});
            for (int e = 0; e < endpoints; e++) {
                // A real bus refuses an interrupt endpoint polled every 0 frames.
                int interval = s[3 + 2 * e] == INTERRUPT ? 1 : 0;
                body.writeBytes(new byte[] {7, 5, (byte) s[2 + 2 * e], (byte) s[3 + 2 * e], 64, 0, (byte) interval});
            }
        }
        int total = 9 + body.size();
        ByteArrayOutputStream all = new ByteArrayOutputStream();
        all.writeBytes(new byte[] {0x12, 1, 0, 2, 0, 0, 0, 64, (byte) vendor, (byte) (vendor >> 8),
            (byte) product, (byte) (product >> 8), 0, 1, 0, 0, 0, 1});
        all.writeBytes(new byte[] {9, 2, (byte) total, (byte) (total >> 8), (byte) interfaces.size(), 1, 0,
            (byte) 0xC0, 50});
        all.writeBytes(body.toByteArray());
        return all.toByteArray();
    }

    public void setStatus(int status) {
        sim.call("usb.status " + path + " " + status);
    }

    /** The raw two bytes the waiting-bytes request answers. */
    public void countReply(int first, int second) {
        sim.call("usb.count " + path + " " + String.format("%02x%02x", first, second));
    }

    /** A waiting-bytes reply of these bytes only (fewer than the two asked for). */
    public void countReplyBytes(byte[] reply) {
        sim.call("usb.count " + path + " " + PrinterSim.hex(reply));
    }

    /** Control requests (GET_STATUS too) wait out their timeout and fail with ETIMEDOUT, or are answered again. */
    public void silent(boolean silent) {
        sim.call("usb.silent " + path + " " + (silent ? 1 : 0));
    }

    /** Bulk IN reads stay pending until libusb's timeout discards them. */
    public void holdBulkIn(boolean hold) {
        sim.call("usb.hold_bulk_in " + path + " " + (hold ? 1 : 0));
    }

    /** The waiting-bytes reply follows what bulkIn holds (little-endian). */
    public void countFromData() {
        sim.call("usb.count " + path + " auto");
    }

    /** What the next bulk IN read delivers. */
    public void bulkIn(byte[] data) {
        sim.call("usb.bulk_in " + path + " " + PrinterSim.hex(data));
    }

    /** What becomes of successive bulk OUT URBs: ok, short:N, timeout, stall. */
    public void outPlan(String... actions) {
        sim.call("usb.out_plan " + path + " " + String.join(" ", actions));
    }

    /** Fails control requests with bRequest `request` with errno; 0 clears. */
    public void failControl(int request, int errno) {
        sim.call("usb.fail_control " + path + " " + request + " " + (errno == 0 ? "none" : errno));
    }

    public void failBulkIn(int errno) {
        sim.call("usb.fail_bulk_in " + path + " " + errno);
    }

    /** The bulk IN endpoint halts (its reads complete empty with a stall until the halt is cleared), or not. */
    public void stallBulkIn(boolean halted) {
        sim.call("usb.stall_bulk_in " + path + " " + (halted ? 1 : 0));
    }

    /**
     * The device leaves the bus while the next such call is in flight:
     * "control:N" (bRequest N fails with ESHUTDOWN), "bulk_in" or "bulk_out"
     * (the transfer completes empty), or "any" of them. No scan finds it
     * from now on. Bring it back with unplugged(false).
     */
    public void unplugDuring(String call) {
        sim.call("usb.unplug_during " + path + " " + call);
    }

    /** Every call fails with ENODEV while gone; the handles open at that moment stay dead. */
    public void gone(boolean gone) {
        sim.call("usb.gone " + path + " " + (gone ? 1 : 0));
    }

    /** The device leaves the bus (no scan finds it, its handles fail with ENODEV), or comes back. */
    public void unplugged(boolean unplugged) {
        sim.call("usb.unplugged " + path + " " + (unplugged ? 1 : 0));
    }

    /** The node vanishes while libusb scans it, so the open after the scan fails. */
    public void vanishOnScan() {
        sim.call("usb.vanish_on_scan " + path);
    }

    public byte[] take() {
        return PrinterSim.unhex(sim.call("usb.take " + path));
    }

    /** Interfaces claimed, each by one open handle. */
    public int claims() {
        return Integer.parseInt(sim.call("usb.claims " + path));
    }

    /** Calls seen since the last call, each as its ':'-separated fields without the time. */
    public List<String> events(String... kinds) {
        String text = sim.call("usb.events " + path);
        return text.equals("-") ? new ArrayList<>() : PrinterSim.withoutTimes(text.split(" "), kinds);
    }
}
