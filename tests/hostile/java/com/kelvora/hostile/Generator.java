package com.kelvora.hostile;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import java.util.SplittableRandom;

/**
 * Seeded hostile call sequences: the same library, seed and count give the
 * same script. Calls that could really wait (their object may find an open
 * port) only get timeouts the library waits briefly; long ones go where
 * nothing can wait.
 */
final class Generator {
    static final int POOL = 24;

    private final Library lib;
    private final SplittableRandom rng;
    private final List<Script.Step> steps = new ArrayList<>();
    private final String[] names = new String[POOL];
    /**
     * Names an open may have stored. A portName that begins one still
     * counts as one that may wait: more than the exact lookup finds, which
     * keeps each seed's script as it was.
     */
    private final Set<String> mayBeOpen = new HashSet<>();
    private int burst;
    private int drain;

    private Generator(Library lib, long seed) {
        this.lib = lib;
        this.rng = new SplittableRandom(seed);
    }

    static Script generate(Library lib, long seed, int calls) {
        Generator g = new Generator(lib, seed);
        for (int i = 0; i < POOL; i++) g.setName(1, i, g.name());
        for (int n = 1; n <= calls; n++) g.step(n);
        return new Script(lib, seed, calls, List.copyOf(g.steps));
    }

    private void setName(int n, int obj, String name) {
        names[obj] = name;
        steps.add(new Script.Step(n, "name", "p" + obj, List.of(Script.encodeString(name))));
    }

    private void step(int n) {
        if (burst == 0 && drain == 0) {
            int r = rng.nextInt(400);
            if (r == 0) burst = lib.slots + 2;
            if (r == 1) drain = lib.slots + 1;
        }
        if (drain > 0) {
            // Closes in a row on an empty portName, which finds the first
            // slot in use, until the table is surely empty.
            if (drain-- == lib.slots + 1) setName(n, 0, "");
            call(n, "p0", "_closePort", List.of());
            return;
        }
        if (burst > 0) {
            // Opens in a row until the table is surely full: the refusal of
            // one open too many.
            burst--;
            int obj = rng.nextInt(POOL);
            String device = pick(lib.deviceNames);
            if (rng.nextBoolean()) setName(n, obj, device);
            open(n, "p" + obj, device);
            return;
        }
        if (rng.nextInt(100) < 12) printer(n);
        if (rng.nextInt(100) < 6) setName(n, rng.nextInt(POOL), name());
        String obj = lib.hasNoFieldObjects() && rng.nextInt(100) < 3 ? "nofield" : "p" + rng.nextInt(POOL);
        String method = method();
        if (method.equals("_openPort")) {
            int i = obj.equals("nofield") ? -1 : Integer.parseInt(obj.substring(1));
            open(n, obj, i >= 0 && rng.nextInt(100) < 60 ? names[i] : name());
            return;
        }
        String kinds = Library.PORT_METHODS.getOrDefault(method, "");
        boolean wait = mayWait(obj, method);
        List<String> args = new ArrayList<>();
        int arrayLength = -1;
        for (char k : kinds.toCharArray()) {
            switch (k) {
                case 'a' -> {
                    arrayLength = arrayLength();
                    args.add(arrayLength < 0 ? "null" : "a:" + arrayLength);
                    if (arrayLength < 0) wait = false;
                }
                case 'i' -> args.add(Integer.toString(receivable(method, wait, length(arrayLength))));
                default -> args.add(Long.toString(timeout(method, wait)));
            }
        }
        call(n, obj, method, args);
    }

    private void open(int n, String obj, String wanted) {
        String name = openable(wanted);
        String settings = settings();
        byte[] bytes = name == null ? null : Script.modifiedUtf8(name);
        boolean opens = bytes != null && bytes.length < lib.nameField
                && (lib == Library.LinuxUSB || lib == Library.MacUSB || lib.deviceNames.contains(name)
                    || opensOnWindows(name));
        if (opens) mayBeOpen.add(name);
        call(n, obj, "_openPort", List.of(Script.encodeString(name), Script.encodeString(settings)));
    }

