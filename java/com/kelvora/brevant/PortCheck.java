package com.kelvora.brevant;

import java.io.IOException;
import java.io.PrintStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFileAttributes;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Locale;
import java.util.Set;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * What stands between this user and each printer, with one fix per line:
 * where the native libraries load from, then each port's node (its group,
 * this user's membership, the udev rule, the kernel's usblp driver,
 * read-only access). Only reads files; opens no device.
 */
final class PortCheck {
    private PortCheck() {}

    static final String RULE = "60-vela-brevant.rules";
    /** Where udev looks for rules, most important first: a file in an earlier folder masks a later one. */
    private static final String[] RULE_DIRS = {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/lib/udev/rules.d",
        "/lib/udev/rules.d"};

    /** Who this process is to the kernel: its user and the groups it carries now. */
    private record Me(String name, Set<Long> groups) {}

    /** Prints the findings; the result is the number of problems (0: nothing stands in the way). */
    static int run(PrintStream out) {
        int problems = 0;
        String os = System.getProperty("os.name", "").toLowerCase(Locale.ROOT);
        List<String> classes = os.startsWith("windows") ? List.of("VelaCommPortWindowsUSB", "VelaCommPortWindowsParallel")
                : os.startsWith("mac") ? List.of("VelaCommPortMacUSB")
                : List.of("VelaCommPortLinuxSerial", "VelaCommPortLinuxParallel", "VelaCommPortLinuxUSB");
        boolean skipped = false;
        for (String c : classes) {
            NativeLibraries.Loaded loaded = library(out, c);
            problems += loaded == null ? 1 : 0;
            skipped |= loaded == null || !loaded.skipped().isEmpty();
        }
        if (skipped) {
            noexecPlaces(out);
        }
        if (!PrinterPorts.canList()) {
            out.println("ports: not listed on " + System.getProperty("os.name")
                    + "; try NAME opens one (the printer driver's port name)");
        } else {
            Me me = me();
            List<PrinterPort> ports = PrinterPorts.list();
            if (ports.isEmpty()) {
                problems += problem(out, "no printer port found", "plug the printer in and switch it on, then check again");
            }
            for (PrinterPort port : ports) {
                problems += port(out, port, me);
            }
        }
        out.println(problems == 0 ? "nothing stands in the way" : problems + " problem(s)");
        return problems;
    }

    private static int problem(PrintStream out, String what, String fix) {
        out.println("  problem: " + what);
        out.println("    fix: " + fix);
        return 1;
    }

    /**
     * Loads the port class's library as a till program would, and says from
     * where; null, after the problem, when it does not load.
     */
    private static NativeLibraries.Loaded library(PrintStream out, String portClass) {
        try {
            Class.forName("com.kelvora.brevant." + portClass, true, PortCheck.class.getClassLoader());
        } catch (LinkageError | ClassNotFoundException e) {
            out.println("library " + portClass + ": cannot load");
            String why = String.valueOf(e.getMessage());
            if (why.contains("libusb-0.1.so.4")) {
                problem(out, "libusb-0.1 is missing (libusb-0.1.so.4)", "sudo apt-get install libusb-0.1-4");
            } else if (why.contains("not in this jar")) {
                problem(out, why, "use the vela-brevant.jar built for " + NativeLibraries.platform());
            } else {
                problem(out, why, "run java with -Djava.io.tmpdir=DIR, DIR a folder of yours where programs may run (not mounted noexec)");
            }
            return null;
        }
        NativeLibraries.Loaded loaded = NativeLibraries.loaded(portClass);
        if (loaded == null) {
            loaded = new NativeLibraries.Loaded("where this JVM loaded it before", List.of());
        }
        out.println("library " + portClass + ": loads from " + loaded.from());
        for (String s : loaded.skipped()) {
            out.println("  note: not from " + s);
        }
        return loaded;
    }

