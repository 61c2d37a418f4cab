package com.kelvora.brevant;

import static com.kelvora.brevant.Raises.NAME_TOO_LONG;
import static com.kelvora.brevant.Raises.TOO_MANY;
import static com.kelvora.brevant.Raises.UNSUPPORTED;
import static com.kelvora.brevant.Raises.raises;
import static com.kelvora.brevant.Raises.repeat;
import static com.kelvora.iokitsim.SimulatedIOKit.calls;
import static com.kelvora.iokitsim.SimulatedIOKit.errors;
import static com.kelvora.iokitsim.SimulatedIOKit.held;
import static com.kelvora.iokitsim.SimulatedIOKit.log;
import static com.kelvora.iokitsim.SimulatedIOKit.script;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import com.kelvora.iokitsim.SimulatedIOKit;
import java.util.List;
import java.util.Random;
import java.util.concurrent.Callable;
import java.util.concurrent.CyclicBarrier;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.locks.LockSupport;
import java.util.function.BooleanSupplier;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;

/** The macOS USB library, built from its own sources against a simulated IOKit. */
class MacUsbTest {
    static final String NOT_OPENED = "PORT_NOT_OPENED              Port not opened";
    static final String MASTER_PORT = "NATIVE_FN_CALL_FAILURE       Native call to IOMasterPort failed.";
    static final String CAN_NOT_OPEN = "CAN_NOT_OPEN_DEVICE          Can not open device.";
    static final String CONFIGURE = "COMM_FAILURE                 Could not configure device.";
    static final String INTERFACE = "COMM_FAILURE                 Could not open the device's interface.";
    static final String GONE = "DEVICE_CONNECTION_CLOSED     no device - attempt reopen";
    static final String GONE_CAPITAL = "DEVICE_CONNECTION_CLOSED     No device - attempt reopen";
    static final String BULKIN_FAILED =
            "NATIVE_FN_CALL_FAILURE       Native call to DeviceRequestTO for QDXUSB_REQUEST_BULKIN failed.";
    static final String STATUS_FAILED =
            "NATIVE_FN_CALL_FAILURE       Native call to DeviceRequestTO for QDXUSB_GET_DEVICE_STATUS failed.";
    static final String RESET_FAILED =
            "NATIVE_FN_CALL_FAILURE       Native call to DeviceRequestTO for QDXUSB_GET_RESET failed.";
    static final String READ_FAILED = "NATIVE_FN_CALL_FAILURE       Native call to ReadPipeTO failed.";
    static final String WRITE_FAILED = "NATIVE_FN_CALL_FAILURE       Native call to WritePipeTO failed.";
    static final String NO_DEVICE = "0xE00002C0";
    static final String TIMED_OUT = "0xE00002D6";
    static final String FAILS = "0xE00002BC";
    static final String STALLED = "0xE000404F";
    // A timeout whose low 32 bits are 300.
    static final long TIMEOUT = (5L << 32) | 300;
    // Low 32 bits 0: IOKit's transfer, and the wait for the line, have no limit.
    static final long NO_LIMIT = 5L << 32;

    private final VelaCommPortMacUSB port = new VelaCommPortMacUSB("usb0");

    /** A printer that opens: the shipped identity, one interface with its three pipes. */
    static void printer() {
        script("device 0x0F3C 0x0002", "interface control bulk-out bulk-in");
    }

    @BeforeEach
    void fresh() {
        script("reset");
    }

    @AfterEach
    void nothingLeft() {
        try {
            port._closePort();
        } catch (VelaBrevantException e) {
            assertEquals(NOT_OPENED, e.getMessage());
        }
        assertEquals(List.of(), held());
        assertEquals(List.of(), errors());
    }

    void open() throws VelaBrevantException {
        port._openPort("usb0", null);
    }

