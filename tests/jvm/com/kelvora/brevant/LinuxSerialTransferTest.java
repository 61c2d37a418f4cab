package com.kelvora.brevant;

import static com.kelvora.brevant.Raises.MEMORY;
import static com.kelvora.brevant.Raises.raises;
import static com.kelvora.brevant.Printers.HDWR;
import static com.kelvora.brevant.Printers.PLAIN;
import static com.kelvora.brevant.Printers.XONXOFF;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.kelvora.printersim.SerialPrinter;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;

/** Receiving with the idle timeout and sending with and without DSR. */
class LinuxSerialTransferTest {
    static final String READ_LENGTH =
            "NATIVE_FN_CALL_FAILURE       Requested read length not available before timeout.";

    private final Ports<VelaCommPortLinuxSerial> support = Ports.serial();

    @AfterEach
    void closeAll() {
        support.close();
    }

    private static byte[] pattern(int n) {
        byte[] b = new byte[n];
        for (int i = 0; i < n; i++) b[i] = (byte) (0x20 + i % 90);  // never ENQ or EOT
        return b;
    }

    @Test
    void receiveTakesExactlyTheLengthAndStoresWhatTheArrayHolds() throws Exception {
        var o = Printers.plain(support, PLAIN);
        o.printer.feed(pattern(16), 0);
        byte[] four = new byte[4];
        assertEquals(4, o.port._receiveData(four, 10, 500));
        assertArrayEquals(Arrays.copyOfRange(pattern(16), 0, 4), four);
        byte[] rest = new byte[8];
        assertEquals(6, o.port._receiveData(rest, 6, 500));  // the 10 were consumed
        assertArrayEquals(Arrays.copyOfRange(pattern(16), 10, 16), Arrays.copyOf(rest, 6));
        assertEquals(0, rest[6]);
        assertEquals(0, o.port._receiveData(rest, 0, 500));
    }

    @Test
    void receiveWithoutTimeFailsAtOnceAndLeavesTheQueue() throws Exception {
        var o = Printers.plain(support, PLAIN);
        o.printer.feed(pattern(3), 0);
        o.printer.awaitHostQueued(3);
        raises(READ_LENGTH, () -> o.port._receiveData(new byte[3], 3, 0));
        raises(READ_LENGTH, () -> o.port._receiveData(new byte[3], 3, -5));
        byte[] got = new byte[3];
        assertEquals(3, o.port._receiveData(got, 3, 100));
        assertArrayEquals(pattern(3), got);
    }

    @Test
    void theReceiveTimeoutBoundsSilenceNotTheTransfer() throws Exception {
        var o = Printers.plain(support, PLAIN);
        // One byte every 100 ms, 3.5 s in all, against an idle timeout 25
        // times the gap: the whole transfer outlasts the timeout.
        o.printer.feed(pattern(35), 100);
        byte[] got = new byte[35];
        long t0 = System.nanoTime();
        assertEquals(35, o.port._receiveData(got, 35, 2500));
        long ms = (System.nanoTime() - t0) / 1_000_000;
        assertTrue(ms > 2500, "took " + ms + " ms");
        assertArrayEquals(pattern(35), got);

        o.printer.feed(pattern(2), 0);
        t0 = System.nanoTime();
        raises(READ_LENGTH, () -> o.port._receiveData(new byte[5], 5, 100));
        ms = (System.nanoTime() - t0) / 1_000_000;
        assertTrue(ms >= 100, "gave up after " + ms + " ms");
    }

    @Test
    void negativeLengthsNeverBecomeSizes() throws Exception {
        var o = Printers.plain(support, PLAIN);
        raises(MEMORY, () -> o.port._receiveData(new byte[4], -1, 100));
        assertEquals(0, o.port._sendData(pattern(4), -1, 100));
        assertEquals(0, o.port._sendDataOffline(pattern(4), Integer.MIN_VALUE, 100));
        assertArrayEquals(new byte[0], o.printer.take());
    }

    @Test
    void sendWritesTheArrayAtMostAndNeedsTime() throws Exception {
        var o = Printers.plain(support, XONXOFF);
        byte[] data = pattern(300);
        assertEquals(300, o.port._sendData(data, 5000, 100));
        assertArrayEquals(data, o.printer.waitFor(300));
        assertEquals(0, o.port._sendData(data, 300, 0));
        assertEquals(0, o.port._sendData(data, 300, -1));
        assertEquals(0, o.port._sendData(data, 0, 100));
        assertEquals(120, o.port._sendDataOffline(data, 120, 100));
        assertArrayEquals(Arrays.copyOf(data, 120), o.printer.waitFor(120));
    }

    @Test
    void hardwareFlowSendsInBlocksOf256WhileDsrIsHigh() throws Exception {
        var o = Printers.modem(support, "ttyS3", HDWR);
        o.printer.events();
        byte[] data = pattern(1000);
        assertEquals(1000, o.port._sendData(data, 1000, 500));
        assertArrayEquals(data, o.printer.waitFor(1000));
        // Before each block DSR is read again; the printer had by then
        // received every earlier block whole.
        StringBuilder seen = new StringBuilder();
        for (String e : o.printer.events()) {
            String[] f = e.split(":");
            if (f[1].equals("mget")) seen.append(f[2]).append(' ');
        }
        assertEquals("0 256 512 768 ", seen.toString());
    }

