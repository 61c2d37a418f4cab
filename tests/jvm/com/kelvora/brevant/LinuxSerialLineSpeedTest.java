package com.kelvora.brevant;

import static com.kelvora.brevant.Printers.HDWR;
import static com.kelvora.brevant.Printers.PLAIN;
import static com.kelvora.brevant.Raises.raises;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.kelvora.printersim.SignalStorm;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;

/**
 * Receiving as soon as the bytes are there, timeouts that end at their
 * deadline, and sends through a line that fills up. Every wait runs while
 * the calling thread is signalled every millisecond. Looks at the input
 * count and the thread's sleeps are counted; time is bounded only where a
 * step-by-step wait could not get under the bound at all.
 */
class LinuxSerialLineSpeedTest {
    static final String READ_LENGTH =
            "NATIVE_FN_CALL_FAILURE       Requested read length not available before timeout.";
    static final String WRITE_FAILED = "NATIVE_FN_CALL_FAILURE       Native call to write failed.";
    static final String FIONREAD_FAILED = "NATIVE_FN_CALL_FAILURE       Native call to FIONREAD failed.";
    /** The library's polling step. */
    static final int STEP_MS = 20;
    static final int VMIN = 6, VTIME = 7;  // in SerialPrinter.termios()

    private final Ports<VelaCommPortLinuxSerial> support = Ports.serial();

    @AfterEach
    void closeAll() {
        support.close();
    }

    interface Call {
        void run() throws Exception;
    }

    /** Runs the calls while this thread is signalled every millisecond; the signals sent. */
    private int underSignals(Call call) throws Exception {
        try (SignalStorm storm = SignalStorm.atThisThread(support.sim, 1000)) {
            call.run();
            return storm.stop();
        }
    }

    /** Bytes without a period a duplicated or lost block could hide in, never ENQ or EOT. */
    static byte[] stream(int n) {
        byte[] b = new byte[n];
        long x = 12345;
        for (int i = 0; i < n; i++) {
            x = x * 6364136223846793005L + 1442695040888963407L;
            b[i] = (byte) (0x20 + (int) ((x >>> 33) % 200));
        }
        return b;
    }

    /** The sleeps of the calling thread so far. */
    static long sleepsOfThisThread() throws IOException {
        for (String line : Files.readAllLines(Path.of("/proc/thread-self/status"))) {
            if (line.startsWith("voluntary_ctxt_switches:")) return Long.parseLong(line.split("\\s+")[1]);
        }
        throw new IllegalStateException("no voluntary_ctxt_switches");
    }

    /**
     * Looks at the input count a wait of `ms` may take while `bytes` arrive:
     * one a step, and for each byte the one it wakes and one when the rest
     * is due at line speed.
     */
    static long looksAllowed(long ms, int bytes) {
        return ms / STEP_MS + 3 + 2L * bytes;
    }

    static long msSince(long t0) {
        return (System.nanoTime() - t0) / 1_000_000;
    }

    @Test
    void aReplyInOnePieceReturnsBeforeTheNextStep() throws Exception {
        var o = Printers.modem(support, "ttyS60", PLAIN);
        long[] before = o.printer.termios();
        byte[] reply = stream(12);
        long[] best = {Long.MAX_VALUE};
        int[] looks = {0};
        int signals = underSignals(() -> {
            for (int i = 0; i < 8; i++) {
                o.printer.looks();
                // The reply leaves the printer right after the library's first
                // look, when a step-by-step wait has a whole step to sleep.
                o.printer.feedOnLook(reply);
                byte[] got = new byte[12];
                long t0 = System.nanoTime();
                assertEquals(12, o.port._receiveData(got, 12, 5000));
                best[0] = Math.min(best[0], System.nanoTime() - t0);
                assertArrayEquals(reply, got);
                looks[0] += o.printer.looks();
            }
        });
        assertTrue(signals >= 5, "only " + signals + " signals");
        // The look that let the reply go, and the one that found it whole
        // (one more when the reply reached the line in two pieces).
        assertTrue(looks[0] <= 8 * 3, looks[0] + " looks for 8 replies");
        assertTrue(best[0] < STEP_MS * 1_000_000L, "fastest reply took " + best[0] / 1000 + " us");
        assertArrayEquals(before, o.printer.termios());
    }