    @Test
    void opensTheFirstMatchingPrinterThatOpensAndGivesEverythingBack() throws Exception {
        script("device 0x0F3C 0x0002", "dev open " + FAILS,     // device0: busy elsewhere
               "device 0x0F3C 0x0003",                           // device1: another product
               "device 0x0F3C 0x0002", "dev plugin " + FAILS,    // device2
               "device 0x0F3C 0x0002", "dev product 0x0003",     // device3: says another product
               "device 0x0F3C 0x0002", "dev configvalue 7",      // device4: the one
               "interface control bulk-out bulk-in");
        open();
        List<String> log = log();
        assertTrue(log.containsAll(List.of("IOServiceMatching IOUSBDevice", "CFNumberCreate 3 3900",
                "CFNumberCreate 3 2", "CFDictionarySetValue idVendor number3900",
                "CFDictionarySetValue idProduct number2")), log::toString);
        assertEquals(List.of("USBDeviceOpen device0", "USBDeviceOpen device4"), calls("USBDeviceOpen"));
        assertEquals(List.of("IOCreatePlugInInterfaceForService service:device0",
                "IOCreatePlugInInterfaceForService service:device2",
                "IOCreatePlugInInterfaceForService service:device3",
                "IOCreatePlugInInterfaceForService service:device4",
                "IOCreatePlugInInterfaceForService service:device4.interface0"),
                calls("IOCreatePlugInInterfaceForService"));
        assertEquals(List.of("SetConfiguration device4 7"), calls("SetConfiguration"));
        assertEquals(List.of("CreateInterfaceIterator device4 0xFFFF 0xFFFF 0xFFFF 0xFFFF"),
                calls("CreateInterfaceIterator"));
        assertEquals(List.of("device4 (open)", "device4.interface0 (open)"), held());
        // One port: a second open touches nothing, whatever the name.
        int logged = log().size();
        raises(TOO_MANY, () -> new VelaCommPortMacUSB("other")._openPort("other", null));
        assertEquals(logged, log().size());
        port._closePort();
        assertEquals(List.of(), held());
        raises(NOT_OPENED, port::_closePort);
        open();
    }

    @Test
    void aFailedOpenLeavesNothingHeld() throws Exception {
        Object[][] cases = {
            {MASTER_PORT, new String[] {"masterport " + FAILS}},
            {MASTER_PORT, new String[] {"masterport null"}},
            {CAN_NOT_OPEN, new String[] {}},
            {CAN_NOT_OPEN, new String[] {"matching null"}},
            {CAN_NOT_OPEN, new String[] {"services " + FAILS, "device 0x0F3C 0x0002"}},
            {CAN_NOT_OPEN, new String[] {"device 0x0F3C 0x0002", "dev query 0x80000004"}},
            {CONFIGURE, new String[] {"device 0x0F3C 0x0002", "dev configurations 0"}},
            {CONFIGURE, new String[] {"device 0x0F3C 0x0002", "dev descriptor " + FAILS}},
            {CONFIGURE, new String[] {"device 0x0F3C 0x0002", "dev setconfig " + FAILS}},
            {INTERFACE, new String[] {"device 0x0F3C 0x0002", "dev iterator 0"}},
            {INTERFACE, new String[] {"device 0x0F3C 0x0002", "interface control bulk-out",
                                      "interface control bulk-in interrupt-in",
                                      "interface control bulk-out bulk-in", "intf open " + FAILS,
                                      "interface control bulk-out bulk-in", "intf endpoints " + FAILS,
                                      "interface control bulk-out bulk-in", "intf pipefails 2",
                                      "interface control bulk-out bulk-in", "intf plugin " + FAILS}},
        };
        for (Object[] c : cases) {
            script("reset");
            script((String[]) c[1]);
            raises((String) c[0], this::open);
            String what = String.join(", ", (String[]) c[1]);
            assertEquals(List.of(), held(), what);
            assertEquals(List.of(), errors(), what);
        }
        // A name that does not fit is refused before anything is asked of IOKit.
        script("reset");
        printer();
        raises(NAME_TOO_LONG, () -> port._openPort(repeat('u', 100), null));
        raises(Raises.JNI_FAULT, () -> port._openPort(null, null));
        assertEquals(List.of(), log());
        port._openPort(repeat('u', 99), null);
        port.setPortName(repeat('u', 99));
    }

    @Test
    void theLastPipeOfEachKindWins() throws Exception {
        script("device 0x0F3C 0x0002",
               "interface control bulk-out interrupt-in",
               "interface control bulk-out bulk-in bulk-in bulk-out control");
        open();
        assertTrue(log().contains("USBInterfaceClose device0.interface0"));
        port._sendData(new byte[] {1}, 1, TIMEOUT);
        script("reply 3 00 01", "bulkin 09");
        port._receiveData(new byte[1], 1, TIMEOUT);
        assertEquals(List.of("WritePipeTO 4 1 0 300"), calls("WritePipeTO"));
        assertEquals(List.of("ReadPipeTO 3 1 0 300"), calls("ReadPipeTO"));
    }

