package com.kelvora.brevant;

import static com.kelvora.brevant.Raises.raises;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.kelvora.printersim.ParallelPrinter;
import com.kelvora.printersim.SignalStorm;
import java.util.List;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;

/** Status from the lines, and the nInit reset pulse. */
class LinuxParallelStatusTest {
    static final String COMPAT_FAILED =
            "COMM_FAILURE                 Could not negotiate compatibility communications mode and can not read";
    static final String RSTATUS_FAILED =
            "NATIVE_FN_CALL_FAILURE       Native call to ioctl for PPRSTATUS failed.";
    static final String FCONTROL_FAILED =
            "NATIVE_FN_CALL_FAILURE       Native call to ioctl for PPFCONTROL failed.";

    private final Ports<VelaCommPortLinuxParallel> support = Ports.parallel();

    @AfterEach
    void closeAll() {
        support.close();
    }

    @Test
    void onlineAndEnqComeFromTheLines() throws Exception {
        var o = Printers.parallel(support);
        // The decoding itself is unit-tested; these rows show the lines reach it.
        int[][] rows = {{0x20, 0, 0x0C}, {0xDF, 1, 0x00}};  // lines, online, ENQ
        for (int[] row : rows) {
            o.printer.setStatus(row[0]);
            assertEquals(row[1] == 1, o.port._getOnlineStatus(0), "online for " + row[0]);
            assertEquals(row[2], o.port._getENQStatus(0), "ENQ for " + row[0]);
        }
        assertEquals(List.of("negot:256", "rstatus:223"),
                Printers.kinds(o.printer.events(), "negot", "rstatus").subList(6, 8));
    }

    @Test
    void theTimeoutHasNoEffect() throws Exception {
        var o = Printers.parallel(support);
        // A library that waited out these would stop the test for ten minutes.
        long t0 = System.nanoTime();
        assertTrue(o.port._getOnlineStatus(600_000));
        assertEquals(0, o.port._getENQStatus(-1));
        assertTrue(System.nanoTime() - t0 < 60_000_000_000L);
    }

    @Test
    void negotiationAndStatusFailuresHaveTheirTexts() throws Exception {
        var o = Printers.parallel(support);
        o.printer.fail("compat");
        raises(COMPAT_FAILED, () -> o.port._getOnlineStatus(0));
        raises(COMPAT_FAILED, () -> o.port._getENQStatus(0));
        raises(COMPAT_FAILED, o.port::_hdwrResetDevice);
        o.printer.fail("rstatus");
        raises(RSTATUS_FAILED, () -> o.port._getOnlineStatus(0));
        raises(RSTATUS_FAILED, () -> o.port._getENQStatus(0));
        o.printer.fail();
        assertTrue(o.port._getOnlineStatus(0));  // still open and claimed
    }

    @Test
    void resetHoldsInitLowForAMillisecondEvenUnderSignals() throws Exception {
        var o = Printers.parallel(support);
        o.printer.events();
        int resets = 5;
        try (SignalStorm storm = SignalStorm.atThisThread(support.sim, 200)) {
            for (int i = 0; i < resets; i++) o.port._hdwrResetDevice();
            assertTrue(storm.stop() >= 1, "no signal sent");
        }
        String[] events = o.printer.events();
        List<String> once = List.of("negot:256", "fcontrol:1024", "fcontrol:1028");
        List<String> expected = new java.util.ArrayList<>();
        for (int i = 0; i < resets; i++) expected.addAll(once);
        assertEquals(expected, Printers.kinds(events, "negot", "fcontrol"));
        double low = 0;
        for (String e : events) {
            if (e.endsWith(":fcontrol:1024")) low = Double.parseDouble(e.split(":")[0]);
            if (e.endsWith(":fcontrol:1028")) {
                double heldMs = Double.parseDouble(e.split(":")[0]) - low;
                assertTrue(heldMs >= 1.0, "nInit low for " + heldMs + " ms");
            }
        }
    }

    @Test
    void eitherControlFailureIsRaised() throws Exception {
        var o = Printers.parallel(support);
        o.printer.fail("fcontrol1");
        o.printer.events();
        raises(FCONTROL_FAILED, o.port::_hdwrResetDevice);
        assertEquals(List.of("fcontrol:1024"), Printers.kinds(o.printer.events(), "fcontrol"));
        o.printer.fail("fcontrol2");
        raises(FCONTROL_FAILED, o.port::_hdwrResetDevice);
        assertEquals(List.of("fcontrol:1024", "fcontrol:1028"),
                Printers.kinds(o.printer.events(), "fcontrol"));
    }

    @Test
    void statusIsReadFromTheRightSlot() throws Exception {
        var a = Printers.parallel(support);
        var b = Printers.parallel(support);
        b.printer.setStatus(ParallelPrinter.PAPER_OUT | ParallelPrinter.ERROR_CLEAR);
        assertEquals(0x00, a.port._getENQStatus(0));
        assertEquals(0x08, b.port._getENQStatus(0));
        assertFalse(b.port._getOnlineStatus(0));
    }
}