    /**
     * Windows opens a path whose last part ends in spaces or dots as the
     * path without them, whatever its case: \\.\VLPT followed by a space is
     * the printer \\.\VLPT, stored under the name with the space.
     */
    private boolean opensOnWindows(String name) {
        if (!lib.isWindows()) return false;
        String trimmed = name.replaceAll("[ .]+$", "");
        return lib.deviceNames.stream().anyMatch(d -> d.equalsIgnoreCase(trimmed));
    }

    /**
     * The name an open is given. On the device-path libraries, a /dev path
     * that is no emulated printer moves out of /dev: the device emulation
     * keeps a record of every failed open there and gives up after a few
     * dozen, and a prefix such as /dev/tty names a real device of the
     * machine. Lookups keep every name.
     */
    private String openable(String name) {
        if ((lib == Library.LinuxSerial || lib == Library.LinuxParallel) && name != null
                && name.startsWith("/dev") && !lib.deviceNames.contains(name)) {
            return "/nonexistent" + name;
        }
        return name;
    }

    private void call(int n, String obj, String method, List<String> args) {
        steps.add(new Script.Step(n, "call", obj, concat(method, args)));
    }

    private static List<String> concat(String first, List<String> rest) {
        List<String> all = new ArrayList<>();
        all.add(first);
        all.addAll(rest);
        return all;
    }

    /** Whether the call could find an open port and then wait on the printer. */
    private boolean mayWait(String obj, String method) {
        if (!Library.PORT_METHODS.containsKey(method) || lib.unsupported(method) || obj.equals("nofield")) {
            return false;
        }
        String name = names[Integer.parseInt(obj.substring(1))];
        if (name == null) return false;
        byte[] key = Script.modifiedUtf8(name);
        for (String open : mayBeOpen) {
            byte[] stored = Script.modifiedUtf8(open);
            if (stored.length >= key.length && Arrays.equals(stored, 0, key.length, key, 0, key.length)) {
                return true;
            }
        }
        return false;
    }

    private String method() {
        int r = rng.nextInt(100);
        if (r < 14) return "_openPort";
        if (r < 26) return "_closePort";
        if (r < 38) return "_receiveData";
        if (r < 50) return "_sendData";
        if (r < 56) return lib == Library.WindowsUSB ? "_sendData" : "_sendDataOffline";
        if (r < 64) return "_getENQStatus";
        if (r < 69) return "_getEOTStatus";
        if (r < 77) return "_getOnlineStatus";
        if (r < 81) return "_getPowerStatus";
        if (r < 87) return "_hdwrResetDevice";
        List<String> caps = lib.methods().stream().filter(m -> m.startsWith("_getCap")).toList();
        return pick(caps);
    }

    private long timeout(String method, boolean mayWait) {
        long t = anyTimeout();
        while (mayWait && !lib.shortWait(method, t)) t = anyTimeout();
        return t;
    }

    private long anyTimeout() {
        int r = rng.nextInt(100);
        if (r < 15) return 0;
        if (r < 30) return pick(List.of(-1L, -20L, -5000L, (long) Integer.MIN_VALUE, Long.MIN_VALUE));
        if (r < 70) return 1 + rng.nextInt(50);
        if (r < 85) return pick(List.of(Long.MAX_VALUE, (long) Integer.MAX_VALUE, 1L << 40, 3_600_000L));
        // Huge, with low 32 bits that are small, negative or odd.
        long high = (1L + rng.nextInt(1 << 20)) << 32;
        long low = pick(List.of((long) (1 + rng.nextInt(50)), 0xFFFFFFFFL, 0x80000000L, 0x7FFFFFF1L, 0L));
        return high | low;
    }

    private int arrayLength() {
        int r = rng.nextInt(100);
        if (r < 8) return -1;
        if (r < 16) return 0;
        if (r < 46) return 1 + rng.nextInt(16);
        if (r < 71) return 17 + rng.nextInt(284);
        if (r < 86) return pick(List.of(255, 256, 257, 4095, 4096, 4097, 8193));
        if (r < 96) return 300 + rng.nextInt(1700);
        return 20000 + rng.nextInt(50000);
    }

    private int length(int arrayLength) {
        int base = Math.max(arrayLength, 16);
        int r = rng.nextInt(100);
        if (r < 35) return Math.max(arrayLength, 0);
        if (r < 43) return 0;
        if (r < 51) return pick(List.of(-1, -4096, Integer.MIN_VALUE));
        if (r < 59) return base + 1 + rng.nextInt(100);
        if (r < 63) return Integer.MAX_VALUE;
        if (r < 67) return 100_000 + rng.nextInt(10_000_000);
        return rng.nextInt(base + 1);
    }

