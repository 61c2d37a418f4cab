package com.kelvora.printersim;

/** One emulated parallel printer on a ppdev node /dev/NAME. */
public final class ParallelPrinter {
    public static final int ERROR_CLEAR = 0x08;  // nFault high: no error
    public static final int SELECT = 0x10;
    public static final int PAPER_OUT = 0x20;
    public static final int MODE_COMPAT = 0x100;
    public static final int MODE_NIBBLE = 0;

    private final PrinterSim sim;
    public final String path;

    public ParallelPrinter(PrinterSim sim, String name) {
        this.sim = sim;
        this.path = sim.call("parallel.add " + name);
    }

    public void setStatus(int lines) {
        sim.call("parallel.status " + path + " " + lines);
    }

    /** Fails: claim, rstatus, compat, nibble, fcontrol1, fcontrol2. */
    public void fail(String... names) {
        sim.call("parallel.fail " + path + " " + (names.length == 0 ? "none" : String.join(" ", names)));
    }

    /** Bytes one write takes; 0 makes the printer busy. */
    public void acceptPerWrite(int count) {
        sim.call("parallel.accept " + path + " " + count);
    }

    public void acceptAll() {
        sim.call("parallel.accept " + path + " all");
    }

    /** Select falls once this many more bytes have arrived. */
    public void offlineAfter(int count) {
        sim.call("parallel.offline_after " + path + " " + count);
    }

    /** What successive nibble-mode reads deliver, one chunk per read. */
    public void nibbles(byte[]... chunks) {
        StringBuilder sb = new StringBuilder("parallel.nibbles " + path);
        for (byte[] c : chunks) sb.append(' ').append(PrinterSim.hex(c));
        sim.call(sb.toString());
    }

    public byte[] take() {
        return PrinterSim.unhex(sim.call("parallel.take " + path));
    }

    public int claims() {
        return Integer.parseInt(sim.call("parallel.claimed " + path));
    }

    /** Descriptors of this process open on the node. */
    public long descriptorsInThisProcess() {
        return PrinterSim.descriptorsOn(java.nio.file.Paths.get(sim.call("parallel.backing " + path)));
    }

    /** Calls seen since the last call, as "ms:kind:value" words. */
    public String[] events() {
        String text = sim.call("parallel.events " + path);
        return text.equals("-") ? new String[0] : text.split(" ");
    }
}
