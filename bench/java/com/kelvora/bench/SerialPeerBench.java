package com.kelvora.bench;

import com.kelvora.brevant.VelaBrevantException;
import com.kelvora.brevant.VelaCommPortLinuxSerial;
import java.io.BufferedReader;
import java.io.File;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.PrintWriter;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.charset.StandardCharsets;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.LinkedHashMap;
import java.util.Random;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import jssc.SerialPort;
import jssc.SerialPortTimeoutException;

/**
 * The serial library beside jssc, each on a pty of its own whose far end
 * reads as fast as it can, measured in one interleaved run. Prints figures
 * and ratios; judges nothing. With BASELINE_LIB_DIR, another build of the
 * native library (loaded with this jar's classes in a loader of its own)
 * runs the trickled replies beside them.
 * usage: SerialPeerBench PTY_PRINTER_EXE WORK_DIR [BASELINE_LIB_DIR]
 */
public final class SerialPeerBench {
    private SerialPeerBench() {}

    static final int TIMEOUT_MS = 2000;
    static final int MIB = 1 << 20;
    static final int CHUNK = 4096;
    static final int SMALL_SENDS = 20000;
    static final int[] TRICKLE_BAUDS = {9600, 38400};
    static final int[] TRICKLE_LENGTHS = {1, 4, 16};

    /** One 8N1 character on the line: start bit, 8 data bits, stop bit. */
    static long byteNanos(int baud) {
        return 10_000_000_000L / baud;
    }

    /** What a till's program does with a port: wait for n bytes, send a block whole. */
    interface Peer {
        String name();

        /** Waits for n bytes; false when the timeout ran out. */
        boolean receive(byte[] into, int n, int timeoutMs) throws Exception;

        /** Sends all of data[0..n) as a caller of the port's API would. */
        void send(byte[] data, int n) throws Exception;

        void close() throws Exception;

        /** Sets the line to BAUD,none,8,1,none. */
        void setBaud(int baud) throws Exception;
    }

    static final class Vela implements Peer {
        final VelaCommPortLinuxSerial port;
        final String path;

        Vela(String path) throws VelaBrevantException {
            this.path = path;
            port = new VelaCommPortLinuxSerial(path);
            port._openPort(path, "38400,none,8,1,none");
        }

        @Override
        public void setBaud(int baud) throws VelaBrevantException {
            port._closePort();  // settings are given at open only
            port._openPort(path, baud + ",none,8,1,none");
        }

        @Override
        public String name() {
            return "this library";
        }

        @Override
        public boolean receive(byte[] into, int n, int timeoutMs) {
            try {
                return port._receiveData(into, n, timeoutMs) == n;
            } catch (VelaBrevantException timedOut) {
                return false;
            }
        }

        @Override
        public void send(byte[] data, int n) {
            int off = 0;
            while (off < n) {
                byte[] rest = off == 0 ? data : Arrays.copyOfRange(data, off, n);
                try {
                    off += port._sendData(rest, n - off, 1000);  // a short count: send the rest
                } catch (VelaBrevantException failed) {
                    // Nothing says what went out: the block is sent again.
                }
            }
        }

        @Override
        public void close() throws VelaBrevantException {
            port._closePort();
        }
    }

    static final class Jssc implements Peer {
        final SerialPort port;

        Jssc(String path) throws Exception {
            port = new SerialPort(path);
            port.openPort();
            port.setParams(38400, 8, 1, 0);
        }

        @Override
        public String name() {
            return "jssc";
        }

        @Override
        public void setBaud(int baud) throws Exception {
            port.setParams(baud, 8, 1, 0);
        }

        @Override
        public boolean receive(byte[] into, int n, int timeoutMs) throws Exception {
            try {
                byte[] got = port.readBytes(n, timeoutMs);
                System.arraycopy(got, 0, into, 0, n);
                return true;
            } catch (SerialPortTimeoutException timedOut) {
                return false;
            }
        }

        @Override
        public void send(byte[] data, int n) throws Exception {
            byte[] block = n == data.length ? data : Arrays.copyOf(data, n);
            while (!port.writeBytes(block)) {
                // A failed write is sent again, as with the other peer.
            }
        }

