package com.kelvora.brevant;

import static com.kelvora.brevant.Raises.raises;
import static com.kelvora.brevant.Printers.HDWR;
import static com.kelvora.brevant.Printers.PLAIN;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.kelvora.printersim.ParallelPrinter;
import com.kelvora.printersim.PrinterSim;
import com.kelvora.printersim.SerialPrinter;
import com.kelvora.printersim.SignalStorm;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;

/**
 * Every wait runs to its full length while the calling thread is signalled
 * every millisecond. Only lower bounds on time are asserted: a loaded
 * machine can make a wait longer, never shorter.
 */
class LinuxWaitsUnderSignalsTest {
    private static final int WAIT_MS = 300;
    private final Ports<VelaCommPortLinuxSerial> serial = Ports.serial();
    private final Ports<VelaCommPortLinuxParallel> parallel = Ports.parallel();

    @AfterEach
    void closeAll() {
        serial.close();
        parallel.close();
    }

    interface Call {
        void run() throws Exception;
    }

    /** Runs the call under a storm; asserts it lasted at least minMs and was hit by signals. */
    private static void lastsUnderSignals(PrinterSim sim, long minMs, Call call) throws Exception {
        long t0 = System.nanoTime();
        try (SignalStorm storm = SignalStorm.atThisThread(sim, 1000)) {
            call.run();
            long ms = (System.nanoTime() - t0) / 1_000_000;
            int sent = storm.stop();
            assertTrue(ms >= minMs, "returned after " + ms + " ms of " + minMs);
            assertTrue(sent >= 5, "only " + sent + " signals sent");
        }
    }

    @Test
    void serialReceiveDsrWaitAndStatusExchangesRunTheirFullTime() throws Exception {
        var o = Printers.modem(serial, "ttyS40", HDWR);
        lastsUnderSignals(serial.sim, WAIT_MS, () -> raises(
                "NATIVE_FN_CALL_FAILURE       Requested read length not available before timeout.",
                () -> o.port._receiveData(new byte[4], 4, WAIT_MS)));

        o.printer.setLines(SerialPrinter.CTS);  // DSR low: the send waits, then gives up
        lastsUnderSignals(serial.sim, WAIT_MS, () -> assertEquals(0, o.port._sendData(new byte[4], 4, WAIT_MS)));
        o.printer.setLines(SerialPrinter.CTS | SerialPrinter.DSR);

        o.printer.noReply(0x04);
        lastsUnderSignals(serial.sim, WAIT_MS, () -> raises(
                "COMM_FAILURE                 Could not get EOT status due to communications failure.",
                () -> o.port._getEOTStatus(WAIT_MS)));

        // A printer that answers ENQ late is still heard, every time: the
        // timeout is thirty times the delay, the signals come every 1 ms.
        o.printer.reply(0x05, 0x12);
        o.printer.replyDelay(100);
        lastsUnderSignals(serial.sim, 8 * 100, () -> {
            for (int i = 0; i < 8; i++) assertEquals(0x12, o.port._getENQStatus(3000));
        });
        serial.sim.call("serial.take " + o.printer.path);
    }

    @Test
    void parallelSendToAnOfflinePrinterAndAnEmptyReadRunTheirFullTime() throws Exception {
        var o = Printers.parallel(parallel);
        o.printer.setStatus(ParallelPrinter.ERROR_CLEAR);  // Select low: offline
        lastsUnderSignals(parallel.sim, WAIT_MS, () -> assertEquals(0, o.port._sendData(new byte[8], 8, WAIT_MS)));
        lastsUnderSignals(parallel.sim, WAIT_MS, () -> assertEquals(0, o.port._receiveData(new byte[8], 8, WAIT_MS)));
    }
}
