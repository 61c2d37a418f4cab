package com.kelvora.brevant;

import static com.kelvora.brevant.Printers.PLAIN;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import com.kelvora.printersim.SerialPrinter;
import java.util.Arrays;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * The NUL CAN sent on a device's first open. Flags are per device index and
 * last for the library's life, so this class owns the indexes it names and
 * opens no plain pty (those live under a temporary folder and read as 0).
 */
class LinuxSerialInitTest {
    static final byte[] INIT = {0x00, 0x18};
    static final byte MARK = 0x7E;
    static Ports<VelaCommPortLinuxSerial> support;

    @BeforeAll
    static void connect() {
        support = Ports.serial();
    }

    @AfterAll
    static void closeAll() {
        support.close();
    }

    /** What the printer got from the open: everything ahead of a mark sent after it. */
    private static byte[] openAndTake(SerialPrinter printer, String settings) throws Exception {
        VelaCommPortLinuxSerial port = support.open(printer.path, settings);
        assertEquals(1, port._sendDataOffline(new byte[] {MARK}, 1, 1000));
        byte[] got = printer.takeThrough(MARK);
        port._closePort();
        assertEquals(MARK, got[got.length - 1]);
        return Arrays.copyOf(got, got.length - 1);
    }

    @Test
    void firstOpenOnlyEvenWithFlowControlOn() throws Exception {
        SerialPrinter s2 = SerialPrinter.withModemLines(support.sim, "ttyS2");
        s2.setLines(0);  // DSR low: the sequence goes out with flow control off
        assertArrayEquals(INIT, openAndTake(s2, "9600,none,8,1,hdwr"));
        assertArrayEquals(new byte[0], openAndTake(s2, PLAIN));
    }

    @Test
    void namesWithoutANumberShareIndexZero() throws Exception {
        SerialPrinter usb = SerialPrinter.withModemLines(support.sim, "ttyUSB0");
        SerialPrinter s0 = SerialPrinter.withModemLines(support.sim, "ttyS0");
        assertArrayEquals(INIT, openAndTake(usb, PLAIN));
        assertArrayEquals(new byte[0], openAndTake(s0, PLAIN));
    }

    @Test
    void indexesOutsideTheTableSkipTheSequence() throws Exception {
        SerialPrinter big = SerialPrinter.withModemLines(support.sim, "ttyS99");
        SerialPrinter negative = SerialPrinter.withModemLines(support.sim, "ttyS-1");
        SerialPrinter s98 = SerialPrinter.withModemLines(support.sim, "ttyS98");
        assertArrayEquals(new byte[0], openAndTake(big, PLAIN));
        assertArrayEquals(new byte[0], openAndTake(negative, PLAIN));
        assertArrayEquals(INIT, openAndTake(s98, PLAIN));  // the last index in the table
    }
}