    @Test
    void receiveAsksForTheCountAndKeepsWhatFits() throws Exception {
        printer();
        open();
        // High byte first: 00 05 is five.
        script("reply 3 00 05", "bulkin 01 02 03 04 05 06 07 08 09 0A");
        byte[] four = new byte[4];
        assertEquals(4, port._receiveData(four, 8, TIMEOUT));
        assertArrayEquals(new byte[] {1, 2, 3, 4}, four);
        assertEquals(List.of("DeviceRequestTO 0xC0 0x3 0x100 0x0 2 0 300"), calls("DeviceRequestTO"));
        // 05 00 is 1280: the read asks for the buffer's 256 and gets the five sent.
        script("reply 3 05 00", "bulkin 0B 0C 0D 0E 0F");
        byte[] ten = new byte[10];
        assertEquals(5, port._receiveData(ten, 10, TIMEOUT));
        // A negative count asks for nothing; so does a zero one.
        script("reply 3 80 00", "bulkin 11 12");
        assertEquals(0, port._receiveData(ten, 10, TIMEOUT));
        script("reply 3 7F FF", "bulkin " + "AA ".repeat(300));
        assertEquals(200, port._receiveData(new byte[300], 200, TIMEOUT));
        assertEquals(List.of("ReadPipeTO 2 5 0 300", "ReadPipeTO 2 256 0 300", "ReadPipeTO 2 0 0 300",
                "ReadPipeTO 2 256 0 300"), calls("ReadPipeTO"));
        raises(Raises.JNI_FAULT, () -> port._receiveData(null, 1, TIMEOUT));
        script("result ReadPipeTO " + TIMED_OUT);
        raises(READ_FAILED, () -> port._receiveData(ten, 10, TIMEOUT));
        script("result DeviceRequestTO " + FAILS);
        raises(BULKIN_FAILED, () -> port._receiveData(ten, 10, TIMEOUT));
        // A stall halts the IN pipe until it is cleared at both ends, which
        // the failed read does (a timeout leaves the pipe alone).
        assertEquals(List.of(), calls("ClearPipeStallBothEnds"));
        script("result ReadPipeTO " + STALLED);
        raises(READ_FAILED, () -> port._receiveData(ten, 10, TIMEOUT));
        assertEquals(List.of("ClearPipeStallBothEnds 2"), calls("ClearPipeStallBothEnds"));
        script("reply 3 00 01", "bulkin 0A");
        assertEquals(1, port._receiveData(ten, 10, TIMEOUT));
        assertEquals(2, held().size());
    }

    @Test
    void sendGoesOutInChunksAndAFailedChunkClearsTheStall() throws Exception {
        printer();
        open();
        byte[] data = new byte[10000];
        for (int i = 0; i < data.length; i++) {
            data[i] = (byte) (i * 31 + 7);
        }
        assertEquals(10000, port._sendData(data, 20000, TIMEOUT));
        assertEquals(List.of("WritePipeTO 1 4096 0 300", "WritePipeTO 1 4096 0 300", "WritePipeTO 1 1808 0 300"),
                calls("WritePipeTO"));
        int sum = 0x811C9DC5;
        for (byte b : data) {
            sum = (sum ^ (b & 0xFF)) * 16777619;
        }
        assertEquals("10000 0x" + Integer.toHexString(sum).toUpperCase(), SimulatedIOKit.command("written"));
        assertEquals(0, port._sendData(data, -5, TIMEOUT));
        assertEquals(3, calls("WritePipeTO").size());
        raises(Raises.JNI_FAULT, () -> port._sendData(null, 1, TIMEOUT));
        // The second chunk times out: the OUT pipe's stall is cleared, 0 sent, still open.
        script("result WritePipeTO " + TIMED_OUT + " 2");
        raises(WRITE_FAILED, () -> port._sendData(data, 6000, TIMEOUT));
        assertEquals(List.of("ClearPipeStallBothEnds 1"), calls("ClearPipeStallBothEnds"));
        script("result ClearPipeStallBothEnds " + FAILS, "result WritePipeTO " + FAILS);
        raises(WRITE_FAILED, () -> port._sendData(data, 1, TIMEOUT));
        assertEquals(2, held().size());
        assertEquals(1, port._sendData(data, 1, TIMEOUT));
    }