        @Override
        public void close() throws Exception {
            port.closePort();
        }
    }

    /**
     * The library's classes loaded anew, whose native library is the one in
     * another folder: two builds side by side in one VM.
     */
    static final class BaselineLoader extends URLClassLoader {
        final String libraryDir;

        BaselineLoader(URL[] jars, String libraryDir) {
            super(jars, SerialPeerBench.class.getClassLoader());
            this.libraryDir = libraryDir;
        }

        @Override
        protected Class<?> loadClass(String name, boolean resolve) throws ClassNotFoundException {
            if (!name.startsWith("com.kelvora.brevant.")) return super.loadClass(name, resolve);
            synchronized (getClassLoadingLock(name)) {
                Class<?> c = findLoadedClass(name);
                if (c == null) c = findClass(name);
                if (resolve) resolveClass(c);
                return c;
            }
        }

        @Override
        protected String findLibrary(String name) {
            File f = new File(libraryDir, System.mapLibraryName(name));
            return f.isFile() ? f.getAbsolutePath() : null;
        }
    }

    /** This library's API on another build, called through reflection. */
    static final class Baseline implements Peer {
        final Object port;
        final Method open, close, receive, send;
        final String path;

        Baseline(String path, String libraryDir) throws Exception {
            this.path = path;
            URL jar = VelaCommPortLinuxSerial.class.getProtectionDomain().getCodeSource().getLocation();
            Class<?> c = new BaselineLoader(new URL[] {jar}, libraryDir)
                    .loadClass("com.kelvora.brevant.VelaCommPortLinuxSerial");
            port = c.getConstructor(String.class).newInstance(path);
            open = c.getMethod("_openPort", String.class, String.class);
            close = c.getMethod("_closePort");
            receive = c.getMethod("_receiveData", byte[].class, int.class, long.class);
            send = c.getMethod("_sendData", byte[].class, int.class, long.class);
            call(open, path, "38400,none,8,1,none");
        }

        private Object call(Method m, Object... args) throws Exception {
            try {
                return m.invoke(port, args);
            } catch (InvocationTargetException e) {
                throw (Exception) e.getCause();
            }
        }

        @Override
        public String name() {
            return "baseline build";
        }

        @Override
        public boolean receive(byte[] into, int n, int timeoutMs) throws Exception {
            try {
                return (int) call(receive, into, n, (long) timeoutMs) == n;
            } catch (Exception timedOut) {
                return false;
            }
        }

        @Override
        public void send(byte[] data, int n) throws Exception {
            call(send, data, n, 1000L);
        }

        @Override
        public void setBaud(int baud) throws Exception {
            call(close);
            call(open, path, baud + ",none,8,1,none");
        }

        @Override
        public void close() throws Exception {
            call(close);
        }
    }

    /** A pty_printer process: the far end of one peer's line. */
    static final class Printer implements AutoCloseable {
        final Process process;
        final BufferedReader out;
        final PrintWriter in;
        final String path;

        Printer(String exe, String link) throws IOException {
            process = new ProcessBuilder(exe, link).redirectError(ProcessBuilder.Redirect.INHERIT).start();
            out = new BufferedReader(new InputStreamReader(process.getInputStream(), StandardCharsets.US_ASCII));
            in = new PrintWriter(process.getOutputStream(), true, StandardCharsets.US_ASCII);
            path = out.readLine();
        }

        private long ask(String command) throws IOException {
            in.println(command);
            return Long.parseLong(out.readLine());
        }

        /** Sends one byte; the monotonic nanoseconds just before the write. */
        long sendByte() throws IOException {
            return ask("b");
        }

        /**
         * Sends n bytes, one per interval; the monotonic nanoseconds of the
         * last write, and how far the latest byte fell behind its time.
         */
        long[] trickle(int n, long intervalNs) throws IOException {
            in.println("t " + n + " " + intervalNs);
            String[] words = out.readLine().split(" ");
            return new long[] {Long.parseLong(words[0]), Long.parseLong(words[1])};
        }

