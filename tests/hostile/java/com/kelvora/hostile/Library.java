package com.kelvora.hostile;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;

/** What the generator and the checker know of each library. */
enum Library {
    LinuxSerial("LS", "VelaCommPortLinuxSerial", 20, 100, Timeout.SIGNED,
            List.of("/dev/ttyVH0", "/dev/ttyVH1", "/dev/ttyVH10")),
    LinuxUSB("LU", "VelaCommPortLinuxUSB", 20, 100, Timeout.SIGNED_POSITIVE,
            List.of("usb0", "usb1", "usb10")),
    LinuxParallel("LP", "VelaCommPortLinuxParallel", 20, 100, Timeout.SIGNED,
            List.of("/dev/parport0", "/dev/parport1", "/dev/parport10")),
    WindowsUSB("WU", "VelaCommPortWindowsUSB", 20, 260, Timeout.IGNORED,
            List.of("QDXUSB001", "QDXUSB002", "QDXUSB0010")),
    WindowsParallel("WP", "VelaCommPortWindowsParallel", 20, 260, Timeout.UNSIGNED,
            List.of("\\\\.\\VLPT", "\\\\.\\VLPT2", "\\\\.\\VLPT20")),
    MacUSB("MU", "VelaCommPortMacUSB", 1, 100, Timeout.UNSIGNED,
            List.of("usb0", "usb1", "usb10"));

    /** How a library reads the Java long timeout. */
    enum Timeout {
        SIGNED,           // low 32 bits, signed; 0 or less: no wait
        SIGNED_POSITIVE,  // as SIGNED, but 0 means no limit (libusb)
        UNSIGNED,         // low 32 bits, unsigned
        IGNORED           // the driver's own timeouts
    }

    static final String EXCEPTION = "com/kelvora/brevant/VelaBrevantException";

    final String column;
    final String javaClass;
    final int slots;
    final int nameField;
    final Timeout timeout;
    final List<String> deviceNames;
    final Set<String> messages;
    final String jniFault;
    final String portNotOpened;

    Library(String column, String javaClass, int slots, int nameField, Timeout timeout,
            List<String> deviceNames) {
        this.column = column;
        this.javaClass = javaClass;
        this.slots = slots;
        this.nameField = nameField;
        this.timeout = timeout;
        this.deviceNames = deviceNames;
        this.messages = Messages.of(column);
        this.jniFault = Messages.find(column, "JNI_FAULT", "");
        this.portNotOpened = column.equals("LS") || column.equals("LP")
                ? Messages.find(column, "Port not opened", "")
                : Messages.find(column, "PORT_NOT_OPENED", "");
    }

    static Library named(String name) {
        for (Library l : values()) {
            if (l.name().equals(name)) return l;
        }
        throw new IllegalArgumentException("no library " + name + "; one of LinuxSerial, LinuxUSB,"
                + " LinuxParallel, WindowsUSB, WindowsParallel, MacUSB");
    }

    boolean isWindows() {
        return this == WindowsUSB || this == WindowsParallel;
    }

    /** Whether an object of a class without a portName field can be made (only the Windows host). */
    boolean hasNoFieldObjects() {
        return isWindows();
    }

    /** The device-gone messages, after which the port is closed by the library itself. */
    Set<String> goneMessages() {
        return switch (this) {
            case LinuxUSB, WindowsUSB -> Set.of(Messages.GONE);
            case MacUSB -> Set.of(Messages.GONE, Messages.GONE_CAPITAL);
            default -> Set.of();
        };
    }

    /**
     * Beyond the lookup's texts, what each method may raise on a port it
     * found (and _openPort with a free slot and a name that fits), as parts
     * of this library's texts; null where any text of the set may come.
     */
    Set<String> raisedBy(String method) {
        List<String> parts = switch (this) {
            case LinuxSerial -> switch (method) {
                case "_openPort" -> List.of("portSettings parameter", "baud rate", "parity method", "data bits",
                        "stop bits", "flow control method", "tcgetattr", "cfsetospeed", "tcsetattr",
                        "call to open", "Memory", "JNI fault");
                case "_receiveData" -> List.of("Memory", "FIONREAD", "read length", "call to read", "JNI fault");
                case "_sendData" -> List.of("Memory", "for TIOCMGET failed", "call to write", "JNI fault");
                case "_sendDataOffline" -> List.of("Memory", "call to write", "JNI fault");
                case "_getENQStatus" -> List.of("tcgetattr", "cfsetospeed", "tcsetattr", "ENQ status");
                case "_getEOTStatus" -> List.of("tcgetattr", "cfsetospeed", "tcsetattr", "EOT status");
                case "_getOnlineStatus" -> List.of("xOn/xOff", "for TIOCMGET failed");
                case "_hdwrResetDevice" -> List.of("TIOCMGET or TIOCMSET");
                default -> List.of();
            };
            case LinuxUSB -> switch (method) {
                case "_openPort" -> List.of("USB busses", "Can not open device", "alternate setting", "endpoints",
                        "Memory", "JNI fault");
                case "_receiveData" -> List.of("Memory", "QDXUSB_REQUEST_BULKIN", "usb_bulk_read", "no device",
                        "JNI fault");
                case "_sendData" -> List.of("Memory", "no device", "JNI fault");
                case "_getENQStatus", "_hdwrResetDevice" -> List.of("usb_control_msg failed.", "no device");
                case "_getOnlineStatus" -> List.of("Netive", "no device");
                default -> List.of();
            };
            case LinuxParallel -> switch (method) {
                case "_openPort" -> List.of("call to open", "PPCLAIM", "Memory", "JNI fault");
                case "_receiveData" -> List.of("NIBBLE", "Memory", "JNI fault");
                case "_sendData" -> List.of("Memory", "JNI fault");
                case "_getENQStatus", "_getOnlineStatus" -> List.of("compatibility", "PPRSTATUS");
                case "_hdwrResetDevice" -> List.of("compatibility", "PPFCONTROL");
                default -> List.of();
            };
            case MacUSB -> switch (method) {
                case "_openPort" -> List.of("IOMasterPort", "Can not open device", "configure device", "interface",
                        "Memory", "JNI fault");
                case "_receiveData" -> List.of("Memory", "No device", "no device", "QDXUSB_REQUEST_BULKIN",
                        "ReadPipeTO", "JNI fault");
                case "_sendData" -> List.of("Memory", "no device", "WritePipeTO", "JNI fault");
                case "_getENQStatus", "_getOnlineStatus" -> List.of("no device", "GET_DEVICE_STATUS");
                case "_hdwrResetDevice" -> List.of("no device", "GET_RESET");
                default -> List.of();
            };
            default -> null;
        };
        if (parts == null) return null;
        Set<String> texts = new java.util.HashSet<>();
        for (String part : parts) texts.add(Messages.find(column, "", part));
        return texts;
    }