    @Test
    void aVanishedDeviceClosesThePortAtEveryKindOfCall() throws Exception {
        byte[] b = new byte[8];
        Object[][] cases = {
            {GONE_CAPITAL, "result DeviceRequestTO " + NO_DEVICE, (Executable) () -> port._receiveData(b, 8, TIMEOUT)},
            {GONE, "result ReadPipeTO " + NO_DEVICE, (Executable) () -> port._receiveData(b, 8, TIMEOUT)},
            {GONE, "result ClearPipeStallBothEnds " + NO_DEVICE + "\nresult ReadPipeTO " + STALLED,
                    (Executable) () -> port._receiveData(b, 8, TIMEOUT)},
            {GONE, "result WritePipeTO " + NO_DEVICE, (Executable) () -> port._sendData(b, 8, TIMEOUT)},
            {GONE, "result ClearPipeStallBothEnds " + NO_DEVICE + "\nresult WritePipeTO " + FAILS,
                    (Executable) () -> port._sendData(b, 8, TIMEOUT)},
            {GONE, "result DeviceRequestTO " + NO_DEVICE, (Executable) () -> port._getENQStatus(TIMEOUT)},
            {GONE, "result DeviceRequestTO " + NO_DEVICE, (Executable) () -> port._getOnlineStatus(TIMEOUT)},
            {GONE, "result DeviceRequestTO " + NO_DEVICE, (Executable) port::_hdwrResetDevice},
        };
        for (Object[] c : cases) {
            script("reset");
            printer();
            open();
            script(((String) c[1]).split("\n"));
            raises((String) c[0], (Executable) c[2]);
            assertEquals(List.of(), held(), (String) c[1]);
            assertEquals(List.of(), errors(), (String) c[1]);
            raises(NOT_OPENED, () -> port._getENQStatus(TIMEOUT));
        }
    }

    @Test
    void statusFromTheStatusByteAndAResetOfOneSecond() throws Exception {
        raises(UNSUPPORTED, () -> port._getPowerStatus(TIMEOUT));
        raises(NOT_OPENED, () -> port._getENQStatus(TIMEOUT));
        printer();
        open();
        int[][] cases = {{0x18, 0x00, 1}, {0x10, 0x04, 1}, {0x38, 0x08, 1}, {0x00, 0x04, 0}, {0x28, 0x08, 0}};
        for (int[] c : cases) {
            script(String.format("reply 1 %02X", c[0]));
            assertEquals(c[1], port._getENQStatus(TIMEOUT), "status " + c[0]);
            assertEquals(c[2] == 1, port._getOnlineStatus(TIMEOUT), "status " + c[0]);
        }
        assertEquals(List.of("DeviceRequestTO 0xC0 0x1 0x0 0x0 1 0 300"),
                calls("DeviceRequestTO").stream().distinct().toList());
        script("result DeviceRequestTO " + FAILS, "result DeviceRequestTO " + FAILS + " 2");
        raises(STATUS_FAILED, () -> port._getENQStatus(TIMEOUT));
        raises(STATUS_FAILED, () -> port._getOnlineStatus(TIMEOUT));
        port._hdwrResetDevice();
        script("result DeviceRequestTO " + TIMED_OUT);
        raises(RESET_FAILED, port::_hdwrResetDevice);
        assertEquals(List.of("DeviceRequestTO 0x40 0x2 0x0 0x0 0 0 1000"),
                calls("DeviceRequestTO 0x40").stream().distinct().toList());
        assertEquals(2, calls("DeviceRequestTO 0x40").size());
        raises(UNSUPPORTED, () -> port._sendDataOffline(new byte[1], 1, TIMEOUT));
        raises(UNSUPPORTED, () -> port._getEOTStatus(TIMEOUT));
        boolean[] caps = {port._getCapReceiveData(), port._getCapSendData(), port._getCapSendDataOffline(),
            port._getCapENQStatus(), port._getCapEOTStatus(), port._getCapOnlineStatus(),
            port._getCapPowerStatus(), port._getCapHdwrResetDevice()};
        StringBuilder answers = new StringBuilder();
        for (boolean c : caps) {
            answers.append(c ? 'T' : 'F');
        }
        assertEquals("TTFTFTFT", answers.toString());
        assertFalse(held().isEmpty());
    }

