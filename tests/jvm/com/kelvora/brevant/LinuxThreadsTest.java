package com.kelvora.brevant;

import static com.kelvora.brevant.Raises.raises;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.kelvora.printersim.ParallelPrinter;
import com.kelvora.printersim.SerialPrinter;
import com.kelvora.printersim.UsbPrinter;
import java.io.ByteArrayOutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Random;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;

/**
 * A till's threads on each library: a printer per thread, a status poll
 * beside a print, a close under a waiting call. Several seeds vary the
 * interleaving; each printer's own record of bytes is the judge.
 */
class LinuxThreadsTest {
    static final long[] SEEDS = {1, 2, 3};
    /** Rounds per thread and seed; raised by hand for a long stress run. */
    static final int ROUNDS = Integer.getInteger("vela.threads.rounds", 12);
    static final String SERIAL_NOT_OPENED = "Port not opened";
    static final String USB_NOT_OPENED = "PORT_NOT_OPENED              Port not opened";

    /** A port's open-send-close cycle on its own thread; returns the bytes it sent. */
    interface Cycle {
        byte[] run(int round) throws Exception;
    }

    /** A receipt of one printer: its mark byte, then the round, never 0x05. */
    static byte[] receipt(int mark, int round, int length) {
        byte[] b = new byte[length];
        for (int i = 0; i < length; i++) b[i] = (byte) (i == 1 ? 0x40 + round % 32 : mark);
        return b;
    }

    /** Runs each cycle ROUNDS times on a thread of its own, jittered by the seed. */
    static List<byte[]> inParallel(long seed, Cycle... cycles) throws Exception {
        ExecutorService pool = Executors.newFixedThreadPool(cycles.length);
        try {
            List<Future<byte[]>> runs = new ArrayList<>();
            for (int c = 0; c < cycles.length; c++) {
                Random jitter = new Random(seed * 31 + c);
                Cycle cycle = cycles[c];
                runs.add(pool.submit((Callable<byte[]>) () -> {
                    ByteArrayOutputStream sent = new ByteArrayOutputStream();
                    for (int round = 0; round < ROUNDS; round++) {
                        Thread.sleep(jitter.nextInt(3));
                        sent.write(cycle.run(round));
                    }
                    return sent.toByteArray();
                }));
            }
            List<byte[]> sent = new ArrayList<>();
            for (Future<byte[]> run : runs) sent.add(run.get(120, TimeUnit.SECONDS));
            return sent;
        } finally {
            pool.shutdownNow();
        }
    }

    static long descriptors() throws Exception {
        try (var fds = Files.list(Path.of("/proc/self/fd"))) {
            return fds.count();
        }
    }

    /** Runs `call` on another thread; its result or exception message. */
    static Future<String> aside(ExecutorService pool, Callable<Object> call) {
        return pool.submit(() -> {
            try {
                return "returned " + call.call();
            } catch (VelaBrevantException e) {
                return e.getMessage();
            }
        });
    }

    @Test
    void serialThreadsKeepToTheirOwnPrinterAndLine() throws Exception {
        try (Ports<VelaCommPortLinuxSerial> support = Ports.serial()) {
            var a = Printers.plain(support, Printers.PLAIN);
            var b = Printers.plain(support, Printers.PLAIN);
            a.port._closePort();
            b.port._closePort();
            a.printer.reply(0x05, 0x12);
            long before = descriptors();
            for (long seed : SEEDS) {
                // Two printers, two threads, each opening, sending and closing its own.
                inParallel(seed, printerCycle(a.printer, 'A'), printerCycle(b.printer, 'B'));
                assertEquals(before, descriptors(), "descriptors left open");
            }
            // A status poll beside a print: each ENQ goes between receipts and
            // gets the printer's own answer.
            VelaCommPortLinuxSerial till = new VelaCommPortLinuxSerial(a.printer.path);
            till._openPort(a.printer.path, Printers.PLAIN);
            for (long seed : SEEDS) {
                List<byte[]> sent = inParallel(seed, round -> {
                    byte[] r = receipt('R', round, 600);
                    assertEquals(r.length, till._sendData(r, r.length, 10_000));
                    return r;
                }, round -> {
                    assertEquals(0x12, till._getENQStatus(10_000));
                    return new byte[] {0x05};
                });
                byte[] line = a.printer.waitFor(sent.get(0).length + sent.get(1).length);
                int enqs = 0;
                for (int i = 0; i < line.length; ) {
                    if (line[i] == 0x05) {
                        enqs++;
                        i++;
                        continue;
                    }
                    assertEquals('R', line[i], "a receipt starts at " + i);
                    for (int k = 2; k < 600; k++) assertEquals('R', line[i + k], "receipt byte at " + (i + k));
                    i += 600;
                }
                assertEquals(ROUNDS, enqs);
            }
            // A close under a blocked send: the send ends with the close and
            // nothing reaches the line that takes its descriptor number.
            a.printer.stall(true);
            ExecutorService pool = Executors.newSingleThreadExecutor();
            try {
                byte[] big = receipt('S', 0, 64 * 1024);
                Future<String> send = aside(pool, () -> till._sendData(big, big.length, 600_000));
                Thread.sleep(200);
                till._closePort();
                assertEquals(SERIAL_NOT_OPENED, send.get(60, TimeUnit.SECONDS));
                VelaCommPortLinuxSerial other = new VelaCommPortLinuxSerial(b.printer.path);
                other._openPort(b.printer.path, Printers.PLAIN);
                raises(SERIAL_NOT_OPENED, () -> till._getENQStatus(100));
                other._closePort();
                assertArrayEquals(new byte[0], b.printer.waitFor(1, 300));
            } finally {
                pool.shutdownNow();
                a.printer.stall(false);
            }
            assertEquals(before, descriptors(), "descriptors left open");
        }
    }

