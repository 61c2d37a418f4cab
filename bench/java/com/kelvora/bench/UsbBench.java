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

    public static void main(String[] args) throws Exception {
        int total = 1 << 20;
        try (PrinterSim sim = PrinterSim.connect()) {
            UsbPrinter.unplugAll(sim);
            UsbPrinter printer = UsbPrinter.standard(sim);
            VelaCommPortLinuxUSB port = new VelaCommPortLinuxUSB("usb0");
            port._openPort("usb0", null);
            byte[] data = new byte[total];
            port._sendData(data, 64 * 1024, 1000);  // warm-up
            long t0 = System.nanoTime();
            int sent = port._sendData(data, total, 1000);
            double jniMbs = sent / ((System.nanoTime() - t0) / 1e9) / 1e6;
            printer.take();
            port._closePort();

            Process c = new ProcessBuilder(args[0], Integer.toString(total)).redirectErrorStream(true).start();
            String line;
            try (BufferedReader r = new BufferedReader(new InputStreamReader(c.getInputStream()))) {
                line = r.readLine();
            }
            if (c.waitFor() != 0) throw new IllegalStateException("baseline failed: " + line);
            double cMbs = Double.parseDouble(line.trim());
            printer.take();

            port._openPort("usb0", null);
            int calls = 2000;
            for (int i = 0; i < 200; i++) port._getOnlineStatus(100);
            t0 = System.nanoTime();
            for (int i = 0; i < calls; i++) port._getOnlineStatus(100);
            double onlineUs = (System.nanoTime() - t0) / 1e3 / calls;
            port._closePort();

            System.out.printf("_sendData 1 MiB to the emulated printer: %.2f MB/s%n", jniMbs);
            System.out.printf("plain C usb_bulk_write loop, same device: %.2f MB/s%n", cMbs);
            System.out.printf("ratio _sendData / C loop: %.2f%n", jniMbs / cMbs);
            System.out.printf("_getOnlineStatus: %.1f us per call (emulated control transfer included)%n", onlineUs);
        }
    }
}
