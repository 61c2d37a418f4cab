package com.kelvora.brevant;

import static com.kelvora.brevant.Raises.TOO_MANY;
import static com.kelvora.brevant.Raises.raises;
import static com.kelvora.brevant.Printers.PLAIN;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import com.kelvora.printersim.SerialPrinter;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;

/** The table of 20 ports and the lookup by the exact name. */
class LinuxSerialTableTest {
    private final Ports<VelaCommPortLinuxSerial> support = Ports.serial();

    @AfterEach
    void closeAll() {
        support.close();
    }

    private static void assertReaches(VelaCommPortLinuxSerial port, SerialPrinter printer, int tag)
            throws VelaBrevantException {
        byte[] data = {(byte) tag, 0x41};
        assertEquals(2, port._sendData(data, 2, 200));
        assertArrayEquals(data, printer.waitFor(2));
    }

    @Test
    void twentySlotsThenTooManyThenTheLowestFreeSlotIsReused() throws Exception {
        List<Ports.Opened<VelaCommPortLinuxSerial, SerialPrinter>> ports = new ArrayList<>();
        for (int i = 0; i < 20; i++) ports.add(Printers.plain(support, PLAIN));
        SerialPrinter extra = SerialPrinter.plainPty(support.sim);
        VelaCommPortLinuxSerial late = new VelaCommPortLinuxSerial(extra.path);
        raises(TOO_MANY, () -> late._openPort(extra.path, PLAIN));
        assertArrayEquals(new byte[0], extra.take());
        for (int i = 0; i < 20; i++) assertReaches(ports.get(i).port, ports.get(i).printer, i);

        // Free slot 0, then slot 7: the next open takes slot 0.
        ports.get(0).port._closePort();
        ports.get(7).port._closePort();
        late._openPort(extra.path, PLAIN);
        extra.take();
        assertReaches(late, extra, 0x55);
        // Only the exact name finds a port: an empty one finds none.
        raises(support.portNotOpened, () -> new VelaCommPortLinuxSerial("")._sendData(new byte[1], 1, 10));
        late._closePort();
        assertReaches(ports.get(1).port, ports.get(1).printer, 0x56);
    }

    @Test
    void theSameNameTwiceTakesTwoSlotsAndNeedsTwoCloses() throws Exception {
        var o = Printers.plain(support, PLAIN);
        support.open(o.printer.path, Printers.HDWR);
        o.port._closePort();
        // The second slot is still open: a plain pty has no modem lines, so
        // the hdwr send fails on TIOCMGET instead of the lookup.
        raises("NATIVE_FN_CALL_FAILURE       Native call to ioctl for TIOCMGET failed.",
                () -> o.port._sendData(new byte[1], 1, 100));
        o.port._closePort();
        raises(support.portNotOpened, o.port::_closePort);
    }

    @Test
    void namesWhereOneBeginsTheOtherEachReachTheirOwnPrinter() throws Exception {
        var ten = Printers.modem(support, "ttyS10", PLAIN);
        var one = Printers.modem(support, "ttyS1", PLAIN);
        for (int round = 0; round < 2; round++) {
            assertReaches(new VelaCommPortLinuxSerial(one.printer.path), one.printer, 0x10 + round);
            assertReaches(new VelaCommPortLinuxSerial(ten.printer.path), ten.printer, 0x20 + round);
            ten.port._closePort();
            one.port._closePort();
            raises(support.portNotOpened, new VelaCommPortLinuxSerial(one.printer.path)::_hdwrResetDevice);
            // Again, the shorter name opened first.
            support.open(one.printer.path, PLAIN);
            support.open(ten.printer.path, PLAIN);
        }
        raises(support.portNotOpened, () -> new VelaCommPortLinuxSerial("/dev/ttyS100")._sendData(new byte[1], 1, 10));
        raises(support.portNotOpened, new VelaCommPortLinuxSerial("/DEV/ttyS10")::_hdwrResetDevice);
    }

    @Test
    void aFailedOpenLeavesTheTableAsItWas() throws Exception {
        for (int i = 0; i < 19; i++) Printers.plain(support, PLAIN);
        VelaCommPortLinuxSerial p = new VelaCommPortLinuxSerial("/dev/does-not-exist");
        raises("NATIVE_FN_CALL_FAILURE       Native call to open failed.",
                () -> p._openPort("/dev/does-not-exist", PLAIN));
        raises("PORT_SETTINGS_MALFORMED      The specified baud rate is not supported.",
                () -> p._openPort("/dev/does-not-exist", "1200,none,8,1,none"));
        var last = Printers.plain(support, PLAIN);  // the twentieth still fits
        assertReaches(last.port, last.printer, 0x20);
    }
}