        /** Bytes read since the last call, once the line has been quiet a while. */
        long settledCount() throws IOException, InterruptedException {
            long total = 0;
            int quiet = 0;
            while (quiet < 5) {
                Thread.sleep(20);
                long got = ask("n");
                total += got;
                quiet = got == 0 ? quiet + 1 : 0;
            }
            return total;
        }

        @Override
        public void close() {
            in.close();
            process.destroy();
        }
    }

    static final class Figures {
        final List<Double> latencyMs = new ArrayList<>();
        final List<Double> overrunMs = new ArrayList<>();
        final List<Double> idleCpuMs = new ArrayList<>();
        final List<Double> smallSendUs = new ArrayList<>();
        final List<Double> bulkMBs = new ArrayList<>();
        long duplicates;
        /** Last byte of a trickled reply until the return, in ms, by "BAUD/LENGTH". */
        final Map<String, List<Double>> trickleMs = new LinkedHashMap<>();
        /** The receiving thread's sleeps during each of those receives. */
        final Map<String, List<Double>> trickleWakes = new LinkedHashMap<>();
        /** Of those, the replies the printer sent off its pace. */
        int lateReplies;
    }

    /** The sleeps of the calling thread so far: each one ends in a wake-up. */
    static long sleepsOfThisThread() throws IOException {
        for (String line : Files.readAllLines(Path.of("/proc/thread-self/status"))) {
            if (line.startsWith("voluntary_ctxt_switches:")) return Long.parseLong(line.split("\\s+")[1]);
        }
        throw new IllegalStateException("no voluntary_ctxt_switches");
    }

    static double percentile(List<Double> values, double p) {
        double[] v = values.stream().mapToDouble(Double::doubleValue).sorted().toArray();
        return v[Math.min(v.length - 1, (int) Math.floor(p * v.length))];
    }

    static double median(List<Double> values) {
        return percentile(values, 0.5);
    }

    /** CPU time of every thread of the process, in nanoseconds (the VM's own figure counts 10 ms ticks). */
    static long processCpuNs() throws IOException {
        long total = 0;
        try (DirectoryStream<Path> tasks = Files.newDirectoryStream(Path.of("/proc/self/task"))) {
            for (Path task : tasks) {
                try {
                    total += Long.parseLong(Files.readString(task.resolve("schedstat")).split(" ")[0]);
                } catch (IOException ended) {
                    // a thread that ended meanwhile
                }
            }
        }
        return total;
    }

    static void latency(Peer peer, Printer printer, Figures f, ExecutorService receiver, Random random, int samples)
            throws Exception {
        byte[] one = new byte[1];
        for (int i = 0; i < samples; i++) {
            Future<Long> done = receiver.submit(() -> {
                if (!peer.receive(one, 1, TIMEOUT_MS)) throw new IllegalStateException(peer.name() + " missed a byte");
                return System.nanoTime();
            });
            Thread.sleep(2 + random.nextInt(25));  // any phase of a polling step
            long written = printer.sendByte();
            f.latencyMs.add((done.get() - written) / 1e6);
        }
    }

    /** Replies of each length, paced at the line's byte time, received whole. */
    static void trickled(Peer peer, Printer printer, Figures f, ExecutorService receiver, Random random,
            int baud, int samples) throws Exception {
        for (int n : TRICKLE_LENGTHS) {
            byte[] into = new byte[n];
            List<Double> got = f.trickleMs.computeIfAbsent(baud + "/" + n, k -> new ArrayList<>());
            List<Double> wakes = f.trickleWakes.computeIfAbsent(baud + "/" + n, k -> new ArrayList<>());
            for (int i = 0; i < samples; i++) {
                long[] sleeps = new long[1];
                Future<Long> done = receiver.submit(() -> {
                    long s0 = sleepsOfThisThread();
                    if (!peer.receive(into, n, TIMEOUT_MS)) throw new IllegalStateException(peer.name() + " missed a reply");
                    long t = System.nanoTime();
                    sleeps[0] = sleepsOfThisThread() - s0;
                    return t;
                });
                Thread.sleep(2 + random.nextInt(25));
                long[] sent = printer.trickle(n, byteNanos(baud));
                got.add((done.get() - sent[0]) / 1e6);
                wakes.add((double) sleeps[0]);
                if (sent[1] > byteNanos(baud) / 2) f.lateReplies++;
            }
        }
    }