    @Test
    void eachPrinterOfTheSameModelByItsSerialNumberOrSocket() throws Exception {
        final String secondSerial = "B2 0\uD83D\uDE09";  // a space, and U+1F609 beyond 16 bits
        for (String[] p : new String[][] {{"A100", "0x14200000"}, {secondSerial, "0x14400000"}, {"", "0x14600000"}}) {
            script("device 0x0F3C 0x0002", "dev location " + p[1], "interface control bulk-out bulk-in");
            if (!p[0].isEmpty()) script("dev serial " + p[0]);
        }
        for (String none : List.of("usb:serial=A10", "usb:serial=", "usb:port=0x14300000", "usb:port=1-1.4",
                "usb:port=0x1420000")) {
            raises(CAN_NOT_OPEN, () -> new VelaCommPortMacUSB(none)._openPort(none, null));
        }
        assertEquals(List.of(), held());
        VelaCommPortMacUSB bySerial = new VelaCommPortMacUSB("usb:serial=" + secondSerial);
        bySerial._openPort("usb:serial=" + secondSerial, null);
        // The first printer was opened to read its serial number, and closed again.
        assertEquals(List.of("device1 (open)", "device1.interface0 (open)"), held());
        assertEquals(List.of("DeviceRequestTO 0x80 0x6 0x300 0x0 4 0 1000",
                "DeviceRequestTO 0x80 0x6 0x303 0x409 255 0 1000"), calls("DeviceRequestTO 0x80").subList(0, 2));
        assertEquals(3, bySerial._sendData(new byte[] {1, 2, 3}, 3, TIMEOUT));
        bySerial._hdwrResetDevice();
        assertEquals(List.of("0 0", "1 3", "0 0"), List.of(io(0), io(1), io(2)));
        bySerial._closePort();

        VelaCommPortMacUSB byPort = new VelaCommPortMacUSB("usb:port=0x14600000");
        byPort._openPort("usb:port=0x14600000", null);
        script("unplug 1");
        assertEquals(2, byPort._sendData(new byte[] {4, 5}, 2, TIMEOUT));
        assertEquals("0 2", io(2));
        byPort._closePort();
        raises(CAN_NOT_OPEN, () -> bySerial._openPort("usb:serial=" + secondSerial, null));
        open();  // any other name: the first printer present
        assertEquals(List.of("device0 (open)", "device0.interface0 (open)"), held());
    }

