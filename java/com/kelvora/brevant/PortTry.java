package com.kelvora.brevant;

import java.io.PrintStream;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.nio.charset.StandardCharsets;
import java.util.Locale;

/**
 * Opens one port with the port class the platform and the name call for,
 * shows the printer's answers, optionally prints a test receipt, and closes
 * it again: the first thing to run at a till that does not print.
 */
final class PortTry {
    private PortTry() {}

    static final String DEFAULT_SETTINGS = "9600,none,8,1,hdwr";
    private static final long TIMEOUT_MS = 2000;

    /** The port class for a name on this platform. */
    static String portClass(String name) {
        String os = System.getProperty("os.name", "").toLowerCase(Locale.ROOT);
        if (os.startsWith("windows")) {
            return name.toUpperCase(Locale.ROOT).startsWith("LPT") ? "VelaCommPortWindowsParallel"
                    : "VelaCommPortWindowsUSB";
        }
        if (os.startsWith("mac")) {
            return "VelaCommPortMacUSB";
        }
        if (name.startsWith("/dev/tty") || name.startsWith("/dev/serial/")) {
            return "VelaCommPortLinuxSerial";
        }
        return name.startsWith("/dev/parport") ? "VelaCommPortLinuxParallel" : "VelaCommPortLinuxUSB";
    }

    /** Prints what happens; the result is the exit status (0: the printer answered and took the receipt). */
    static int run(PrintStream out, String name, String settings, boolean print) {
        String portClass = portClass(name);
        boolean serial = portClass.endsWith("Serial");
        out.println("opening " + name + " with " + portClass + (serial ? ", settings " + settings : ""));
        Object port;
        try {
            port = Class.forName("com.kelvora.brevant." + portClass).getConstructor(String.class).newInstance(name);
        } catch (LinkageError | ReflectiveOperationException e) {
            out.println("failed: " + (e.getCause() != null ? e.getCause() : e));
            return 1;
        }
        try {
            call(port, "_openPort", name, serial ? settings : "");
        } catch (VelaBrevantException e) {
            out.println("failed: " + e.getMessage());
            return 1;
        }
        int status = 0;
        VelaBrevantException failure = null;
        try {
            out.println("online: " + call(port, "_getOnlineStatus", TIMEOUT_MS));
            out.println("ENQ status: " + hex(call(port, "_getENQStatus", TIMEOUT_MS)));
            if (serial) {
                out.println("EOT status: " + hex(call(port, "_getEOTStatus", TIMEOUT_MS)));
            }
            if (print) {
                byte[] receipt = receipt(name);
                int sent = (Integer) call(port, "_sendData", receipt, receipt.length, TIMEOUT_MS * 5);
                out.println("sent " + sent + " of " + receipt.length + " bytes of a test receipt");
                if (sent != receipt.length) {
                    out.println("failed: the printer took only part of the receipt");
                    status = 1;
                }
            }
        } catch (VelaBrevantException e) {
            failure = e;
        }
        try {
            call(port, "_closePort");
            out.println("closed");
        } catch (VelaBrevantException e) {
            // A USB port whose printer went away is closed already: the first failure says why.
            failure = failure != null ? failure : e;
        }
        if (failure != null) {
            out.println("failed: " + failure.getMessage());
            return 1;
        }
        return status;
    }

    private static byte[] receipt(String name) {
        // ESC @ resets the printer's modes, so the text prints plain.
        String text = "\u001b@Vela printer test\n" + name + "\n"
                + java.time.LocalDateTime.now().format(java.time.format.DateTimeFormatter.ofPattern("yyyy-MM-dd HH:mm:ss"))
                + "\n\n\n\n";
        return text.getBytes(StandardCharsets.US_ASCII);
    }

    private static String hex(Object b) {
        return String.format("0x%02X", ((Byte) b) & 0xFF);
    }

    /** Calls a native method of the port object by name, passing its exception through as it came. */
    private static Object call(Object port, String method, Object... args) throws VelaBrevantException {
        for (Method m : port.getClass().getMethods()) {
            if (m.getName().equals(method) && m.getParameterCount() == args.length) {
                try {
                    return m.invoke(port, args);
                } catch (InvocationTargetException e) {
                    if (e.getCause() instanceof VelaBrevantException v) {
                        throw v;
                    }
                    throw new IllegalStateException(e.getCause());
                } catch (IllegalAccessException e) {
                    throw new IllegalStateException(e);
                }
            }
        }
        throw new IllegalStateException("no method " + method + " on " + port.getClass().getName());
    }
}