    static void idleWait(Peer peer, Figures f) throws Exception {
        long cpu0 = processCpuNs();
        long t0 = System.nanoTime();
        if (peer.receive(new byte[8], 8, TIMEOUT_MS)) throw new IllegalStateException("bytes arrived");
        f.overrunMs.add((System.nanoTime() - t0) / 1e6 - TIMEOUT_MS);
        f.idleCpuMs.add((processCpuNs() - cpu0) / 1e6);
    }

    static void sends(Peer peer, Printer printer, Figures f, byte[] data) throws Exception {
        int calls = SMALL_SENDS;
        byte[] small = Arrays.copyOf(data, 16);  // the array a program sends 16 bytes from
        long t0 = System.nanoTime();
        for (int i = 0; i < calls; i++) peer.send(small, 16);
        f.smallSendUs.add((System.nanoTime() - t0) / 1e3 / calls);
        f.duplicates += printer.settledCount() - 16L * calls;

        t0 = System.nanoTime();
        for (int sent = 0; sent < MIB; sent += CHUNK) peer.send(data, CHUNK);
        f.bulkMBs.add(MIB / ((System.nanoTime() - t0) / 1e9) / 1e6);
        f.duplicates += printer.settledCount() - MIB;
    }

    public static void main(String[] args) throws Exception {
        String exe = args[0];
        String dir = args[1];
        byte[] data = new byte[CHUNK];
        for (int i = 0; i < CHUNK; i++) data[i] = (byte) (0x20 + i % 90);
        try (Printer pv = new Printer(exe, dir + "/vela-pty");
             Printer pj = new Printer(exe, dir + "/jssc-pty")) {
            Peer[] peers = {new Vela(pv.path), new Jssc(pj.path)};
            Printer[] printers = {pv, pj};
            Figures[] figures = {new Figures(), new Figures()};
            for (Printer p : printers) p.settledCount();  // the first open's bytes
            ExecutorService receiver = Executors.newSingleThreadExecutor();
            Random random = new Random(16);
            for (int i = 0; i < 2; i++) {  // warm-up
                latency(peers[i], printers[i], new Figures(), receiver, random, 20);
                sends(peers[i], printers[i], new Figures(), data);
            }
            int rounds = 9;
            for (int round = 0; round < rounds; round++) {
                for (int k = 0; k < 2; k++) {
                    int i = (round + k) % 2;  // each peer goes first in turn
                    latency(peers[i], printers[i], figures[i], receiver, random, 40);
                    idleWait(peers[i], figures[i]);
                    sends(peers[i], printers[i], figures[i], data);
                }
            }
            print(figures[0], figures[1], rounds);
            trickleRounds(args, dir, exe, peers, printers, figures, receiver, random);
            receiver.shutdown();
        }
    }

    /** The trickled replies, each peer (and the baseline build, if given) in turn. */
    static void trickleRounds(String[] args, String dir, String exe, Peer[] peers, Printer[] printers,
            Figures[] figures, ExecutorService receiver, Random random) throws Exception {
        List<Peer> all = new ArrayList<>(List.of(peers));
        List<Printer> lines = new ArrayList<>(List.of(printers));
        List<Figures> figs = new ArrayList<>(List.of(figures));
        Printer pb = null;
        if (args.length > 2) {
            pb = new Printer(exe, dir + "/baseline-pty");
            all.add(new Baseline(pb.path, args[2]));
            lines.add(pb);
            figs.add(new Figures());
            pb.settledCount();
        }
        try {
            int rounds = 5;
            for (int baud : TRICKLE_BAUDS) {
                for (Peer p : all) p.setBaud(baud);
                for (int i = 0; i < all.size(); i++) {
                    trickled(all.get(i), lines.get(i), new Figures(), receiver, random, baud, 4);  // warm-up
                }
                for (int round = 0; round < rounds; round++) {
                    for (int k = 0; k < all.size(); k++) {
                        int i = (round + k) % all.size();
                        trickled(all.get(i), lines.get(i), figs.get(i), receiver, random, baud, 8);
                    }
                }
            }
            for (Peer p : all) p.close();
            printTrickle(all, figs, rounds * 8);
        } finally {
            if (pb != null) pb.close();
        }
    }