    private static Cycle printerCycle(SerialPrinter printer, int mark) {
        return round -> {
            VelaCommPortLinuxSerial port = new VelaCommPortLinuxSerial(printer.path);
            port._openPort(printer.path, Printers.PLAIN);
            byte[] r = receipt(mark, round, 64);
            assertEquals(r.length, port._sendData(r, r.length, 10_000));
            // Read before the close, which discards what the line still holds.
            assertArrayEquals(r, printer.waitFor(r.length));
            port._closePort();
            return r;
        };
    }

    @Test
    void parallelThreadsKeepToTheirOwnPrinter() throws Exception {
        try (Ports<VelaCommPortLinuxParallel> support = Ports.parallel()) {
            var a = Printers.parallel(support);
            var b = Printers.parallel(support);
            a.port._closePort();
            b.port._closePort();
            for (long seed : SEEDS) {
                List<byte[]> sent = inParallel(seed, parallelCycle(a.printer, 'A'), parallelCycle(b.printer, 'B'));
                assertArrayEquals(sent.get(0), a.printer.take());
                assertArrayEquals(sent.get(1), b.printer.take());
                assertEquals(0, a.printer.descriptorsInThisProcess() + b.printer.descriptorsInThisProcess());
            }
            // A close under a waiting nibble-mode receive ends it; the printer
            // that takes the descriptor number next gives it nothing.
            VelaCommPortLinuxParallel till = new VelaCommPortLinuxParallel(a.printer.path);
            till._openPort(a.printer.path, null);
            ExecutorService pool = Executors.newSingleThreadExecutor();
            try {
                Future<String> receive = aside(pool, () -> till._receiveData(new byte[8], 8, 600_000));
                Thread.sleep(200);
                till._closePort();
                b.printer.nibbles("stranger".getBytes());
                VelaCommPortLinuxParallel other = new VelaCommPortLinuxParallel(b.printer.path);
                other._openPort(b.printer.path, null);
                assertEquals(SERIAL_NOT_OPENED, receive.get(60, TimeUnit.SECONDS));
                assertEquals(8, other._receiveData(new byte[8], 8, 1000), "the stranger's bytes stayed for its own port");
                other._closePort();
            } finally {
                pool.shutdownNow();
            }
            assertEquals(0, a.printer.claims() + b.printer.claims());
        }
    }

    private static Cycle parallelCycle(ParallelPrinter printer, int mark) {
        return round -> {
            VelaCommPortLinuxParallel port = new VelaCommPortLinuxParallel(printer.path);
            port._openPort(printer.path, null);
            byte[] r = receipt(mark, round, 32);
            assertEquals(r.length, port._sendData(r, r.length, 10_000));
            port._closePort();
            return r;
        };
    }

    @Test
    void usbThreadsKeepToTheirOwnPrinter() throws Exception {
        try (Ports<VelaCommPortLinuxUSB> support = Ports.usb()) {
            UsbPrinter a = UsbPrinter.standard(support.sim, "A1", "1-1");
            UsbPrinter b = UsbPrinter.standard(support.sim, "B2", "1-2");
            for (long seed : SEEDS) {
                List<byte[]> sent = inParallel(seed, usbCycle("usb:serial=A1", 'A'), usbCycle("usb:serial=B2", 'B'));
                assertArrayEquals(sent.get(0), a.take());
                assertArrayEquals(sent.get(1), b.take());
                assertEquals(0, a.claims() + b.claims());
            }
            // A second object under an open name touches no printer; the
            // first keeps its own.
            VelaCommPortLinuxUSB first = new VelaCommPortLinuxUSB("usb");
            first._openPort("usb", null);
            raises("CAN_NOT_OPEN_DEVICE          Can not open device.",
                    () -> new VelaCommPortLinuxUSB("usb")._openPort("usb", null));
            assertEquals(1, a.claims() + b.claims());
            // A close under a receive waiting in libusb returns once the
            // transfer's own timeout ends it; the receive then reports the close.
            a.holdBulkIn(true);
            b.holdBulkIn(true);
            a.countReply(4, 0);
            b.countReply(4, 0);
            ExecutorService pool = Executors.newSingleThreadExecutor();
            try {
                Future<String> receive = aside(pool, () -> first._receiveData(new byte[4], 4, 1000));
                Thread.sleep(200);
                first._closePort();
                assertEquals(USB_NOT_OPENED, receive.get(60, TimeUnit.SECONDS));
                raises(USB_NOT_OPENED, () -> first._getENQStatus(100));
            } finally {
                pool.shutdownNow();
            }
            assertEquals(0, a.claims() + b.claims());
        }
    }

    private static Cycle usbCycle(String name, int mark) {
        return round -> {
            VelaCommPortLinuxUSB port = new VelaCommPortLinuxUSB(name);
            port._openPort(name, null);
            byte[] r = receipt(mark, round, 48);
            assertEquals(r.length, port._sendData(r, r.length, 10_000));
            port._closePort();
            return r;
        };
    }
}