    /**
     * A serial or parallel receive allocates the whole length it is asked
     * for, which under the address sanitizer takes seconds for a gigabyte,
     * and the emulated parallel port copies the whole buffer of every read;
     * so a receive that may find a port asks for at most a megabyte.
     * Elsewhere lengths stay as drawn.
     */
    private int receivable(String method, boolean mayWait, int length) {
        boolean allocates = lib == Library.LinuxParallel || lib == Library.LinuxSerial;
        if (allocates && mayWait && method.equals("_receiveData")) return Math.min(length, 1 << 20);
        return length;
    }

    /** A portName: mostly a device's, else a prefix, junk, null, too long or odd characters. */
    private String name() {
        int r = rng.nextInt(100);
        String device = pick(lib.deviceNames);
        if (r < 45) return device;
        if (r < 57) return device.substring(0, rng.nextInt(device.length()));
        if (r < 62) return null;
        if (r < 70) return device + pick(List.of("0", "9", "x", " ", "/", "\u00e9"));
        if (r < 76) return "A".repeat(pick(List.of(98, 99, 100, 101, 259, 260, 261, 300, 1000)));
        if (r < 88) return oddCharacters();
        return pick(List.of("COM1", "LPT1", "usb", "nothing", "/dev/ttyVH2", "/dev/parport2", "\\\\.\\LPT1"));
    }

    private String oddCharacters() {
        String[] pool = {"\u0000", "\u00e9", "\u20ac", "\ud83d\ude00", "\ud800", "\udfff", "\uffff", " ", "/", "\\",
            "\u0001", "\u007f", "%s", "a"};
        StringBuilder sb = new StringBuilder();
        int count = 1 + rng.nextInt(12);
        for (int i = 0; i < count; i++) sb.append(pool[rng.nextInt(pool.length)]);
        return sb.toString();
    }

    private String settings() {
        int r = rng.nextInt(100);
        if (r < 30) return "9600,none,8,1,none";
        if (r < 50) return "9600,none,8,1,hdwr";
        if (r < 60) return "19200,even,7,2,xonxoff";
        if (r < 80) {
            return pick(List.of("", "9600", "9600,none,8,1", "abc,none,8,1,none", "9600,odd,9,1,none",
                    "9600,none,8,3,none", "9600,none,8,1,zzz", "0,none,8,1,none", "9600,,8,1,none",
                    "9600,none,8,1,none,extra", ",,,,", "-9600,none,8,1,none", "9".repeat(400)));
        }
        if (r < 90) return null;
        return oddCharacters();
    }

    /** Re-scripts the printer before call n. */
    private void printer(int n) {
        int r = rng.nextInt(100);
        List<String> args = new ArrayList<>();
        String action;
        if (r < 18) action = "normal";
        else if (r < 28) {
            action = "fail";
            args.add(Integer.toString(1 + rng.nextInt(3)));
        } else if (r < 36) action = "short";
        else if (r < 46) action = "stall";
        else if (r < 58) {
            action = "status";
            args.add(String.format("%02x", printable(rng.nextInt(256))));
        } else if (r < 66) action = "offline";
        else if (r < 74) action = "online";
        else if (r < 86) {
            action = "reply";
            StringBuilder hex = new StringBuilder();
            int count = 1 + rng.nextInt(40);
            for (int i = 0; i < count; i++) hex.append(String.format("%02x", printable(rng.nextInt(256))));
            args.add(hex.toString());
        } else if (r < 93) action = "vanish";
        else action = "return";
        steps.add(new Script.Step(n, "printer", action, args));
    }

    /**
     * Bytes a serial printer sends: never XON or XOFF, which the terminal
     * driver under XON/XOFF flow control takes as orders and by which it
     * may stop output for good.
     */
    private int printable(int b) {
        if (lib == Library.LinuxSerial && (b == 0x11 || b == 0x13)) return b + 1;
        return b;
    }

    private <T> T pick(List<T> from) {
        return from.get(rng.nextInt(from.size()));
    }
}
