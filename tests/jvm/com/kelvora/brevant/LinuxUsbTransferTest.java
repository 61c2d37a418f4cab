package com.kelvora.brevant;

import static com.kelvora.brevant.Raises.JNI_FAULT;
import static com.kelvora.brevant.Raises.raises;
import static com.kelvora.brevant.Raises.DEVICE_GONE;
import static com.kelvora.printersim.UsbPrinter.ENODEV;
import static com.kelvora.printersim.UsbPrinter.EPIPE;
import static com.kelvora.printersim.UsbPrinter.ESHUTDOWN;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.kelvora.printersim.UsbPrinter;
import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;

/** Vendor requests, bulk transfers and the device-gone handling. */
class LinuxUsbTransferTest {
    /** For calls the printer answers at once: far more than a loaded guest under TCG needs. */
    static final int SOON = 1000;

    static final String CONTROL_FAILED = "NATIVE_FN_CALL_FAILURE       Native call to usb_control_msg failed.";
    static final String ONLINE_FAILED = "NATIVE_FN_CALL_FAILURE       Netive call to usb_control_msg failed";
    static final String READ_FAILED = "NATIVE_FN_CALL_FAILURE       Native call to usb_bulk_read failed.";

    private Ports<VelaCommPortLinuxUSB> support;
    private UsbPrinter printer;
    private VelaCommPortLinuxUSB port;

    @BeforeEach
    void openPrinter() throws Exception {
        support = Ports.usb();
        printer = UsbPrinter.standard(support.sim);
        port = support.open("usb0");
        printer.events();
    }

    @AfterEach
    void closeAll() {
        support.close();
    }

    private static byte[] pattern(int n) {
        byte[] b = new byte[n];
        for (int i = 0; i < n; i++) b[i] = (byte) (i * 13 + 5);
        return b;
    }

    @Test
    void vendorRequestsCarryTheirSetupAndTimeouts() throws Exception {
        printer.setStatus(0x18);
        assertEquals(0x00, port._getENQStatus(77));
        assertTrue(port._getOnlineStatus(88));
        port._hdwrResetDevice();
        printer.countReply(0, 0);
        port._receiveData(new byte[4], 4, 99);
        assertEquals(List.of("control:c0:01:0000:0000:1:77", "control:c0:01:0000:0000:1:88",
                        "control:40:02:0000:0000:0:500", "control:c0:03:0100:0000:2:99"),
                printer.events("control"));
        port._getENQStatus(0x1_0000_0007L);  // only the low 32 bits go on
        assertEquals(List.of("control:c0:01:0000:0000:1:7"), printer.events("control"));
    }

    @Test
    void statusByteGivesEnqAndOnline() throws Exception {
        // The decoding itself is unit-tested; these rows show the byte reaches it.
        int[][] rows = {{0x20, 0, 0x0C}, {0xDF, 1, 0x00}};  // status, online, ENQ
        for (int[] row : rows) {
            printer.setStatus(row[0]);
            assertEquals(row[2], port._getENQStatus(50), "ENQ of " + row[0]);
            assertEquals(row[1] == 1, port._getOnlineStatus(50), "online of " + row[0]);
        }
    }

    @Test
    void receiveAsksForTheCountWithinTheBuffer() throws Exception {
        printer.bulkIn(pattern(5));
        printer.countReply(0x05, 0x00);
        byte[] got = new byte[8];
        assertEquals(5, port._receiveData(got, 8, SOON));
        assertArrayEquals(Arrays.copyOf(pattern(5), 8), got);
        printer.bulkIn(pattern(3));
        printer.countReply(0x00, 0x04);  // 1024: more than the buffer holds
        assertEquals(3, port._receiveData(got, 8, SOON));
        printer.countReply(0x10, 0x80);  // negative
        assertEquals(0, port._receiveData(got, 8, SOON));
        assertEquals(List.of("bulk_in:82:5", "bulk_in:82:256", "bulk_in:82:0"), printer.events("bulk_in"));

        // A reply shorter than two bytes leaves the missing bytes zero.
        printer.bulkIn(pattern(10));
        printer.countReplyBytes(new byte[] {0x05});
        assertEquals(5, port._receiveData(got, 8, SOON));
        printer.countReplyBytes(new byte[0]);
        assertEquals(0, port._receiveData(got, 8, SOON));
        assertEquals(List.of("bulk_in:82:5", "bulk_in:82:0"), printer.events("bulk_in"));
    }

