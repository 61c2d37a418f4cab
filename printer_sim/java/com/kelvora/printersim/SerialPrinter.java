package com.kelvora.printersim;

/** One emulated serial printer, on a umockdev node with modem lines or a plain pty. */
public final class SerialPrinter {
    public static final int DSR = 0x100;
    public static final int CTS = 0x020;
    public static final int DTR = 0x002;

    private final PrinterSim sim;
    public final String path;

    private SerialPrinter(PrinterSim sim, String path) {
        this.sim = sim;
        this.path = path;
    }

    /** A printer on the node /dev/NAME whose modem lines the emulator owns. */
    public static SerialPrinter withModemLines(PrinterSim sim, String name) {
        return new SerialPrinter(sim, sim.call("serial.add modem " + name));
    }

    /** A bare pty: real termios, but no modem lines. */
    public static SerialPrinter plainPty(PrinterSim sim) {
        return new SerialPrinter(sim, sim.call("serial.add plain"));
    }

    public void setLines(int lines) {
        sim.call("serial.lines " + path + " " + lines);
    }

    public void reply(int request, int reply) {
        sim.call("serial.reply " + path + " " + request + " " + reply);
    }

    /** The printer answers ENQ and EOT this many milliseconds after the request. */
    public void replyDelay(int ms) {
        sim.call("serial.reply_delay " + path + " " + ms);
    }

    public void noReply(int request) {
        sim.call("serial.reply " + path + " " + request + " none");
    }

    /** Everything received since the last take. */
    public byte[] take() {
        return PrinterSim.unhex(sim.call("serial.take " + path));
    }

    /** Long enough for anything a loaded machine delays; a pass costs nothing. */
    public static final int ARRIVAL_MS = 10_000;

    /** Waits (up to ARRIVAL_MS) for at least count bytes, then takes all received. */
    public byte[] waitFor(int count) {
        return waitFor(count, ARRIVAL_MS);
    }

    /** Waits (up to ARRIVAL_MS) until the byte `last` has arrived, then takes all received. */
    public byte[] takeThrough(int last) {
        return PrinterSim.unhex(sim.call("serial.wait_byte " + path + " " + last + " " + ARRIVAL_MS));
    }

    /** Waits up to timeoutMs for at least count bytes, then takes all received. */
    public byte[] waitFor(int count, int timeoutMs) {
        return PrinterSim.unhex(sim.call("serial.wait " + path + " " + count + " " + timeoutMs));
    }

    /** The printer sends these bytes, one every intervalMs when that is above 0. */
    public void feed(byte[] data, int intervalMs) {
        sim.call("serial.feed " + path + " " + PrinterSim.hex(data) + " " + intervalMs);
    }

    /** c_iflag c_oflag c_cflag c_lflag ispeed ospeed VMIN VTIME of the line. */
    public long[] termios() {
        String[] words = sim.call("serial.termios " + path).split(" ");
        long[] values = new long[words.length];
        for (int i = 0; i < words.length; i++) values[i] = Long.parseLong(words[i]);
        return values;
    }

    /** "RATE STOP PARITY DATA": what reaches the wire (stop 0 one bit, 2 two; parity 0 none, 1 odd, 2 even). */
    public String lineCoding() {
        return sim.call("serial.line_coding " + path);
    }

    public void setInputFlags(int bits) {
        sim.call("serial.set_iflag " + path + " " + bits);
    }

    /** Sets VMIN and VTIME on the line, as a process killed mid-wait may leave them. */
    public void setWake(int vmin, int vtime) {
        sim.call("serial.set_wake " + path + " " + vmin + " " + vtime);
    }

    /** "VMIN:VTIME" words: the line as it stood before each byte of slow feeds since the last call. */
    public String wakeSettings() {
        return sim.call("serial.wake_settings " + path);
    }

    /** Clears c_cflag bits on the line, as another program might have left it. */
    public void clearControlFlags(int bits) {
        sim.call("serial.clear_cflag " + path + " " + bits);
    }

    /** Waits (up to ARRIVAL_MS) until the host side holds `count` unread input bytes. */
    public void awaitHostQueued(int count) {
        sim.call("serial.await_queued " + path + " " + count + " " + ARRIVAL_MS);
    }

    /** Modem-line ioctls seen since the last call, as "ms:kind:value" words. */
    public String[] events() {
        String text = sim.call("serial.events " + path);
        return text.equals("-") ? new String[0] : text.split(" ");
    }

    /**
     * Fails the named ioctls with EIO: tiocmget, tiocmset, tiocmset1,
     * tiocmset2, and fionreadN (the Nth FIONREAD from now and every later one).
     */
    public void fail(String... names) {
        sim.call("serial.fail " + path + " " + (names.length == 0 ? "none" : String.join(" ", names)));
    }

    /** The host's looks at its input count (FIONREAD) since the last call. */
    public int looks() {
        return Integer.parseInt(sim.call("serial.looks " + path));
    }

    /** The printer sends these bytes right after the host's next look at its input count. */
    public void feedOnLook(byte[] data) {
        sim.call("serial.feed_on_look " + path + " " + PrinterSim.hex(data));
    }

    /** The printer stops reading until the host has filled the line, then reads again ms later. */
    public void holdUntilFull(int ms) {
        sim.call("serial.hold_until_full " + path + " " + ms);
    }

    /** Whether the line was full while the printer held it. */
    public boolean wasFull() {
        return sim.call("serial.was_full " + path).equals("1");
    }

    /** The printer stops reading (true) or reads again (false). */
    public void stall(boolean on) {
        sim.call("serial.stall " + path + " " + (on ? 1 : 0));
    }

    /** The line goes away under the host, as a USB serial line pulled out. */
    public void unplug() {
        sim.call("serial.unplug " + path);
    }

    public int hostLines() {
        return Integer.parseInt(sim.call("serial.host_lines " + path));
    }
}
