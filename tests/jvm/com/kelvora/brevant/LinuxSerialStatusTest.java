package com.kelvora.brevant;

import static com.kelvora.brevant.Raises.raises;
import static com.kelvora.brevant.Printers.HDWR;
import static com.kelvora.brevant.Printers.PLAIN;
import static com.kelvora.brevant.Printers.XONXOFF;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.kelvora.printersim.SerialPrinter;
import com.kelvora.printersim.SignalStorm;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;

/** ENQ and EOT exchanges, the online test and the DTR reset. */
class LinuxSerialStatusTest {
    static final String ENQ_FAILED =
            "COMM_FAILURE                 Could not get ENQ status due to communications failure.";
    static final String EOT_FAILED =
            "COMM_FAILURE                 Could not get EOT status due to communications failure.";
    static final String RESET_FAILED =
            "NATIVE_FN_CALL_FAILURE       Native call to ioctl for TIOCMGET or TIOCMSET failed.";
    static final int IXON = 0x400, IXOFF = 0x1000, IXANY = 0x800;

    private final Ports<VelaCommPortLinuxSerial> support = Ports.serial();

    @AfterEach
    void closeAll() {
        support.close();
    }

    @Test
    void enqAndEotReturnThePrintersReplyByte() throws Exception {
        var o = Printers.plain(support, PLAIN);
        o.printer.reply(0x05, 0x12);
        o.printer.reply(0x04, 0x85);
        assertEquals(0x12, o.port._getENQStatus(500));
        assertEquals((byte) 0x85, o.port._getEOTStatus(500));  // negative in Java
        assertArrayEquals(new byte[] {0x05, 0x04}, o.printer.take());
    }

    @Test
    void staleInputIsNeverTakenForTheReply() throws Exception {
        var o = Printers.plain(support, PLAIN);
        o.printer.feed(new byte[] {0x77, 0x78}, 0);
        o.printer.awaitHostQueued(2);
        o.printer.reply(0x05, 0x18);
        assertEquals(0x18, o.port._getENQStatus(500));
    }

    @Test
    void noReplyIsACommunicationsFailureAfterTheByteWentOut() throws Exception {
        var o = Printers.plain(support, PLAIN);
        long t0 = System.nanoTime();
        raises(ENQ_FAILED, () -> o.port._getENQStatus(150));
        assertTrue(System.nanoTime() - t0 >= 140_000_000L);
        raises(EOT_FAILED, () -> o.port._getEOTStatus(0));
        raises(EOT_FAILED, () -> o.port._getEOTStatus(-1));  // select refuses it
        assertArrayEquals(new byte[] {0x05, 0x04, 0x04}, o.printer.take());
    }

    @Test
    void theExchangeRunsWithFlowControlOffAndPutsItBack() throws Exception {
        var o = Printers.modem(support, "ttyS7", XONXOFF);
        o.printer.setLines(0);  // DSR low must not hold the query back either
        o.printer.reply(0x05, 0x01);
        assertEquals(0x01, o.port._getENQStatus(1000));
        long[] t = o.printer.termios();
        assertEquals(IXON | IXOFF | IXANY, t[0] & (IXON | IXOFF | IXANY));
        assertEquals(0, t[6], "VMIN");
        assertEquals(10, t[7], "VTIME is the timeout in tenths");
    }

    @Test
    void onlineIsDsrUnlessFlowIsXonXoff() throws Exception {
        var hdwr = Printers.modem(support, "ttyS8", HDWR);
        assertTrue(hdwr.port._getOnlineStatus(0));
        hdwr.printer.setLines(SerialPrinter.CTS);
        assertFalse(hdwr.port._getOnlineStatus(0));
        var none = Printers.modem(support, "ttyS9", PLAIN);
        assertTrue(none.port._getOnlineStatus(0));
        var x = Printers.modem(support, "ttyS11", XONXOFF);
        raises("UNSUPPORTED_OPERATION        Unsupported operation - can not check online status when using xOn/xOff flow control.",
                () -> x.port._getOnlineStatus(0));
        x.port._closePort();
        raises(support.portNotOpened, () -> x.port._getOnlineStatus(0));
    }

    @Test
    void resetHoldsDtrLowForTenMillisecondsEvenUnderSignals() throws Exception {
        var o = Printers.modem(support, "ttyS12", PLAIN);
        o.printer.events();
        int resets = 5;
        try (SignalStorm storm = SignalStorm.atThisThread(support.sim, 1000)) {
            for (int i = 0; i < resets; i++) o.port._hdwrResetDevice();
            assertTrue(storm.stop() >= 1, "no signal sent");
        }
        String[] sets = java.util.Arrays.stream(o.printer.events())
                .filter(e -> e.contains(":mset:")).toArray(String[]::new);
        assertEquals(2 * resets, sets.length, String.join(" ", sets));
        for (int i = 0; i < sets.length; i += 2) {
            String[] low = sets[i].split(":"), high = sets[i + 1].split(":");
            assertEquals(0, Integer.parseInt(low[2]) & SerialPrinter.DTR);
            assertEquals(SerialPrinter.DTR, Integer.parseInt(high[2]) & SerialPrinter.DTR);
            double heldMs = Double.parseDouble(high[0]) - Double.parseDouble(low[0]);
            assertTrue(heldMs >= 10.0, "DTR low for " + heldMs + " ms");
        }
    }

    @Test
    void resetFailuresStopAtTheFailingIoctl() throws Exception {
        var o = Printers.modem(support, "ttyS13", PLAIN);
        o.printer.fail("tiocmget");
        raises(RESET_FAILED, o.port::_hdwrResetDevice);
        assertEquals(SerialPrinter.DTR, o.printer.hostLines() & SerialPrinter.DTR);
        o.printer.fail("tiocmset1");
        raises(RESET_FAILED, o.port::_hdwrResetDevice);
        assertEquals(SerialPrinter.DTR, o.printer.hostLines() & SerialPrinter.DTR);
        o.printer.fail("tiocmset2");
        raises(RESET_FAILED, o.port::_hdwrResetDevice);
        assertEquals(0, o.printer.hostLines() & SerialPrinter.DTR, "DTR stays low");
        o.printer.fail();
        raises(RESET_FAILED, () -> Printers.plain(support, PLAIN).port._hdwrResetDevice());
    }

    @Test
    void aWakeThresholdLeftOnTheLineHoldsNoWaitBack() throws Exception {
        // A process killed while it waited for 4 bytes may leave VMIN 4 on the
        // line, and the kernel keeps it across close: poll() then holds out
        // for 4 bytes.
        var printer = SerialPrinter.plainPty(support.sim);
        printer.setWake(4, 0);
        var port = support.open(printer.path, PLAIN);
        printer.reply(0x05, 0x12);
        assertEquals(0x12, port._getENQStatus(1000));
        // The same left by another program while the port is open.
        printer.setWake(4, 0);
        printer.feed(new byte[] {1, 2, 3}, 30);
        long t0 = System.nanoTime();
        assertEquals(3, port._receiveData(new byte[3], 3, 5000));
        assertTrue(System.nanoTime() - t0 < 2_500_000_000L, "the receive slept through its bytes");
        printer.setWake(4, 0);
        printer.reply(0x04, 0x13);
        assertEquals(0x13, port._getEOTStatus(1000));
    }
}
