package com.kelvora.brevant;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.kelvora.printersim.PrinterSim;
import com.kelvora.printersim.UsbPrinter;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * java -jar vela-brevant.jar as the person at a till runs it: as the user
 * nobody, beside emulated nodes that carry the owners and modes of real
 * ones, each run in a mount namespace of its own where the test sets the
 * udev rules, /etc/group and the temporary folder the tool finds.
 */
class PrinterToolTest {
    static final String JAR = System.getProperty("vela.natives.jar");
    static final String JAVA = Path.of(System.getProperty("java.home"), "bin", "java").toString();
    static final String RULE_DIRS = "/etc/udev/rules.d /usr/lib/udev/rules.d /lib/udev/rules.d";

    record Run(int exit, String output) {}

    /** The tool as nobody with these groups, after the shell lines setup (run as root in the namespace). */
    Run tool(String setup, String groups, Path tmp, String... args) throws Exception {
        List<String> command = new ArrayList<>(List.of("unshare", "-m", "sh", "-ec", setup + "\nexec \"$@\"", "sh",
                "setpriv", "--reuid=nobody", "--regid=nogroup", groups.isEmpty() ? "--clear-groups" : "--groups=" + groups,
                "--inh-caps=-all", JAVA, "-Djava.io.tmpdir=" + tmp, "-jar", jar.toString()));
        command.addAll(List.of(args));
        return run(new ProcessBuilder(command).directory(work.toFile()));
    }

    static Run run(ProcessBuilder pb) throws Exception {
        pb.redirectErrorStream(true).environment().remove("XDG_CACHE_HOME");
        Process p = pb.start();
        String output = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertTrue(p.waitFor(120, TimeUnit.SECONDS));
        return new Run(p.exitValue(), output);
    }

    static void has(Run run, String... texts) {
        for (String t : texts) {
            assertTrue(run.output().contains(t), "no '" + t + "' in:\n" + run.output());
        }
    }

    @TempDir
    Path work;

    /** The jar where nobody can read it: the checkout may sit in a private home. */
    Path jar;

    /** A folder nobody may use as its temporary folder. */
    Path openTmp(String name) throws Exception {
        Files.setPosixFilePermissions(work, PosixFilePermissions.fromString("rwxr-xr-x"));
        Path tmp = Files.createDirectory(work.resolve(name));
        Files.setPosixFilePermissions(tmp, PosixFilePermissions.fromString("rwxrwxrwx"));
        return tmp;
    }

