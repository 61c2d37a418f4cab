package com.kelvora.bench;

import com.kelvora.brevant.VelaCommPortLinuxUSB;
import com.kelvora.printersim.PrinterSim;
import com.kelvora.printersim.UsbPrinter;
import java.io.BufferedReader;
import java.io.InputStreamReader;

/**
 * Figures of the USB library against the emulated printer: 1 MiB through
 * _sendData beside a plain C usb_bulk_write loop on the same device, and the
 * cost of one _getOnlineStatus. Runs beside the emulator; judges nothing.
 * usage: UsbBench BASELINE_EXECUTABLE
 */
public final class UsbBench {
    private UsbBench() {}

    static final int ROUNDS = 3;

    /** One run of the C loop: its MB/s. */
    static double baseline(String executable, int total) throws Exception {
        Process c = new ProcessBuilder(executable, Integer.toString(total)).redirectErrorStream(true).start();
        String line;
        try (BufferedReader r = new BufferedReader(new InputStreamReader(c.getInputStream()))) {
            line = r.readLine();
        }
        if (c.waitFor() != 0) throw new IllegalStateException("baseline failed: " + line);
        return Double.parseDouble(line.trim());
    }

    public static void main(String[] args) throws Exception {
        int total = 1 << 20;
        try (PrinterSim sim = PrinterSim.connect()) {
            UsbPrinter.unplugAll(sim);
            UsbPrinter printer = UsbPrinter.standard(sim);
            VelaCommPortLinuxUSB port = new VelaCommPortLinuxUSB("usb0");
            byte[] data = new byte[total];
            // Turns taken in alternation, the best of each kept: one guest's
            // noise (TCG, a loaded host) falls on both alike.
            double jniMbs = 0, cMbs = 0;
            for (int round = 0; round < ROUNDS; round++) {
                port._openPort("usb0", null);
                port._sendData(data, 64 * 1024, 1000);  // warm-up
                long t0 = System.nanoTime();
                int sent = port._sendData(data, total, 1000);
                jniMbs = Math.max(jniMbs, sent / ((System.nanoTime() - t0) / 1e9) / 1e6);
                printer.take();
                port._closePort();
                cMbs = Math.max(cMbs, baseline(args[0], total));
                printer.take();
            }

            port._openPort("usb0", null);
            int calls = 2000;
            for (int i = 0; i < 200; i++) port._getOnlineStatus(100);
            long t0 = System.nanoTime();
            for (int i = 0; i < calls; i++) port._getOnlineStatus(100);
            double onlineUs = (System.nanoTime() - t0) / 1e3 / calls;
            port._closePort();

            System.out.printf("_sendData 1 MiB to the emulated printer, best of " + ROUNDS + ": %.2f MB/s%n", jniMbs);
            System.out.printf("plain C usb_bulk_write loop, same device, best of " + ROUNDS + ": %.2f MB/s%n", cMbs);
            System.out.printf("ratio _sendData / C loop: %.2f%n", jniMbs / cMbs);
            System.out.printf("_getOnlineStatus: %.1f us per call (emulated control transfer included)%n", onlineUs);
        }
    }
}