    @Test
    void hardwareFlowGivesUpAfterTheTimeoutWithDsrLow() throws Exception {
        var o = Printers.modem(support, "ttyS4", HDWR);
        o.printer.setLines(SerialPrinter.CTS);
        o.printer.events();
        long t0 = System.nanoTime();
        assertEquals(0, o.port._sendData(pattern(10), 10, 200));
        long ms = (System.nanoTime() - t0) / 1_000_000;
        assertTrue(ms >= 200, "returned after " + ms + " ms");
        // Ten 20 ms steps, each one look at DSR.
        assertEquals(10, java.util.Arrays.stream(o.printer.events()).filter(e -> e.contains(":mget:")).count());
        assertArrayEquals(new byte[0], o.printer.take());

        // Offline sending does not look at DSR.
        assertEquals(10, o.port._sendDataOffline(pattern(10), 10, 200));
        assertArrayEquals(pattern(10), o.printer.waitFor(10));
    }

    @Test
    void dsrDroppingMidSendReturnsTheBlocksSent() throws Exception {
        var o = Printers.modem(support, "ttyS5", HDWR);
        support.sim.call("serial.drop_dsr_after " + o.printer.path + " 512");
        long t0 = System.nanoTime();
        assertEquals(512, o.port._sendData(pattern(2048), 2048, 150));
        assertTrue(System.nanoTime() - t0 >= 140_000_000L);
        assertArrayEquals(Arrays.copyOf(pattern(2048), 512), o.printer.waitFor(512));
    }

    @Test
    void hardwareFlowAndOnlineOnALineWithoutModemControlFail() throws Exception {
        var o = Printers.plain(support, HDWR);
        raises("NATIVE_FN_CALL_FAILURE       Native call to ioctl for TIOCMGET failed.",
                () -> o.port._sendData(pattern(4), 4, 100));
        raises("NATIVE_FN_CALL_FAILURE       Native call to ioctl for TIOCMGET failed.",
                () -> o.port._getOnlineStatus(0));
        assertEquals(4, o.port._sendDataOffline(pattern(4), 4, 100));
    }

    /** A receive of `length` bytes on another thread, returned once that thread sleeps in poll(). */
    private static CompletableFuture<String> receiveAsleep(VelaCommPortLinuxSerial port, int length, int timeout)
            throws Exception {
        var waiting = new CompletableFuture<Path>();
        var receive = CompletableFuture.supplyAsync(() -> {
            try {
                waiting.complete(Path.of("/proc", Files.readSymbolicLink(Path.of("/proc/thread-self")).toString(), "wchan"));
                return "returned " + port._receiveData(new byte[length], length, timeout);
            } catch (Exception e) {
                return e.getMessage();
            }
        });
        Path wchan = waiting.get(SerialPrinter.ARRIVAL_MS, TimeUnit.MILLISECONDS);
        long end = System.nanoTime() + SerialPrinter.ARRIVAL_MS * 1_000_000L;
        while (!Files.readString(wchan).contains("poll")) {
            assertTrue(System.nanoTime() < end, "the receive never waited");
            Thread.sleep(1);
        }
        return receive;
    }

    @Test
    void aReceiveWhosePortIsClosedUnderItLeavesTheNextPortAlone() throws Exception {
        // Another thread closes the port mid-receive and opens another, which
        // gets the same descriptor: the receive ends at the close, long before
        // its timeout, and never reads the new line.
        var a = Printers.plain(support, PLAIN);
        var receive = receiveAsleep(a.port, 4, 600_000);
        a.port._closePort();
        var b = Printers.plain(support, "2400,none,8,2,none");
        long[] settings = b.printer.termios();
        byte[] data = pattern(4);
        b.printer.feed(data, 0);
        // A receive that read another line's bytes would return 4 here.
        assertEquals("Port not opened", receive.get(60, TimeUnit.SECONDS));
        assertArrayEquals(settings, b.printer.termios());
        byte[] got = new byte[4];
        assertEquals(4, b.port._receiveData(got, 4, 1000));
        assertArrayEquals(data, got);
    }

    @Test
    void aLineUnpluggedUnderAReceiveEndsItAtOnce() throws Exception {
        // A USB serial line pulled out hangs its tty up; no byte can come any more.
        var o = Printers.plain(support, PLAIN);
        var receive = receiveAsleep(o.port, 4, 600_000);
        o.printer.unplug();
        assertEquals("NATIVE_FN_CALL_FAILURE       Native call to FIONREAD failed.",
                receive.get(60, TimeUnit.SECONDS));
        raises("NATIVE_FN_CALL_FAILURE       Native call to write failed.",
                () -> o.port._sendDataOffline(pattern(4), 4, 100));
        o.port._closePort();
    }
}