    @Test
    void listAndCheckAsAUserWhoIsNotRootNameEachPortAndWhatStandsInItsWay() throws Exception {
        assumeTrue(Files.readString(Path.of("/proc/self/status")).matches("(?s).*\\nUid:\\s+0\\s.*"),
                "setpriv and mount namespaces need root (the suite runs as root in CI)");
        Process probe = new ProcessBuilder("unshare", "-m", "true").redirectErrorStream(true).start();
        String why = new String(probe.getInputStream().readAllBytes(), StandardCharsets.UTF_8).strip();
        assumeTrue(probe.waitFor() == 0, "no private mount namespace here (" + why + "): it needs a root that is a "
                + "mount point; in a chroot, bind-mount its root onto itself first");
        jar = Files.copy(Path.of(JAR), openTmp("jar").resolve("vela-brevant.jar"));
        Files.setPosixFilePermissions(jar, PosixFilePermissions.fromString("rw-r--r--"));
        PrinterSim sim = PrinterSim.connect();
        byte[] descriptors = UsbPrinter.descriptors(UsbPrinter.VENDOR, UsbPrinter.PRODUCT,
                new int[] {0, 0, 0x01, UsbPrinter.BULK, 0x82, UsbPrinter.BULK});
        String counter = sim.call("usb.add " + PrinterSim.hex(descriptors) + " K-7");
        String kitchen = sim.call("usb.add " + PrinterSim.hex(descriptors));
        String tty = sim.call("serial.add modem ttyS0");
        sim.call("serial.add placeholder ttyS1");
        String adapter = sim.call("serial.add adapter ttyUSB0");
        String parport = sim.call("parallel.add parport0");
        sim.call("node.own " + counter + " lp 0660");
        sim.call("node.own " + kitchen + " root 0664");  // as the kernel leaves it without the rule
        sim.call("usb.driver " + kitchen + " usblp");
        sim.call("node.own " + tty + " dialout 0660");
        sim.call("node.own " + adapter + " root 0660");  // as a device no rule knows
        sim.call("node.own " + parport + " lp 0660");
        String counterPort = "1-" + Integer.parseInt(counter.substring(counter.lastIndexOf('/') + 1));
        String kitchenPort = "1-" + Integer.parseInt(kitchen.substring(kitchen.lastIndexOf('/') + 1));

        Run list = tool("", "", openTmp("list"), "list");
        assertEquals(0, list.exit(), list.output());
        List<String> names = list.output().lines().map(l -> l.split(" ")[0]).toList();
        assertEquals(List.of("usb:serial=K-7", "usb:port=" + kitchenPort, "/dev/ttyS0", "/dev/ttyUSB0", "/dev/parport0"),
                names,
                list.output());
        has(list, "serial number K-7, socket " + counterPort + ", bus 1 device ", counter + "; names usb:serial=K-7 usb:port="
                + counterPort, "no serial number, socket " + kitchenPort,
                "USB serial adapter 0403:6001 (FTDI FT232R USB UART), serial number A10K3XYZ; also "
                        + "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0");

        // Nobody listed in lp but not carrying it, no rule, usblp bound, a noexec temporary folder.
        Path group = Files.createFile(work.resolve("group"), PosixFilePermissions.asFileAttribute(
                PosixFilePermissions.fromString("rw-r--r--")));
        Files.writeString(group, Files.readString(Path.of("/etc/group")).replaceFirst("(?m)^lp:([^:]*):([^:]*):.*$",
                "lp:$1:$2:nobody"));
        Path noexec = openTmp("noexec");
        Run blocked = tool("for d in " + RULE_DIRS + "; do [ ! -d $d ] || mount -t tmpfs none $d; done\n"
                + "mount --bind " + group + " /etc/group\nmount -t tmpfs -o noexec none " + noexec, "", noexec, "check");
        assertEquals(1, blocked.exit(), blocked.output());
        has(blocked, "library VelaCommPortLinuxUSB: cannot load", noexec + "/vela-brevant-nobody is on a noexec mount",
                "problem: you were added to group lp after this session began", "fix: log out and in again",
                "problem: you are not in group dialout", "fix: sudo adduser nobody dialout",
                "problem: the package's udev rule 60-vela-brevant.rules is not installed",
                kitchen + " is read-only for you: _openPort fails with \"Can not open device.\"",
                "fix: install the udev rule (above), which gives group lp write access; then log out and in again",
                "fix: sudo chgrp dialout /dev/ttyUSB0 && sudo chmod g+rw /dev/ttyUSB0; join group dialout: sudo adduser",
                "problem: the kernel's usblp driver holds the printer's interface " + kitchenPort + ":1.0",
                "fix: echo -n " + kitchenPort + ":1.0 | sudo tee /sys/bus/usb/drivers/usblp/unbind");
        assertFalse(blocked.output().contains("ttyS1"), blocked.output());

        // The rule installed after the printer was plugged in: its node still lacks the rule's group.
        Path rule = Path.of(System.getProperty("vela.udev.rule"));
        String withRule = "for d in " + RULE_DIRS + "; do [ ! -d $d ] || { mount -t tmpfs none $d; cp " + rule
                + " $d/; break; }; done";
        Path fine = openTmp("fine");
        has(tool(withRule, "lp,dialout", fine, "check"), "problem: the node lacks group lp that the udev rule gives it");

        // Mended: the groups carried, the rule in place, usblp gone, the node as the rule makes it.
        sim.call("usb.driver " + kitchen + " none");
        sim.call("node.own " + kitchen + " lp 0660");
        sim.call("node.own " + adapter + " dialout 0660");
        Run clear = tool(withRule, "lp,dialout", fine, "check");
        assertEquals(0, clear.exit(), clear.output());
        has(clear, "library VelaCommPortLinuxSerial: loads from " + fine + "/vela-brevant-nobody/",
                "nothing stands in the way");
        assertFalse(clear.output().contains("problem"), clear.output());

        // Then try, as that user, prints through the serial library and through libusb.
        sim.call("serial.reply " + tty + " 5 0x00");
        sim.call("serial.reply " + tty + " 4 0x00");
        // (Which USB printer a name reaches is the USB library's own tests' business.)
        for (String[] t : new String[][] {{tty, "serial.take " + tty},
                {"usb:port=" + counterPort, "usb.take " + counter, "usb.take " + kitchen}}) {
            Run tried = tool(withRule, "lp,dialout", fine, "try", t[0], "--print");
            assertEquals(0, tried.exit(), tried.output());
            has(tried, "online: true", "ENQ status: 0x00", "closed");
            String got = "";
            for (int i = 1; i < t.length; i++) {
                got += new String(PrinterSim.unhex(sim.call(t[i])), StandardCharsets.US_ASCII);
            }
            assertTrue(got.contains("\u001b@Vela printer test\n" + t[0] + "\n"), got);
        }
    }