    /** The port-bound methods with their argument kinds: a array, i int, l long. */
    static final Map<String, String> PORT_METHODS = new LinkedHashMap<>();
    /** The capability queries and what each library answers (T, F, or - when absent). */
    static final Map<String, String> CAPABILITIES = new LinkedHashMap<>();

    static {
        PORT_METHODS.put("_closePort", "");
        PORT_METHODS.put("_receiveData", "ail");
        PORT_METHODS.put("_sendData", "ail");
        PORT_METHODS.put("_sendDataOffline", "ail");
        PORT_METHODS.put("_getENQStatus", "l");
        PORT_METHODS.put("_getEOTStatus", "l");
        PORT_METHODS.put("_getOnlineStatus", "l");
        PORT_METHODS.put("_getPowerStatus", "l");
        PORT_METHODS.put("_hdwrResetDevice", "");
        // Columns: LS LU LP WU WP MU.
        CAPABILITIES.put("_getCapReceiveData", "TTTTTT");
        CAPABILITIES.put("_getCapSendData", "TTTTTT");
        CAPABILITIES.put("_getCapSendDataOffline", "TFF-FF");
        CAPABILITIES.put("_getCapENQStatus", "TTTTTT");
        CAPABILITIES.put("_getCapEOTStatus", "TFFFFF");
        CAPABILITIES.put("_getCapOnlineStatus", "TTTTTT");
        CAPABILITIES.put("_getCapPowerStatus", "FFFTFF");
        CAPABILITIES.put("_getCapHdwrResetDevice", "TTTTTT");
        CAPABILITIES.put("_getCapRecoverPrinter", "---F--");
    }

    /** T, F or '-' for a capability query of this library. */
    char capability(String method) {
        return CAPABILITIES.get(method).charAt(ordinal());
    }

    /** The operations that exist but refuse at once, before any lookup. */
    boolean unsupported(String method) {
        return switch (method) {
            case "_sendDataOffline", "_getEOTStatus" -> this != LinuxSerial;
            case "_getPowerStatus" -> this != WindowsUSB;
            default -> false;
        };
    }

    /** Every method this library's class has, in a fixed order. */
    List<String> methods() {
        List<String> all = new ArrayList<>();
        all.add("_openPort");
        for (String m : PORT_METHODS.keySet()) {
            if (!(this == WindowsUSB && m.equals("_sendDataOffline"))) all.add(m);
        }
        for (String m : CAPABILITIES.keySet()) {
            if (capability(m) != '-') all.add(m);
        }
        return all;
    }

    /** The timeout as this library waits it in this method, in milliseconds (negative: no wait). */
    long effectiveTimeout(String method, long t) {
        // The serial status exchange waits in select with the whole long.
        if (this == LinuxSerial && (method.equals("_getENQStatus") || method.equals("_getEOTStatus"))) return t;
        return switch (timeout) {
            case SIGNED -> (int) t;
            // libusb waits without limit on 0, and long on what is negative.
            case SIGNED_POSITIVE -> (int) t == 0 ? Long.MAX_VALUE : t & 0xFFFFFFFFL;
            case UNSIGNED -> t & 0xFFFFFFFFL;
            case IGNORED -> 0;
        };
    }

    /**
     * Longest a call may take before it counts as hung: ten times what it
     * waits by its timeout, plus a share per byte moved, since a transfer
     * that makes progress renews its timeout.
     */
    long limitMillis(String method, long t, long bytes) {
        long wait = method.startsWith("_getCap") || method.equals("_openPort") || method.equals("_closePort")
                ? 0 : Math.max(0, effectiveTimeout(method, t));
        // A USB receive makes two transfers with the timeout; a USB reset
        // waits its fixed second; Windows libraries have driver timeouts.
        int transfers = method.equals("_receiveData") && (this == LinuxUSB || this == MacUSB) ? 2 : 1;
        long fixed = method.equals("_hdwrResetDevice") ? 1000 : 0;
        if (isWindows()) fixed = Math.max(fixed, 5000);
        long expected = Math.min(wait, Long.MAX_VALUE / 40) * transfers + fixed + 200 + bytes / 160;
        return Math.min(expected, Long.MAX_VALUE / 20) * 10;
    }

    /** Whether a call that could really wait may be given this timeout. */
    boolean shortWait(String method, long t) {
        long e = effectiveTimeout(method, t);
        return e <= 200;
    }
}