    @Test
    void receiveHandsOverNoMoreThanWantedAndTheArrayHolds() throws Exception {
        printer.bulkIn(pattern(10));
        printer.countFromData();
        byte[] got = new byte[8];
        assertEquals(4, port._receiveData(got, 4, SOON));
        assertArrayEquals(Arrays.copyOf(Arrays.copyOf(pattern(10), 4), 8), got);
        printer.bulkIn(pattern(10));
        byte[] small = new byte[3];
        assertEquals(3, port._receiveData(small, 10, SOON));
        assertArrayEquals(Arrays.copyOf(pattern(10), 3), small);
        printer.bulkIn(pattern(10));
        assertEquals(0, port._receiveData(small, 0, SOON));
        printer.bulkIn(pattern(10));
        assertEquals(0, port._receiveData(small, -5, SOON));
        assertArrayEquals(Arrays.copyOf(pattern(10), 3), small, "nothing copied");
        assertEquals(4, printer.events("bulk_in").size(), "the read is made even for 0 wanted");
        raises(JNI_FAULT, () -> port._receiveData(null, 1, SOON));
    }

    @Test
    void receiveFailuresKeepThePortOpen() throws Exception {
        // ESHUTDOWN from a printer still there (a reset cuts transfers so) is an ordinary failure.
        printer.failControl(0x03, ESHUTDOWN);
        raises("NATIVE_FN_CALL_FAILURE       Native call to usb_control_msg for QDXUSB_REQUEST_BULKIN failed.",
                () -> port._receiveData(new byte[2], 2, SOON));
        printer.failControl(0x03, 0);
        // libusb hands a stall back as a read of nothing; so too a printer
        // that announces bytes and sends none. Each clears the IN halt.
        printer.stallBulkIn(true);
        printer.countReply(4, 0);
        raises(READ_FAILED, () -> port._receiveData(new byte[2], 2, SOON));
        raises(READ_FAILED, () -> port._receiveData(new byte[2], 2, SOON));
        assertEquals(List.of("bulk_in:82:4", "clear_halt:82", "bulk_in:82:4", "clear_halt:82"),
                printer.events("bulk_in", "clear_halt"));
        printer.bulkIn(pattern(2));
        printer.countFromData();
        assertEquals(2, port._receiveData(new byte[2], 2, SOON));
    }

    @Test
    void sendGoesOutInChunksOf4096() throws Exception {
        byte[] data = pattern(10000);
        assertEquals(10000, port._sendData(data, 10000, SOON));
        assertArrayEquals(data, printer.take());
        assertEquals(List.of("bulk_out:01:4096:ok", "bulk_out:01:4096:ok", "bulk_out:01:1808:ok"),
                printer.events("bulk_out"));
        assertEquals(6, port._sendData(pattern(6), 100, SOON));
        assertEquals(0, port._sendData(pattern(6), 0, SOON));
        assertEquals(0, port._sendData(pattern(6), -1, SOON));
        assertEquals(List.of("bulk_out:01:6:ok"), printer.events("bulk_out"));
        raises(JNI_FAULT, () -> port._sendData(null, 1, SOON));
    }

    @Test
    void aChunkCutShortClearsTheHaltAndCountsWholeChunks() throws Exception {
        printer.outPlan("ok", "timeout");
        assertEquals(4096, port._sendData(pattern(10000), 10000, 60));
        assertEquals(List.of("bulk_out:01:4096:ok", "bulk_out:01:4096:timeout", "clear_halt:01"),
                printer.events("bulk_out", "clear_halt"));
        printer.outPlan("ok", "short:100");
        assertEquals(4096, port._sendData(pattern(10000), 10000, 60));
        printer.outPlan("stall");
        assertEquals(0, port._sendData(pattern(10), 10, 60));
        assertEquals(List.of("bulk_out:01:4096:ok", "bulk_out:01:4096:short:100", "clear_halt:01",
                        "bulk_out:01:10:stall", "clear_halt:01"),
                printer.events("bulk_out", "clear_halt"));
        assertTrue(port._getOnlineStatus(50), "still open");
    }