    @Test
    void tryOpensAPortShowsItsAnswersPrintsAndReportsFailuresAsTheLibrarySaysThem() throws Exception {
        // Each run's output and exit status go to a file of its own, so the
        // virtual printer's output is its record of the bytes alone.
        String java = String.join(" ", JAVA, "-jar", JAR);
        String[] runs = {java + " try /dev/ttyS0 --print", java + " try /dev/ttyS7 --settings 9600,none,8,1,none",
            java + " try", JAVA + " '-Dos.name=Windows 10' -jar " + JAR + " list"};
        StringBuilder script = new StringBuilder();
        for (int i = 0; i < runs.length; i++) {
            script.append("{ ").append(runs[i]).append("; echo \"exit $?\"; } > ").append(work.resolve("run" + i))
                    .append(" 2>&1; ");
        }
        ProcessBuilder pb = new ProcessBuilder(System.getProperty("vela.virtual.printer"), "serial", "paper-out", "--",
                "sh", "-c", script.toString());
        pb.environment().keySet().removeAll(List.of("LD_PRELOAD", "UMOCKDEV_DIR", "PRINTER_SIM_SOCKET"));
        Run printer = run(pb);
        assertEquals(0, printer.exit(), printer.output());
        // The printer shows a line break wherever its input paused.
        assertTrue(printer.output().replace("\n", "").contains("<ESC>@Vela printer test<LF>/dev/ttyS0<LF>"),
                printer.output());
        List<Run> tries = new ArrayList<>();
        for (int i = 0; i < runs.length; i++) {
            String output = Files.readString(work.resolve("run" + i));
            Matcher exit = Pattern.compile("exit (\\d+)\n$").matcher(output);
            assertTrue(exit.find(), output);
            tries.add(new Run(Integer.parseInt(exit.group(1)), output));
            assertFalse(output.contains("Exception in thread"), output);
        }
        assertEquals(List.of(0, 1, 2, 1), tries.stream().map(Run::exit).toList(), tries.toString());
        has(tries.get(0), "opening /dev/ttyS0 with VelaCommPortLinuxSerial, settings 9600,none,8,1,hdwr",
                "online: true", "ENQ status: 0x08", "EOT status: 0x08", "closed");
        assertTrue(Pattern.compile("sent (\\d+) of \\1 bytes of a test receipt").matcher(tries.get(0).output()).find(),
                tries.get(0).output());
        has(tries.get(1), "failed: NATIVE_FN_CALL_FAILURE       Native call to open failed.");
        has(tries.get(2), "usage: java -jar vela-brevant.jar COMMAND");
        has(tries.get(3), "list: cannot list printer ports on Windows 10");
    }
}
