package com.kelvora.hostile;

import java.util.Arrays;
import java.util.Map;
import java.util.Set;
import java.util.TreeMap;

/**
 * The model of one library's port table and every judgement on what a call
 * did. Executors only report; this decides, the same way for all of them.
 */
final class Checker {
    private final Library lib;
    private final long seed;
    private final byte[][] slots;
    /** The settings each slot was opened with, for the serial port's flow control. */
    private final String[] settings;
    private final byte[][] names = new byte[Generator.POOL][];
    private final Map<String, Integer> seen = new TreeMap<>();
    private int calls;
    private long reached;
    private int opened;
    private int refusedFull;
    private int notOpen;
    private int gone;
    private int printerSteps;
    private long slowest;
    private String slowestCall = "";

    Checker(Library lib, long seed) {
        this.lib = lib;
        this.seed = seed;
        this.slots = new byte[lib.slots][];
        this.settings = new String[lib.slots];
    }

    /** A step that is no call: names change the model, printer steps are counted. */
    void note(Script.Step step) {
        if (step.kind().equals("name")) {
            names[Integer.parseInt(step.target().substring(1))] = Script.stringBytes(step.arg(0));
        } else {
            printerSteps++;
        }
    }

    /** Judges one call; null when it did what the contract allows, else what went wrong. */
    String check(Script.Step call, Outcome o) {
        calls++;
        if (o.dev() > 0) reached += o.dev();
        if (o.raised()) seen.merge(o.message(), 1, Integer::sum);
        String method = call.arg(0);
        String wrong = judge(call, method, o);
        if (wrong == null && o.ms() >= 0) {
            long limit = lib.limitMillis(method, timeoutOf(call), bytesOf(call));
            if (o.ms() > slowest) {
                slowest = o.ms();
                slowestCall = method;
            }
            if (o.ms() > limit) wrong = "hang: " + method + " took " + o.ms() + " ms, limit " + limit + " ms";
        }
        return wrong == null ? null : failure(o.n(), wrong + " [" + call.line() + "]");
    }

    String failure(int n, String what) {
        return "seed " + seed + " call " + n + ": " + what;
    }

    /** Bytes a transfer call may move: its length, at most the array's. */
    static long bytesOf(Script.Step call) {
        if (!Library.PORT_METHODS.getOrDefault(call.arg(0), "").startsWith("a")) return 0;
        return Math.max(0, Math.min(Script.arrayLength(call.arg(1)), Integer.parseInt(call.arg(2))));
    }

    static long timeoutOf(Script.Step call) {
        String kinds = Library.PORT_METHODS.getOrDefault(call.arg(0), "");
        int i = kinds.indexOf('l');
        return i < 0 ? 0 : Long.parseLong(call.arg(1 + i));
    }

    private String judge(Script.Step call, String method, Outcome o) {
        if (o.raised() && !Library.EXCEPTION.equals(o.exceptionClass())) {
            return "raised " + o.exceptionClass() + ": " + o.message();
        }
        if (o.raised() && !lib.messages.contains(o.message())) {
            return "message outside the library's set: '" + o.message() + "'";
        }
        if (method.startsWith("_getCap")) {
            if (o.raised()) return method + " raised '" + o.message() + "'";
            long want = lib.capability(method) == 'T' ? 1 : 0;
            return o.value() == want ? null : method + " answered " + o.value() + ", not " + want;
        }
        if (lib.unsupported(method)) return expect(o, Messages.UNSUPPORTED);
        if (method.equals("_openPort")) return open(call, o);
        byte[] key = call.target().equals("nofield") ? null : names[Integer.parseInt(call.target().substring(1))];
        if (key == null) return expect(o, lib.jniFault);
        int slot = lookup(key);
        if (slot < 0) {
            notOpen++;
            return expect(o, lib.portNotOpened);
        }
        if (method.equals("_closePort")) {
            slots[slot] = null;
            return o.raised() ? "_closePort of an open port raised '" + o.message() + "'" : null;
        }
        if (o.raised()) {
            if (lib.goneMessages().contains(o.message())) {
                gone++;
                slots[slot] = null;
                return null;
            }
            if (o.message().equals(lib.portNotOpened) || o.message().equals(Messages.TOO_MANY)) {
                return "port in slot " + slot + " not found: '" + o.message() + "'";
            }
            String wrong = raisedBy(method, o.message());
            if (wrong != null) return wrong;
        }
        // The Windows USB power test answers false only when the device has
        // gone, and then closes the port without a word.
        if (lib == Library.WindowsUSB && method.equals("_getPowerStatus") && o.value() == 0) {
            gone++;
            slots[slot] = null;
            return null;
        }
        String kinds = Library.PORT_METHODS.get(method);
        if (lib == Library.LinuxSerial) {
            String wrong = serial(call, method, o, settings[slot]);
            if (wrong != null) return wrong;
        }
        if (kinds.startsWith("a")) return transfer(call, o);
        if (o.raised()) return o.message().equals(lib.jniFault) ? "JNI fault with a portName and no array" : null;
        if (method.equals("_getENQStatus") && (lib == Library.LinuxUSB || lib == Library.LinuxParallel
                || lib == Library.MacUSB) && (o.value() & ~0x0C) != 0) {
            return "ENQ status " + o.value() + " is not built of 0x04 and 0x08";
        }
        return null;
    }

    static final String XON_XOFF = "19200,even,7,2,xonxoff";
    static final Set<String> NO_XON_XOFF = Set.of("9600,none,8,1,none", "9600,none,8,1,hdwr");

