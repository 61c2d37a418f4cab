package com.kelvora.brevant;

import static com.kelvora.brevant.Raises.JNI_FAULT;
import static com.kelvora.brevant.Raises.NAME_TOO_LONG;
import static com.kelvora.brevant.Raises.UNSUPPORTED;
import static com.kelvora.brevant.Raises.raises;
import static com.kelvora.brevant.Raises.repeat;
import static com.kelvora.brevant.Printers.PLAIN;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.kelvora.printersim.SerialPrinter;
import java.nio.file.Files;
import java.nio.file.Path;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;

/** What every call of the serial library does before it reaches a device. */
class LinuxSerialContractTest {
    private final Ports<VelaCommPortLinuxSerial> support = Ports.serial();

    @AfterEach
    void closeAll() {
        support.close();
    }

    @Test
    void powerStatusIsUnsupportedOpenOrNot() throws Exception {
        raises(UNSUPPORTED, () -> new VelaCommPortLinuxSerial("/dev/none")._getPowerStatus(0));
        var o = Printers.plain(support, PLAIN);
        raises(UNSUPPORTED, () -> o.port._getPowerStatus(100));
    }

    @Test
    void nullsAreRefusedWithTheJniFault() throws Exception {
        VelaCommPortLinuxSerial p = new VelaCommPortLinuxSerial();
        raises(JNI_FAULT, () -> p._openPort(null, PLAIN));
        raises(JNI_FAULT, () -> p._openPort("/dev/null", null));
        raises(JNI_FAULT, p::_closePort);  // null portName field
        raises(JNI_FAULT, () -> p._sendData(new byte[1], 1, 10));

        var o = Printers.plain(support, PLAIN);
        raises(JNI_FAULT, () -> o.port._sendData(null, 1, 10));
        raises(JNI_FAULT, () -> o.port._sendDataOffline(null, 1, 10));
        raises(JNI_FAULT, () -> o.port._receiveData(null, 1, 10));
        // The port is still usable after the refusals.
        assertEquals(2, o.port._sendData(new byte[] {1, 2}, 2, 100));
        assertArrayEquals(new byte[] {1, 2}, o.printer.waitFor(2));
    }

    @Test
    void settingsAreParsedBeforeAnythingIsOpened() throws Exception {
        VelaCommPortLinuxSerial p = new VelaCommPortLinuxSerial("/dev/does-not-exist");
        raises("PORT_SETTINGS_MALFORMED      The portSettings parameter does not have the correct form.",
                () -> p._openPort("/dev/does-not-exist", "9600,none,8,1"));
        raises("PORT_SETTINGS_MALFORMED      The specified baud rate is not supported.",
                () -> p._openPort("/dev/does-not-exist", "115200,none,8,1,none"));
        // Which field decides the message is unit-tested; these show the texts reach Java.
        raises("PORT_SETTINGS_MALFORMED      The specified flow control method is not supported.",
                () -> p._openPort("/dev/does-not-exist", "9600,none,8,1,"));
        // Accepted settings reach the open, which fails on the missing path.
        raises("NATIVE_FN_CALL_FAILURE       Native call to open failed.",
                () -> p._openPort("/dev/does-not-exist", "9600,none,8,1,hdwr,anything"));
    }

    @Test
    void overlongTextsAreRefusedBeforeOpening() throws Exception {
        var o = Printers.plain(support, PLAIN);
        VelaCommPortLinuxSerial p = new VelaCommPortLinuxSerial();
        String longSettings = PLAIN + "," + repeat('x', 99 - PLAIN.length());
        assertEquals(100, longSettings.length());
        raises("PORT_SETTINGS_MALFORMED      The portSettings parameter does not have the correct form.",
                () -> p._openPort(o.printer.path, longSettings));
        // 99 bytes still fit, with the terminating zero.
        support.open(o.printer.path, longSettings.substring(0, 99));

        String longName = o.printer.path + "/" + repeat('n', 99 - o.printer.path.length());
        assertEquals(100, longName.length());
        raises(NAME_TOO_LONG, () -> p._openPort(longName, PLAIN));
        String multiByte = repeat('\u00e9', 50);  // 100 bytes in modified UTF-8
        raises(NAME_TOO_LONG, () -> p._openPort(multiByte, PLAIN));
        assertArrayEquals(new byte[0], o.printer.take());
    }