    static void printTrickle(List<Peer> peers, List<Figures> figs, int samples) {
        System.out.printf("%nTrickled replies: N bytes, one per byte time of the line (8N1), %d each;%n", samples);
        System.out.println("last byte written until receive returns, ms: median / 90th percentile;");
        System.out.println("and the receiving thread's wake-ups per reply, median (2 bytes: two byte times, ms)");
        StringBuilder head = new StringBuilder(String.format("| %-22s | %7s |", "reply", "2 bytes"));
        for (Peer p : peers) head.append(String.format(" %23s |", p.name()));
        System.out.println(head);
        for (String key : figs.get(0).trickleMs.keySet()) {
            String[] bn = key.split("/");
            int baud = Integer.parseInt(bn[0]);
            StringBuilder row = new StringBuilder(String.format("| %-22s | %7.2f |",
                    bn[1] + " bytes at " + baud + " baud", 2 * byteNanos(baud) / 1e6));
            for (Figures f : figs) {
                List<Double> v = f.trickleMs.get(key);
                row.append(String.format(" %6.2f / %6.2f, %5.0f |", median(v), percentile(v, 0.9),
                        median(f.trickleWakes.get(key))));
            }
            System.out.println(row);
        }
        StringBuilder late = new StringBuilder("replies with a byte sent over half a byte time late:");
        for (int i = 0; i < peers.size(); i++) {
            late.append(String.format(" %s %d of %d;", peers.get(i).name(), figs.get(i).lateReplies,
                    samples * figs.get(i).trickleMs.size()));
        }
        System.out.println(late);
    }

    static void row(String figure, double vela, double jssc, String unit, double ratio) {
        String r = Double.isNaN(ratio) ? "-" : String.format("%.2f", ratio);
        System.out.printf("| %-40s | %12.2f %-5s | %12.2f %-5s | %7s |%n", figure, vela, unit, jssc, unit, r);
    }

    static void print(Figures v, Figures j, int rounds) {
        System.out.printf("Serial peers on ptys, %d interleaved rounds (ratio: this library over jssc;%n", rounds);
        System.out.println("for sends, jssc's time over this library's, so above 1 is faster here)");
        System.out.printf("| %-40s | %18s | %18s | %7s |%n", "figure (median)", "this library", "jssc", "ratio");
        double lv = median(v.latencyMs), lj = median(j.latencyMs);
        row("byte written until receive returns", lv, lj, "ms", lv / lj);
        double pv = percentile(v.latencyMs, 0.9), pj = percentile(j.latencyMs, 0.9);
        row("  90th percentile", pv, pj, "ms", pv / pj);
        double ov = median(v.overrunMs), oj = median(j.overrunMs);
        row("2000 ms receive timeout, overrun", ov, oj, "ms", Double.NaN);
        double cv = median(v.idleCpuMs), cj = median(j.idleCpuMs);
        row("process CPU during the 2 s wait", cv, cj, "ms", cv / cj);
        double sv = median(v.smallSendUs), sj = median(j.smallSendUs);
        row("16-byte send", sv, sj, "us", sj / sv);
        double bv = median(v.bulkMBs), bj = median(j.bulkMBs);
        row("1 MiB in 4096-byte sends", bv, bj, "MB/s", bv / bj);
        double perMiB = (double) MIB / (rounds * (MIB + 16L * SMALL_SENDS));
        System.out.printf("| %-40s | %18.0f | %18.0f | %7s |%n", "bytes the printer got twice, per MiB",
                v.duplicates * perMiB, j.duplicates * perMiB, "-");
    }
}