    @Test
    void aReplyTrickledAtLineSpeedIsTakenWithItsLastByte() throws Exception {
        var o = Printers.modem(support, "ttyS64", PLAIN);  // 9600 baud: a byte per 1.04 ms
        long best = Long.MAX_VALUE;
        int looks = 0;
        long ms = 0;
        for (int i = 0; i < 8; i++) {
            // One byte per millisecond, as a UART delivers a reply.
            byte[] reply = stream(i % 2 == 0 ? 4 : 16);
            o.printer.looks();
            o.printer.feed(reply, 1);
            byte[] got = new byte[reply.length];
            long t0 = System.nanoTime();
            assertEquals(reply.length, o.port._receiveData(got, reply.length, 5000));
            long took = System.nanoTime() - t0;
            assertArrayEquals(reply, got);
            if (reply.length == 4) best = Math.min(best, took);
            ms += took / 1_000_000;
            looks += o.printer.looks();
        }
        // A wait that slept a step once bytes came could not return before
        // the step after the first byte.
        assertTrue(best < STEP_MS * 1_000_000L, "fastest 4-byte reply took " + best / 1000 + " us");
        // One look when the first byte wakes the wait and one when the rest
        // are due, a few more where the feed lags the line; not one per byte.
        assertTrue(looks <= 8 * 6 + ms / STEP_MS, looks + " looks for 4 x 4 + 4 x 16 bytes in " + ms + " ms");
    }

    @Test
    void repliesArrivingByteByByteAreWaitedForWholeAndTheLineIsPutBack() throws Exception {
        var o = Printers.modem(support, "ttyS61", PLAIN);
        // A status query leaves VMIN 0 and VTIME set: poll() then reports
        // the first byte, and the wait must still hold out for the rest.
        o.printer.reply(0x05, 0x12);
        assertEquals(0x12, o.port._getENQStatus(1500));
        long[] port = o.printer.termios();
        assertEquals(0, port[VMIN]);
        assertEquals(15, port[VTIME]);
        o.printer.take();
        byte[] slow = stream(6);
        byte[] big = stream(300);  // more than VMIN can hold
        underSignals(() -> {
            o.printer.looks();
            o.printer.feed(slow, 40);
            byte[] got = new byte[6];
            long t0 = System.nanoTime();
            assertEquals(6, o.port._receiveData(got, 6, 1000));
            long ms = msSince(t0);
            assertArrayEquals(slow, got);
            assertTrue(o.printer.looks() <= looksAllowed(ms, 6), "looked more often than a step and the bytes that came explain");

            o.printer.feed(Arrays.copyOf(big, 260), 0);
            o.printer.feed(Arrays.copyOfRange(big, 260, 300), 3);
            got = new byte[300];
            t0 = System.nanoTime();
            assertEquals(300, o.port._receiveData(got, 300, 1000));
            ms = msSince(t0);
            assertArrayEquals(big, got);
            assertTrue(o.printer.looks() <= looksAllowed(ms, 40), "the wait spun once 255 bytes were there");
            raises(READ_LENGTH, () -> o.port._receiveData(new byte[1], 1, 60));  // nothing left over

            // A look that fails mid-wait leaves the line as the port had it:
            // the first look finds nothing, the second one byte, the third fails.
            o.printer.fail("fionread3");
            o.printer.feedOnLook(stream(1));
            raises(FIONREAD_FAILED, () -> o.port._receiveData(new byte[9], 9, 1000));
            o.printer.fail();
        });
        // VMIN and VTIME stayed as the line had them while every byte was awaited.
        assertEquals("0:15", o.printer.wakeSettings());
        assertArrayEquals(port, o.printer.termios());
    }