    /** Names the extraction places that sit on a noexec mount, where no library can load. */
    private static void noexecPlaces(PrintStream out) {
        List<String> mounts;
        try {
            mounts = Files.readAllLines(Path.of("/proc/self/mountinfo"));
        } catch (IOException e) {
            return;  // not Linux
        }
        for (NativeLibraries.Place p : NativeLibraries.places()) {
            Path place = p.base();
            String best = "";
            boolean noexec = false;
            for (String line : mounts) {
                // id parent major:minor root mountpoint options ...
                String[] f = line.split(" ");
                String point = f[4].replace("\\040", " ");
                boolean under = place.startsWith(point);
                if (under && point.length() >= best.length()) {
                    best = point;
                    noexec = List.of(f[5].split(",")).contains("noexec");
                }
            }
            if (noexec) {
                out.println("  note: " + place + " is on a noexec mount (" + best + "): no library loads from there");
            }
        }
    }

    private static int port(PrintStream out, PrinterPort port, Me me) {
        Path node = Path.of(port.device());
        PosixFileAttributes a;
        try {
            a = Files.readAttributes(node, PosixFileAttributes.class);
        } catch (IOException e) {
            out.println(port.name() + "  " + node);
            return problem(out, node + " cannot be read: " + e, "unplug and plug the printer in again");
        }
        String group = a.group().getName();
        long gid = ((Number) attribute(node, "unix:gid")).longValue();
        boolean member = me.groups().contains(gid);
        out.println(port.name() + "  " + node + " (group " + group + ", mode "
                + String.format("%04o", ((Number) attribute(node, "unix:mode")).intValue() & 07777) + "; "
                + (member ? "you are in " + group : "you are not in " + group) + ")");
        // The kernel's own answer (it counts ACLs, such as udev's uaccess, too).
        boolean read = Files.isReadable(node);
        boolean write = Files.isWritable(node);
        int problems = 0;
        if (!write) {
            if (!member && listedIn(group, me.name())) {
                problems += problem(out, "you were added to group " + group + " after this session began",
                        "log out and in again (or run: newgrp " + group + ")");
            } else if (!member && !group.equals("root")) {
                problems += problem(out, "you are not in group " + group + ", which may use this port",
                        "sudo adduser " + me.name() + " " + group + ", then log out and in again");
            }
        }
        if (port.kind() == PrinterPort.Kind.USB) {
            problems += usb(out, port, node, group, me, read, write, problems > 0);
        } else if (!write && problems == 0) {
            // No one joins root: a node left to it goes to the group Debian's rules give its kind.
            String kind = port.kind() == PrinterPort.Kind.SERIAL ? "dialout" : "lp";
            String owner = group.equals("root") ? kind : group;
            problems += problem(out, "you may not " + (read ? "write to " : "open ") + node,
                    fixes((group.equals("root") ? "sudo chgrp " + kind + " " + node + " && " : "")
                            + "sudo chmod g+rw " + node, joining(me, owner)));
        }
        if (problems == 0) {
            out.println("  ok");
        }
        return problems;
    }

    private static int usb(PrintStream out, PrinterPort port, Path node, String group, Me me, boolean read,
            boolean write, boolean explained) {
        int problems = 0;
        String rule = ruleGroup();
        if (rule == null && !write) {
            problems += problem(out, "the package's udev rule " + RULE + " is not installed",
                    "install the libvela-brevant-jni package (it applies the rule at once), or copy " + RULE
                            + " to /etc/udev/rules.d/ and replug the printer");
        } else if (rule != null && !rule.equals(group) && !write) {
            problems += problem(out, "the node lacks group " + rule + " that the udev rule gives it",
                    "sudo udevadm trigger --subsystem-match=usb --attr-match=idVendor=" + PrinterPorts.VENDOR
                            + ", or replug the printer");
        } else if (rule == null) {
            out.println("  note: the udev rule " + RULE + " is not installed: other users may not reach the printer");
        }
        // Write access comes from the rule's group (lp, as the package's rule gives it).
        String kind = rule != null ? rule : "lp";
        boolean groupWrites = (((Number) attribute(node, "unix:mode")).intValue() & 020) != 0;
        String access = fixes(rule == null ? "install the udev rule (above), which gives group " + kind + " write access"
                : !rule.equals(group) ? "apply the udev rule (above)" : groupWrites ? "" : "sudo chmod g+rw " + node,
                joining(me, kind));
        if (read && !write) {
            // libusb-0.1 opens such a node read-only, where the kernel refuses the interface claim.
            problems += problem(out, node + " is read-only for you: _openPort fails with \"Can not open device.\"", access);
        } else if (!read && !write && problems == 0 && !explained) {
            problems += problem(out, "you may not open " + node, access);
        }
        String socket = socket(port);
        Path iface = Path.of("/sys/bus/usb/devices").resolve(socket);
        for (Path i : PrinterPorts.entries(iface, socket.replace(".", "\\.") + ":[0-9.]+")) {
            Path driver = i.resolve("driver");
            try {
                if (Files.readSymbolicLink(driver).getFileName().toString().equals("usblp")) {
                    String name = i.getFileName().toString();
                    problems += problem(out, "the kernel's usblp driver holds the printer's interface " + name,
                            "echo -n " + name + " | sudo tee /sys/bus/usb/drivers/usblp/unbind"
                                    + " (for good: echo 'blacklist usblp' | sudo tee /etc/modprobe.d/no-usblp.conf)");
                }
            } catch (IOException | UnsupportedOperationException e) {
                // no driver bound
            }
        }
        return problems;
    }

