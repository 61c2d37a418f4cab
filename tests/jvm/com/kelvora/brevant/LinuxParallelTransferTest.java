package com.kelvora.brevant;

import static com.kelvora.brevant.Raises.MEMORY;
import static com.kelvora.brevant.Raises.JNI_FAULT;
import static com.kelvora.brevant.Raises.raises;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;

/** Compatibility-mode output gated by Select, nibble-mode input. */
class LinuxParallelTransferTest {
    static final String NIBBLE_FAILED =
            "COMM_FAILURE                 Could not negotiate NIBBLE communications mode and can not read";

    private final Ports<VelaCommPortLinuxParallel> support = Ports.parallel();

    @AfterEach
    void closeAll() {
        support.close();
    }

    private static byte[] pattern(int n) {
        byte[] b = new byte[n];
        for (int i = 0; i < n; i++) b[i] = (byte) (i * 7 + 1);
        return b;
    }

    private static long msSince(long t0) {
        return (System.nanoTime() - t0) / 1_000_000;
    }

    @Test
    void sendNegotiatesCompatibilityBeforeEveryWrite() throws Exception {
        var o = Printers.parallel(support);
        o.printer.acceptPerWrite(40);
        o.printer.events();
        assertEquals(100, o.port._sendData(pattern(100), 100, 200));
        assertArrayEquals(pattern(100), o.printer.take());
        assertEquals(List.of("negot:256", "rstatus:152", "write:40", "negot:256", "rstatus:152",
                        "write:40", "negot:256", "rstatus:152", "write:20"),
                Printers.kinds(o.printer.events(), "negot", "rstatus", "write"));
        // No more than the array, and nothing for a negative count.
        o.printer.acceptAll();
        assertEquals(8, o.port._sendData(pattern(8), 50, 200));
        assertEquals(0, o.port._sendData(pattern(8), -3, 200));
        assertEquals(0, o.port._sendData(pattern(8), 0, 200));
        assertArrayEquals(pattern(8), o.printer.take());
        raises(JNI_FAULT, () -> o.port._sendData(null, 1, 10));
    }

    @Test
    void anOfflinePrinterGetsNothingAfterTheTimeoutInFiftyMillisecondSteps() throws Exception {
        var o = Printers.parallel(support);
        o.printer.setStatus(0x08);  // Select low
        long t0 = System.nanoTime();
        assertEquals(0, o.port._sendData(pattern(10), 10, 120));  // three steps of 50
        long ms = msSince(t0);
        assertTrue(ms >= 150, "returned after " + ms + " ms");
        assertEquals(4, Printers.kinds(o.printer.events(), "rstatus").size());
        // Without time there is the first attempt only, and no sleep.
        assertEquals(0, o.port._sendData(pattern(10), 10, 0));
        assertEquals(1, Printers.kinds(o.printer.events(), "rstatus").size());
        assertEquals(0, o.port._sendData(pattern(10), 10, 0x1_0000_0000L));  // low 32 bits: 0
        assertEquals(1, Printers.kinds(o.printer.events(), "rstatus").size());
        assertArrayEquals(new byte[0], o.printer.take());
    }

    @Test
    void aSlowButSteadyPrinterNeverTimesOut() throws Exception {
        var o = Printers.parallel(support);
        o.printer.acceptPerWrite(1);
        assertEquals(300, o.port._sendData(pattern(300), 300, 60));
        assertArrayEquals(pattern(300), o.printer.take());
        o.printer.acceptPerWrite(0);  // busy: the write moves nothing
        long t0 = System.nanoTime();
        assertEquals(0, o.port._sendData(pattern(5), 5, 100));
        assertTrue(msSince(t0) >= 100);
    }

    @Test
    void goingOfflineMidSendReturnsTheCountSoFar() throws Exception {
        var o = Printers.parallel(support);
        o.printer.acceptPerWrite(64);
        o.printer.offlineAfter(192);
        long t0 = System.nanoTime();
        assertEquals(192, o.port._sendData(pattern(1000), 1000, 100));
        assertTrue(msSince(t0) >= 100);
        assertArrayEquals(Arrays.copyOf(pattern(1000), 192), o.printer.take());
    }

    @Test
    void receiveReadsNibblesUntilTheTimeoutRoundedDown() throws Exception {
        var o = Printers.parallel(support);
        o.printer.nibbles(new byte[] {1, 2}, new byte[0], new byte[] {3, 4, 5});
        o.printer.events();
        byte[] got = new byte[5];
        assertEquals(5, o.port._receiveData(got, 5, 1000));
        assertArrayEquals(new byte[] {1, 2, 3, 4, 5}, got);
        assertEquals(List.of("negot:256", "negot:0", "read:5", "read:3", "read:3"),
                Printers.kinds(o.printer.events(), "negot", "read"));

        long t0 = System.nanoTime();
        assertEquals(0, o.port._receiveData(got, 5, 170));  // three sleeps of 50
        long ms = msSince(t0);
        assertTrue(ms >= 150, "gave up after " + ms + " ms");
        assertEquals(4, Printers.kinds(o.printer.events(), "read").size());
        assertEquals(0, o.port._receiveData(got, 5, 49));
        assertEquals(1, Printers.kinds(o.printer.events(), "read").size());
    }

    @Test
    void receiveStoresWhatTheArrayHolds() throws Exception {
        var o = Printers.parallel(support);
        o.printer.nibbles(pattern(10));
        byte[] small = new byte[4];
        assertEquals(4, o.port._receiveData(small, 10, 100));
        assertArrayEquals(Arrays.copyOf(pattern(10), 4), small);
        assertEquals(List.of("read:10"), Printers.kinds(o.printer.events(), "read"));
        // Nothing wanted: one read of nothing, however long the timeout.
        assertEquals(0, o.port._receiveData(small, 0, 600_000));
        assertEquals(List.of("read:0"), Printers.kinds(o.printer.events(), "read"));
        raises(MEMORY, () -> o.port._receiveData(small, -1, 100));
        raises(JNI_FAULT, () -> o.port._receiveData(null, 1, 100));
    }

    @Test
    void aRefusedNibbleNegotiationCannotRead() throws Exception {
        var o = Printers.parallel(support);
        o.printer.fail("nibble");
        raises(NIBBLE_FAILED, () -> o.port._receiveData(new byte[2], 2, 100));
        o.printer.fail("compat");  // only the nibble result counts
        o.printer.nibbles(new byte[] {9});
        byte[] got = new byte[1];
        assertEquals(1, o.port._receiveData(got, 1, 100));
        assertEquals(9, got[0]);
    }
}