    @Test
    void anIdleTimeoutEndsAtItsDeadlineWithoutExtraLooks() throws Exception {
        var o = Printers.modem(support, "ttyS62", PLAIN);
        final int timeout = 330;
        int signals = underSignals(() -> {
            o.printer.looks();
            long t0 = System.nanoTime();
            raises(READ_LENGTH, () -> o.port._receiveData(new byte[4], 4, timeout));
            long ms = msSince(t0);
            assertTrue(ms >= timeout, "gave up after " + ms + " ms");
            assertTrue(ms < timeout + 10 * STEP_MS, "gave up " + (ms - timeout) + " ms late");
            // One look a step and one at the deadline, signals or not.
            int looks = o.printer.looks();
            assertTrue(looks <= timeout / STEP_MS + 2, looks + " looks");
        });
        assertTrue(signals >= 5, "only " + signals + " signals");

        // A wait that times out with some bytes queued takes none of them,
        // and leaves VMIN and VTIME as they were.
        long[] before = o.printer.termios();
        o.printer.feed(stream(2), 0);
        o.printer.awaitHostQueued(2);
        underSignals(() -> raises(READ_LENGTH, () -> o.port._receiveData(new byte[4], 4, 100)));
        assertArrayEquals(before, o.printer.termios());
        byte[] two = new byte[2];
        assertEquals(2, o.port._receiveData(two, 2, 100));
        assertArrayEquals(stream(2), two);

        // Without signals, the thread sleeps once a step, as a plain
        // 20 ms pause would, and no more.
        var p = Printers.plain(support, PLAIN);
        long s0 = sleepsOfThisThread();
        raises(READ_LENGTH, () -> p.port._receiveData(new byte[4], 4, timeout));
        long sleeps = sleepsOfThisThread() - s0;
        assertTrue(sleeps <= timeout / STEP_MS + 3, sleeps + " sleeps");
    }

    @Test
    void sendsThroughALineThatFillsDeliverEveryByteOnce() throws Exception {
        var plain = Printers.plain(support, PLAIN);
        var hdwr = Printers.modem(support, "ttyS63", HDWR);
        byte[] data = stream(256 * 1024);
        for (int i = 0; i < 3; i++) {
            var o = i == 1 ? hdwr : plain;
            boolean offline = i == 2;
            o.printer.holdUntilFull(150);
            underSignals(() -> {
                int sent = offline ? o.port._sendDataOffline(data, data.length, 3000)
                                   : o.port._sendData(data, data.length, 3000);
                assertEquals(data.length, sent);
            });
            assertTrue(o.printer.wasFull(), "the line never filled");
            assertArrayEquals(data, o.printer.waitFor(data.length));
            assertArrayEquals(new byte[0], o.printer.waitFor(1, 100));
        }
    }

    @Test
    void aLineThatNeverDrainsGivesAShortCountThenTheWriteFailure() throws Exception {
        var o = Printers.plain(support, PLAIN);
        o.printer.stall(true);
        byte[] data = stream(256 * 1024);
        int[] sent = {0};
        underSignals(() -> {
            long t0 = System.nanoTime();
            sent[0] = o.port._sendData(data, data.length, 200);
            assertTrue(msSince(t0) >= 200);
            assertTrue(sent[0] > 0 && sent[0] < data.length, sent[0] + " bytes sent");
            t0 = System.nanoTime();
            raises(WRITE_FAILED, () -> o.port._sendData(data, 16, 100));
            raises(WRITE_FAILED, () -> o.port._sendDataOffline(data, 16, 100));
            assertTrue(msSince(t0) >= 200);
        });
        o.printer.stall(false);
        // The printer gets what the short count said, and nothing of the failed sends.
        assertArrayEquals(Arrays.copyOf(data, sent[0]), o.printer.waitFor(sent[0]));
        assertArrayEquals(new byte[0], o.printer.waitFor(1, 100));
    }
}