    @Test
    void aFileThatIsNotATerminalFailsAndTakesNoSlot() throws Exception {
        Path file = Files.createTempFile("not-a-tty", ".bin");
        try {
            VelaCommPortLinuxSerial p = new VelaCommPortLinuxSerial(file.toString());
            raises("Native call to tcgetattr failed.", () -> p._openPort(file.toString(), PLAIN));
            raises(support.portNotOpened, p::_closePort);
            assertEquals(0, Files.size(file));
        } finally {
            Files.delete(file);
        }
    }

    @Test
    void openPutsTheSettingsOnTheLine() throws Exception {
        final int inpck = 0x10, istrip = 0x20, ixon = 0x400, ixany = 0x800, ixoff = 0x1000;
        final int opost = 0x1, isig = 0x1, icanon = 0x2, echo = 0x8, echoe = 0x10;
        final int cstopb = 0x40, cread = 0x80, parenb = 0x100, parodd = 0x200, clocal = 0x800;
        final long crtscts = 0x80000000L;
        final int b19200 = 0xE, b2400 = 0xB;
        // A line left without CLOCAL gets it from the open (a pty refuses
        // to drop CREAD, so only CLOCAL can show that the open sets them).
        SerialPrinter printer = SerialPrinter.plainPty(support.sim);
        printer.clearControlFlags(clocal);
        assertEquals(0, printer.termios()[2] & clocal);
        var o = support.open(printer, printer.path, "19200,odd,8,2,xonxoff");
        long[] t = o.printer.termios();  // iflag oflag cflag lflag ispeed ospeed
        assertEquals(b19200, t[4]);
        assertEquals(b19200, t[5]);
        assertEquals(parodd | cstopb | cread | clocal, t[2] & (parodd | cstopb | cread | clocal));
        assertEquals(0, t[2] & crtscts);
        assertEquals(inpck | istrip | ixon | ixoff | ixany, t[0] & (inpck | istrip | ixon | ixoff | ixany));
        assertEquals(0, t[1] & opost);
        assertEquals(0, t[3] & (isig | icanon | echo | echoe));
        // What reaches the wire; a pty drops PARENB whatever it is told.
        String odd = (t[2] & parenb) != 0 ? "1" : "0";
        assertEquals("19200 2 " + odd + " 8", o.printer.lineCoding());

        // Parity none leaves the input checks another program set; hdwr
        // never reaches the driver as RTS/CTS.
        var n = Printers.plain(support, "2400,none,8,1,hdwr");
        n.port._closePort();
        n.printer.setInputFlags(inpck | istrip);
        support.open(n.printer.path, "2400,none,8,1,hdwr");
        t = n.printer.termios();
        assertEquals(b2400, t[5]);
        assertEquals(inpck | istrip, t[0] & (inpck | istrip));
        assertEquals(0, t[0] & (ixon | ixoff | ixany));
        assertEquals(0, t[2] & (crtscts | cstopb));
        assertEquals("2400 0 0 8", n.printer.lineCoding());
    }

    @Test
    void aClosedPortIsGoneForEveryCall() throws Exception {
        var o = Printers.plain(support, PLAIN);
        o.port._closePort();
        raises(support.portNotOpened, () -> o.port._sendData(new byte[1], 1, 10));
        raises(support.portNotOpened, () -> o.port._getENQStatus(10));
        raises(support.portNotOpened, o.port::_closePort);
        support.open(o.printer.path, PLAIN);  // and it opens again
    }

    @Test
    void theLongestTimeoutsWaitOnEveryProcessor() throws Exception {
        // Where time_t has 32 bits, a deadline far off must not wrap round to now.
        var o = Printers.plain(support, PLAIN);
        o.printer.reply(0x05, 0x12);
        o.printer.replyDelay(1000);  // beyond the 807 ms a wrapped Long.MAX_VALUE leaves
        assertEquals(0x12, o.port._getENQStatus(Long.MAX_VALUE));
        o.printer.feed(new byte[] {7, 8}, 200);
        assertEquals(2, o.port._receiveData(new byte[2], 2, Integer.MAX_VALUE));
    }
}