    /**
     * What a serial port owes beyond the table: the online test refuses a
     * port with XON/XOFF flow control, a send whose timeout is 0 or less
     * sends nothing, a receive of bytes whose timeout is 0 or less fails
     * without looking at the queue.
     */
    private String serial(Script.Step call, String method, Outcome o, String opened) {
        String xonXoff = Messages.find("LS", "UNSUPPORTED_OPERATION", "xOn/xOff");
        if (method.equals("_getOnlineStatus")) {
            if (XON_XOFF.equals(opened)) return expect(o, xonXoff);
            if (NO_XON_XOFF.contains(opened) && o.raised() && o.message().equals(xonXoff)) {
                return "online test refused on a port opened with " + opened;
            }
            return null;
        }
        if (!Library.PORT_METHODS.get(method).startsWith("a") || call.arg(1).equals("null")) return null;
        int length = Integer.parseInt(call.arg(2));
        int timeout = (int) Long.parseLong(call.arg(3));
        if (timeout > 0) return null;
        if (method.equals("_receiveData") && length > 0) {
            String readLength = Messages.find("LS", "NATIVE_FN_CALL_FAILURE", "read length");
            if (o.raised() && (o.message().equals(readLength) || o.message().equals(Messages.MEMORY))) return null;
            return "receive with timeout " + timeout + " " + (o.raised() ? "raised '" + o.message() + "'"
                    : "returned " + o.value()) + ", not the read-length failure";
        }
        if (method.startsWith("_send") && (o.raised() || o.value() != 0)) {
            return "send with timeout " + timeout + " moved something: "
                    + (o.raised() ? "'" + o.message() + "'" : o.value());
        }
        return null;
    }

    private String transfer(Script.Step call, Outcome o) {
        int arrayLength = Script.arrayLength(call.arg(1));
        int length = Integer.parseInt(call.arg(2));
        if (arrayLength < 0) return expect(o, lib.jniFault);
        if (o.raised()) {
            return o.message().equals(lib.jniFault) ? "JNI fault with an array and a portName" : null;
        }
        long most = Math.max(0, Math.min(length, arrayLength));
        if (o.value() < 0 || o.value() > most) {
            return call.arg(0) + " returned " + o.value() + " for length " + length + " and an array of "
                    + arrayLength;
        }
        return null;
    }

    private String open(Script.Step call, Outcome o) {
        int free = -1;
        for (int i = 0; i < slots.length && free < 0; i++) {
            if (slots[i] == null) free = i;
        }
        byte[] name = Script.stringBytes(call.arg(1));
        if (free < 0) {
            refusedFull++;
            return expect(o, Messages.TOO_MANY);
        }
        if (o.raised()) {
            String m = o.message();
            if (m.equals(Messages.TOO_MANY) || m.equals(lib.portNotOpened) || lib.goneMessages().contains(m)) {
                return "open with slot " + free + " free raised '" + m + "'";
            }
            if (name == null || name.length >= lib.nameField) return null;
            return raisedBy("_openPort", m);
        }
        // Refused in the library's own order (a serial port checks its
        // settings first): some message, but never a port.
        if (name == null) return "open of a null name returned";
        if (name.length >= lib.nameField) return "open of a name of " + name.length + " bytes returned";
        opened++;
        slots[free] = name;
        settings[free] = Script.decodeString(call.arg(2));
        return null;
    }

    private String raisedBy(String method, String message) {
        Set<String> allowed = lib.raisedBy(method);
        if (allowed == null || allowed.contains(message)) return null;
        return method + " raised '" + message + "', which it has no cause to raise";
    }

    private static String expect(Outcome o, String message) {
        if (!o.raised()) return "returned " + o.value() + " where '" + message + "' was due";
        return o.message().equals(message) ? null : "raised '" + o.message() + "' where '" + message + "' was due";
    }

    /** The first slot in use whose stored name is exactly the key. */
    private int lookup(byte[] key) {
        for (int i = 0; i < slots.length; i++) {
            if (slots[i] != null && Arrays.equals(slots[i], key)) return i;
        }
        return -1;
    }

    /** Judges the end of a run. */
    String end(Outcome.End end, int lastCall) {
        if (end == null) return failure(lastCall, "the executor crashed or hung after this call (no end line)");
        if (end.crashes() != 0) return failure(lastCall, end.crashes() + " crashes");
        if (end.misuse() > 0) return failure(lastCall, end.misuse() + " JNI warnings or host misuse records");
        if (end.heldEnd() != end.heldStart()) {
            return failure(lastCall, "held " + end.heldStart() + " before the first call, " + end.heldEnd()
                    + " once every port was closed");
        }
        return null;
    }

    /** The figures line of a clean run. */
    String figures(Outcome.End end) {
        Set<String> all = lib.messages;
        long inSet = seen.keySet().stream().filter(all::contains).count();
        return "figures " + lib.name() + " seed=" + seed + " calls=" + calls + " reached-device=" + reached
                + " opened=" + opened + " refused-full=" + refusedFull + " not-open=" + notOpen + " gone=" + gone
                + " printer-steps=" + printerSteps + " noops=" + end.noops() + " crashes=" + end.crashes()
                + (end.misuse() >= 0 ? " misuse=" + end.misuse() : "") + " other-exceptions=0 hangs=0"
                + " messages-seen=" + inSet + "/" + all.size() + " held=" + end.heldStart() + "->" + end.heldEnd()
                + " slowest-ms=" + slowest + (slowestCall.isEmpty() ? "" : "(" + slowestCall + ")");
    }

    /** The texts of the library's set that no call raised. */
    java.util.List<String> unseen() {
        return lib.messages.stream().filter(m -> !seen.containsKey(m)).toList();
    }
}