    @Test
    void callsFromManyThreadsShareTheOnePortSafely() throws Exception {
        ExecutorService pool = Executors.newCachedThreadPool();
        try {
            for (int seed = 1; seed <= 5; seed++) {
                Random random = new Random(seed);
                // Two opens at once: one takes the one slot, the other is refused untouched.
                for (int round = 0; round < 10; round++) {
                    script("reset");
                    printer();
                    VelaCommPortMacUSB a = new VelaCommPortMacUSB("usbA");
                    VelaCommPortMacUSB b = new VelaCommPortMacUSB("usbB");
                    CyclicBarrier start = new CyclicBarrier(2);
                    int jitter = random.nextInt(300_000);
                    Future<Object> fa = onThread(pool, () -> {
                        start.await();
                        a._openPort("usbA", null);
                        return "opened";
                    });
                    Future<Object> fb = onThread(pool, () -> {
                        start.await();
                        LockSupport.parkNanos(jitter);
                        b._openPort("usbB", null);
                        return "opened";
                    });
                    Object ra = result(fa);
                    Object rb = result(fb);
                    assertEquals(List.of("opened", TOO_MANY), ra.equals("opened") ? List.of(ra, rb) : List.of(rb, ra));
                    assertEquals(List.of("device0 (open)", "device0.interface0 (open)"), held());
                    (ra.equals("opened") ? a : b)._closePort();
                    nothingHeldNorMisused();
                }

                // A status poll beside a send; a second send waits for the first to end.
                script("reset");
                printer();
                open();
                byte[] first = bytes(random, 4096 + random.nextInt(8000));
                byte[] second = bytes(random, 1 + random.nextInt(6000));
                script("reply 1 18", "bulkout hold");
                Future<Object> s1 = onThread(pool, () -> port._sendData(first, first.length, NO_LIMIT));
                until(() -> calls("WritePipeTO").size() == 1);
                Future<Object> s2 = onThread(pool, () -> port._sendData(second, second.length, NO_LIMIT));
                for (int i = random.nextInt(10); i < 20; i++) {
                    assertEquals(0, port._getENQStatus(TIMEOUT));
                    assertTrue(port._getOnlineStatus(TIMEOUT));
                }
                // A call whose line stays taken past its timeout's low 32 bits ends as a timed-out one.
                long brief = (5L << 32) | 30;
                raises(WRITE_FAILED, () -> port._sendData(second, 1, brief));
                raises(READ_FAILED, () -> port._receiveData(new byte[1], 1, brief));
                assertEquals(1, calls("WritePipeTO").size());
                assertFalse(s1.isDone());
                script("bulkout take");
                assertEquals(first.length, result(s1));
                assertEquals(second.length, result(s2));
                assertEquals(first.length + second.length + " " + fnv(first, second), SimulatedIOKit.command("written"));
                assertEquals(List.of(), calls("ReadPipeTO"));

                // A close under a receive waiting on the bus, with a send waiting for the line.
                script("reply 3 00 05");
                Future<Object> receive = onThread(pool, () -> port._receiveData(new byte[8], 8, NO_LIMIT));
                until(() -> calls("ReadPipeTO").size() == 1);
                Future<Object> send = onThread(pool, () -> port._sendData(first, first.length, NO_LIMIT));
                LockSupport.parkNanos(random.nextInt(2_000_000));
                Future<Object> close = onThread(pool, () -> {
                    port._closePort();
                    return "closed";
                });
                assertEquals("closed", result(close));
                assertEquals(NOT_OPENED, result(receive));
                assertEquals(NOT_OPENED, result(send));
                assertFalse(calls("AbortPipe 2").isEmpty());
                assertEquals(first.length + second.length + " " + fnv(first, second), SimulatedIOKit.command("written"));
                nothingHeldNorMisused();

                // A vanished printer seen by a status poll closes the port under the waiting receive.
                open();
                script("reply 3 00 05");
                Future<Object> waiting = onThread(pool, () -> port._receiveData(new byte[8], 8, NO_LIMIT));
                until(() -> calls("ReadPipeTO").size() == 2);
                script("result DeviceRequestTO " + NO_DEVICE);
                raises(GONE, () -> port._getENQStatus(TIMEOUT));
                assertEquals(NOT_OPENED, result(waiting));
                nothingHeldNorMisused();
            }
        } finally {
            pool.shutdownNow();
        }
    }

    /** A call on another thread: what it returned, or the message it raised. */
    private static Future<Object> onThread(ExecutorService pool, Callable<Object> call) {
        return pool.submit(() -> {
            try {
                return call.call();
            } catch (VelaBrevantException e) {
                return e.getMessage();
            }
        });
    }

    private static Object result(Future<Object> call) throws Exception {
        return call.get(30, TimeUnit.SECONDS);
    }

    private static void until(BooleanSupplier done) throws InterruptedException {
        for (long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(30); !done.getAsBoolean(); ) {
            if (System.nanoTime() > deadline) {
                fail("the simulated IOKit never saw the call");
            }
            Thread.sleep(1);
        }
    }

    private static void nothingHeldNorMisused() {
        assertEquals(List.of(), held());
        assertEquals(List.of(), errors());
    }

    private static byte[] bytes(Random random, int n) {
        byte[] b = new byte[n];
        random.nextBytes(b);
        return b;
    }

    /** The FNV-1a sum the simulation gives of all bytes written, in its form. */
    private static String fnv(byte[]... parts) {
        int sum = 0x811C9DC5;
        for (byte[] part : parts) {
            for (byte b : part) {
                sum = (sum ^ (b & 0xFF)) * 16777619;
            }
        }
        return "0x" + Integer.toHexString(sum).toUpperCase();
    }

    private static String io(int device) {
        return SimulatedIOKit.command("io " + device);
    }
}