    @Test
    void controlFailuresHaveTheirOwnSpelling() throws Exception {
        printer.failControl(0x01, EPIPE);
        raises(CONTROL_FAILED, () -> port._getENQStatus(50));
        raises(ONLINE_FAILED, () -> port._getOnlineStatus(50));
        printer.failControl(0x02, EPIPE);
        raises(CONTROL_FAILED, port::_hdwrResetDevice);
        printer.failControl(0x01, 0);
        assertEquals(0, port._getENQStatus(50));
    }

    @Test
    void theCheckForAGonePrinterSpendsWhatRemainsOfTheCallersTimeout() throws Exception {
        // A request refused at once leaves the check most of its 100 ms, not 200 of its own.
        printer.failControl(0x01, EPIPE);
        raises(ONLINE_FAILED, () -> port._getOnlineStatus(100));
        // A printer that stopped answering: the request waits out its 100 ms,
        // so the check gets only the few milliseconds it always has.
        printer.failControl(0x01, 0);
        printer.silent(true);
        raises(CONTROL_FAILED, () -> port._getENQStatus(100));
        printer.silent(false);
        List<String> events = printer.events("control", "get_status");
        assertEquals(List.of("control", "get_status", "control", "get_status"),
                events.stream().map(e -> e.split(":")[0]).toList(), events.toString());
        int[] checks = {probe(events.get(1)), probe(events.get(3))};
        assertTrue(checks[0] > 0 && checks[0] <= 100 && checks[1] > 0 && checks[1] <= 10, events.toString());
        assertTrue(port._getOnlineStatus(100), "still open");
    }

    private static int probe(String event) {
        return Integer.parseInt(event.substring(event.lastIndexOf(':') + 1));
    }

    private void assertGoneClosesThePort(Executable call) throws Exception {
        raises(DEVICE_GONE, call);
        raises(support.portNotOpened, () -> port._sendData(new byte[1], 1, 10));
        printer.unplugged(false);
        printer.failBulkIn(0);
        port._openPort("usb0", null);  // the printer is back
        assertEquals(1, printer.claims());
    }

    @Test
    void aVanishedDeviceClosesThePortOnEveryKindOfCall() throws Exception {
        printer.gone(true);
        assertGoneClosesThePort(() -> port._getOnlineStatus(50));
        printer.gone(true);
        assertGoneClosesThePort(() -> port._getENQStatus(50));
        printer.gone(true);
        assertGoneClosesThePort(port::_hdwrResetDevice);
        printer.gone(true);
        assertGoneClosesThePort(() -> port._sendData(pattern(5000), 5000, SOON));
        printer.gone(true);
        assertGoneClosesThePort(() -> port._receiveData(new byte[4], 4, SOON));
        printer.countReply(4, 0);
        printer.failBulkIn(ENODEV);  // gone between the request and the read
        assertGoneClosesThePort(() -> port._receiveData(new byte[4], 4, SOON));
        // Unplugged in the middle of the call: a control request fails with
        // ESHUTDOWN, a bulk transfer comes back empty.
        printer.unplugDuring("control:1");
        assertGoneClosesThePort(() -> port._getENQStatus(50));
        printer.unplugDuring("control:1");
        assertGoneClosesThePort(() -> port._getOnlineStatus(50));
        printer.unplugDuring("control:2");
        assertGoneClosesThePort(port::_hdwrResetDevice);
        printer.unplugDuring("control:3");
        assertGoneClosesThePort(() -> port._receiveData(new byte[4], 4, SOON));
        printer.unplugDuring("bulk_in");
        assertGoneClosesThePort(() -> port._receiveData(new byte[4], 4, 1000));
        printer.unplugDuring("bulk_out");
        assertGoneClosesThePort(() -> port._sendData(pattern(5000), 5000, 1000));
        assertEquals(5000, port._sendData(pattern(5000), 5000, SOON));
    }
}