    private static String socket(PrinterPort port) {
        List<String> names = new ArrayList<>(port.otherNames());
        names.add(port.name());
        for (String n : names) {
            if (n.startsWith("usb:port=")) {
                return n.substring("usb:port=".length());
            }
        }
        throw new IllegalStateException("a USB port without its socket: " + port);
    }

    /** The group the installed rule gives the printer's node; null when no rule is in force. */
    private static String ruleGroup() {
        for (String dir : RULE_DIRS) {
            Path rule = Path.of(dir, RULE);
            if (Files.exists(rule)) {
                try {
                    Matcher m = Pattern.compile("GROUP=\"([^\"]+)\"").matcher(Files.readString(rule));
                    return m.find() ? m.group(1) : null;  // an empty file masks the rule
                } catch (IOException e) {
                    return null;
                }
            }
        }
        return null;
    }

    private static Object attribute(Path node, String name) {
        try {
            return Files.getAttribute(node, name);
        } catch (IOException e) {
            return -1;
        }
    }

    /** This process's user and groups, from the kernel (new logins are what change them). */
    private static Me me() {
        Set<Long> groups = new HashSet<>();
        try {
            for (String line : Files.readAllLines(Path.of("/proc/self/status"))) {
                if (line.startsWith("Gid:") || line.startsWith("Groups:")) {
                    for (String g : line.substring(line.indexOf(':') + 1).trim().split("\\s+")) {
                        if (!g.isEmpty()) {
                            groups.add(Long.valueOf(g));
                        }
                    }
                }
            }
        } catch (IOException e) {
            // no /proc: every group counts as missing
        }
        return new Me(System.getProperty("user.name"), groups);
    }

    /** The fixes that apply, in order, as one line. */
    private static String fixes(String... parts) {
        return String.join("; ", List.of(parts).stream().filter(p -> !p.isEmpty()).toList());
    }

    /** What this user still does to carry the group: nothing, a new login, or joining it. */
    private static String joining(Me me, String group) {
        String[] entry = groupEntry(group);
        if (entry != null && me.groups().contains(Long.valueOf(entry[2]))) {
            return "";
        }
        if (listedIn(group, me.name())) {
            return "then log out and in again (or run: newgrp " + group + ")";
        }
        return "join group " + group + ": sudo adduser " + me.name() + " " + group + ", then log out and in again";
    }

    /** Whether /etc/group names the user as a member of the group. */
    private static boolean listedIn(String group, String user) {
        String[] entry = groupEntry(group);
        return entry != null && List.of(entry[3].split(",")).contains(user);
    }

    /** The group's line of /etc/group, split at its colons; null when it has none. */
    private static String[] groupEntry(String group) {
        try {
            for (String line : Files.readAllLines(Path.of("/etc/group"))) {
                String[] f = line.split(":", -1);
                if (f.length >= 4 && f[0].equals(group) && f[2].matches("[0-9]+")) {
                    return f;
                }
            }
        } catch (IOException e) {
            return null;
        }
        return null;
    }
}
