package com.kelvora.brevant;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.HashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * The printer ports of this machine: USB printers with the printer's
 * identity, serial lines with a UART or a USB adapter behind them, parallel
 * ports. Only /sys and /dev are read; no device is opened, so listing never
 * disturbs a port another program has open.
 */
public final class PrinterPorts {
    private PrinterPorts() {}

    static final String VENDOR = "0f3c";
    static final String PRODUCT = "0002";
    private static final Path USB_DEVICES = Path.of("/sys/bus/usb/devices");
    private static final Path TTYS = Path.of("/sys/class/tty");
    private static final Path DEV = Path.of("/dev");
    private static final Pattern SERIAL_NAME = Pattern.compile("tty(S|USB|ACM)(\\d+)");
    private static final Pattern PARALLEL_NAME = Pattern.compile("parport(\\d+)");
    /** The bytes a port name may take: the libraries' name field less its closing zero. */
    static final int NAME_BYTES = 99;
    private static final Pattern SHELL_PLAIN = Pattern.compile("[A-Za-z0-9_@%+=:,./-]+");

    /** Whether {@link #list()} can list this machine's ports (Linux only). */
    public static boolean canList() {
        return System.getProperty("os.name", "").toLowerCase(Locale.ROOT).startsWith("linux");
    }

    /**
     * Every printer port this machine offers: USB printers first, then
     * serial lines, then parallel ports, each group in the kernel's order.
     *
     * @throws UnsupportedOperationException on Windows and macOS, where
     *     the ports are the printer driver's and IOKit's to name
     */
    public static List<PrinterPort> list() {
        if (!canList()) {
            throw new UnsupportedOperationException("listing printer ports needs Linux's /sys and /dev; on "
                    + System.getProperty("os.name") + " pass the printer's port name to _openPort yourself");
        }
        List<PrinterPort> ports = new ArrayList<>();
        usbPrinters(ports);
        serialLines(ports);
        parallelPorts(ports);
        return ports;
    }

    private static void usbPrinters(List<PrinterPort> ports) {
        record Found(String socket, String serial, int bus, int device) {}
        List<Found> found = new ArrayList<>();
        Map<String, Integer> serials = new HashMap<>();
        for (Path dir : entries(USB_DEVICES, "[0-9]+-[0-9.]+")) {
            if (!VENDOR.equals(attribute(dir, "idVendor")) || !PRODUCT.equals(attribute(dir, "idProduct"))) {
                continue;
            }
            // The kernel's bytes as they stand: "K-7 " is not "K-7".
            String serial = line(dir, "serial");
            serial = serial == null || serial.isEmpty() ? null : serial;
            Integer bus = number(attribute(dir, "busnum"));
            Integer device = number(attribute(dir, "devnum"));
            if (bus == null || device == null) {
                continue;  // the kernel is still setting it up
            }
            found.add(new Found(dir.getFileName().toString(), serial, bus, device));
            if (serial != null) {
                serials.merge(serial, 1, Integer::sum);
            }
        }
        for (Found f : found) {
            String port = "usb:port=" + f.socket();
            List<String> names = new ArrayList<>();
            String serial = "no serial number";
            if (f.serial() != null) {
                String bySerial = "usb:serial=" + f.serial();
                serial = "serial number "
                        + (printable(f.serial()) ? shellWord(f.serial()) : "with characters no terminal shows");
                // A serial number shared by two printers reaches only the first: the socket names each.
                if (serials.get(f.serial()) != 1) {
                    serial += " (shared with another printer)";
                } else if (modifiedUtf8Length(bySerial) > NAME_BYTES) {
                    serial += " (too long for a port name, which holds " + NAME_BYTES + " bytes)";
                } else if (!printable(f.serial())) {
                    serial += " (not a name to type)";
                } else {
                    names.add(bySerial);
                }
            }
            names.add(port);
            String node = String.format("/dev/bus/usb/%03d/%03d", f.bus(), f.device());
            String text = "USB printer " + VENDOR + ":" + PRODUCT + ", " + serial
                    + ", socket " + f.socket() + ", bus " + f.bus() + " device " + f.device() + ", " + node
                    + "; names " + String.join(" ", names.stream().map(PrinterPorts::shellWord).toList());
            ports.add(new PrinterPort(names.get(0), names.subList(1, names.size()), PrinterPort.Kind.USB, node, text));
        }
    }

    private static void serialLines(List<PrinterPort> ports) {
        Map<String, List<String>> byId = links(DEV.resolve("serial/by-id"));
        for (Path tty : entries(TTYS, SERIAL_NAME.pattern())) {
            String name = tty.getFileName().toString();
            Path node = DEV.resolve(name);
            Path device = tty.resolve("device");
            if (!Files.exists(node) || !Files.isDirectory(device)) {
                continue;  // no hardware behind the name
            }
            String text;
            if (name.startsWith("ttyS")) {
                // The 8250 driver makes ttyS0 to ttyS31 whether or not a UART
                // answers; a placeholder reports port type 0 (unknown).
                if ("0".equals(attribute(tty, "type"))) {
                    continue;
                }
                text = "serial port of this machine";
            } else {
                text = "USB serial adapter" + usbIdentity(device);
            }
            List<String> aliases = byId.getOrDefault(node.toString(), List.of());
            if (!aliases.isEmpty()) {
                text += "; also " + String.join(" ", aliases);
            }
            ports.add(new PrinterPort(node.toString(), aliases, PrinterPort.Kind.SERIAL, node.toString(), text));
        }
    }

