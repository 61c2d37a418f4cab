package com.kelvora.bench;

import com.kelvora.brevant.VelaBrevantException;
import com.kelvora.brevant.VelaCommPortLinuxSerial;
import java.lang.management.ManagementFactory;
import java.lang.management.ThreadMXBean;

/**
 * Figures of the serial library on a pty: call costs, send throughput and
 * the CPU a receive wait burns. Prints figures; judges nothing.
 * usage: SerialBench PTY_PATH TOTAL_BYTES CHUNK costs
 *        SerialBench PTY_PATH TOTAL_BYTES CHUNK throughput
 * "throughput" prints "MB/s (N short sends)" only, for the script to
 * compare: a short count is followed by a send of the rest.
 */
public final class SerialBench {
    private SerialBench() {}

    private static double nsPerCall(Runnable body, int calls) {
        for (int i = 0; i < calls / 10; i++) body.run();  // warm-up
        long t0 = System.nanoTime();
        for (int i = 0; i < calls; i++) body.run();
        return (System.nanoTime() - t0) / (double) calls;
    }

    public static void main(String[] args) throws Exception {
        String path = args[0];
        long total = Long.parseLong(args[1]);
        int chunk = Integer.parseInt(args[2]);
        VelaCommPortLinuxSerial port = new VelaCommPortLinuxSerial(path);
        port._openPort(path, "38400,none,8,1,none");
        if (args[3].equals("throughput")) {
            byte[] data = new byte[chunk];
            for (int i = 0; i < chunk; i++) data[i] = (byte) (0x20 + i % 90);
            long sent = 0, shortSends = 0;
            long t0 = System.nanoTime();
            while (sent < total) {
                int off = 0;
                while (off < chunk) {
                    byte[] rest = off == 0 ? data : java.util.Arrays.copyOfRange(data, off, chunk);
                    off += port._sendData(rest, chunk - off, 1000);
                    if (off < chunk) shortSends++;
                }
                sent += chunk;
            }
            double seconds = (System.nanoTime() - t0) / 1e9;
            System.out.printf("%.4f MB/s (%d short sends)%n", sent / seconds / 1e6, shortSends);
            port._closePort();
            return;
        }

        boolean[] sink = new boolean[1];
        double capNs = nsPerCall(() -> sink[0] ^= port._getCapSendData(), 5_000_000);
        byte[] empty = new byte[16];
        double boundNs = nsPerCall(() -> {
            try {
                port._sendData(empty, 0, 100);  // lookup and array borrow, no write
            } catch (VelaBrevantException e) {
                throw new IllegalStateException(e);
            }
        }, 2_000_000);
        System.out.printf("capability call: %.1f ns%n", capNs);
        System.out.printf("port-bound call (lookup, 0-byte _sendData): %.1f ns%n", boundNs);

        ThreadMXBean threads = ManagementFactory.getThreadMXBean();
        long cpu0 = threads.getCurrentThreadCpuTime();
        long w0 = System.nanoTime();
        try {
            port._receiveData(new byte[8], 8, 2000);
        } catch (VelaBrevantException expected) {
            // nothing arrives: the wait runs out
        }
        System.out.printf("2 s _receiveData wait: %.0f ms wall, %.2f ms CPU%n",
                (System.nanoTime() - w0) / 1e6, (threads.getCurrentThreadCpuTime() - cpu0) / 1e6);
        port._closePort();
    }
}