    private static void parallelPorts(List<PrinterPort> ports) {
        for (Path node : entries(DEV, PARALLEL_NAME.pattern())) {
            ports.add(new PrinterPort(node.toString(), List.of(), PrinterPort.Kind.PARALLEL, node.toString(),
                    "parallel port"));
        }
    }

    /** " VVVV:PPPP (maker product), serial number S" of the USB device above a tty's device. */
    private static String usbIdentity(Path device) {
        Path dir;
        try {
            dir = device.toRealPath();
        } catch (IOException e) {
            return "";
        }
        while (dir != null && attribute(dir, "idVendor") == null) {
            dir = dir.getParent();
        }
        if (dir == null) {
            return "";
        }
        StringBuilder text = new StringBuilder(" " + attribute(dir, "idVendor") + ":" + attribute(dir, "idProduct"));
        List<String> words = new ArrayList<>();
        for (String a : new String[] {"manufacturer", "product"}) {
            String value = attribute(dir, a);
            if (value != null && !value.isEmpty()) {
                words.add(value);
            }
        }
        if (!words.isEmpty()) {
            text.append(" (").append(String.join(" ", words)).append(")");
        }
        String serial = attribute(dir, "serial");
        text.append(serial == null || serial.isEmpty() ? ", no serial number" : ", serial number " + serial);
        return text.toString();
    }

    /** Node path -> the links in dir that point at it. */
    private static Map<String, List<String>> links(Path dir) {
        Map<String, List<String>> links = new HashMap<>();
        for (Path link : entries(dir, ".+")) {
            try {
                // Resolved by hand: a link's target is relative to its folder.
                String target = link.getParent().resolve(Files.readSymbolicLink(link)).normalize().toString();
                links.computeIfAbsent(target, k -> new ArrayList<>()).add(link.toString());
            } catch (IOException | UnsupportedOperationException e) {
                // not a link
            }
        }
        return links;
    }

    /** The entries of dir whose names match, in natural order (ttyS2 before ttyS10). */
    static List<Path> entries(Path dir, String regex) {
        List<Path> found = new ArrayList<>();
        try (DirectoryStream<Path> stream = Files.newDirectoryStream(dir)) {
            for (Path p : stream) {
                if (p.getFileName().toString().matches(regex)) {
                    found.add(p);
                }
            }
        } catch (IOException e) {
            return found;  // no such folder: nothing of that kind here
        }
        found.sort(Comparator.comparing(p -> naturalKey(p.getFileName().toString())));
        return found;
    }

    private static String naturalKey(String name) {
        Matcher m = Pattern.compile("\\d+").matcher(name);
        StringBuilder key = new StringBuilder();
        while (m.find()) {
            m.appendReplacement(key, "0".repeat(Math.max(0, 10 - m.group().length())) + m.group());
        }
        m.appendTail(key);
        return key.toString();
    }

    /** A sysfs attribute without its line end, or null when it cannot be read. */
    static String attribute(Path dir, String name) {
        String line = line(dir, name);
        return line == null ? null : line.strip();
    }

    /** A sysfs attribute less the one line end the kernel adds, spaces kept; null when it cannot be read. */
    private static String line(Path dir, String name) {
        try {
            String text = new String(Files.readAllBytes(dir.resolve(name)), StandardCharsets.UTF_8);
            return text.endsWith("\n") ? text.substring(0, text.length() - 1) : text;
        } catch (IOException e) {
            return null;
        }
    }

    /** The bytes of a name in the libraries' name field: its modified UTF-8 (GetStringUTFChars). */
    static int modifiedUtf8Length(String name) {
        int n = 0;
        for (char c : name.toCharArray()) {
            n += c != 0 && c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        }
        return n;
    }

    /** Whether a terminal shows every character of the text as itself (no control or invisible ones). */
    static boolean printable(String text) {
        return text.codePoints().allMatch(c -> c >= 0x20 && c < 0x7F || c >= 0xA0 && switch (Character.getType(c)) {
            case Character.SPACE_SEPARATOR, Character.LINE_SEPARATOR, Character.PARAGRAPH_SEPARATOR,
                    Character.CONTROL, Character.FORMAT, Character.SURROGATE, Character.PRIVATE_USE,
                    Character.UNASSIGNED -> false;
            default -> true;
        });
    }

    /** The text as one word a POSIX shell passes on unchanged: as it is, or in single quotes. */
    static String shellWord(String text) {
        boolean plain = !text.isEmpty() && text.codePoints().allMatch(c ->
                c < 0x80 ? SHELL_PLAIN.matcher(Character.toString(c)).matches() : printable(Character.toString(c)));
        return plain ? text : "'" + text.replace("'", "'\\''") + "'";
    }

    private static Integer number(String text) {
        try {
            return text == null ? null : Integer.valueOf(text);
        } catch (NumberFormatException e) {
            return null;
        }
    }
}
