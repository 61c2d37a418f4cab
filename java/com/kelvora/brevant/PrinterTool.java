package com.kelvora.brevant;

import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.PrintStream;
import java.nio.charset.Charset;
import java.nio.charset.CharsetEncoder;
import java.util.ArrayList;
import java.util.List;

/** java -jar vela-brevant.jar list | check | try NAME [--settings S] [--print]: for the person at the till. */
public final class PrinterTool {
    private PrinterTool() {}

    private static final String USAGE = String.join("\n",
            "usage: java -jar vela-brevant.jar COMMAND",
            "  list                                  the printer ports of this machine, each with its name",
            "  check                                 what stands between you and each printer, with its fix",
            "  try NAME [--settings S] [--print]     open NAME, show the printer's answers, close",
            "                                        (S: serial settings, default " + PortTry.DEFAULT_SETTINGS + ";",
            "                                        --print sends a short test receipt)");

    public static void main(String[] args) {
        // In the terminal's own character set, which the tool then knows.
        Charset charset = terminalCharset();
        System.exit(run(new PrintStream(new FileOutputStream(FileDescriptor.out), true, charset), charset, args));
    }

    private static Charset terminalCharset() {
        for (String p : new String[] {"stdout.encoding", "sun.stdout.encoding", "native.encoding"}) {
            try {
                String name = System.getProperty(p);
                if (name != null) {
                    return Charset.forName(name);
                }
            } catch (IllegalArgumentException e) {
                // not a charset this VM has: try the next
            }
        }
        return Charset.defaultCharset();
    }

    static int run(PrintStream out, Charset charset, String[] args) {
        String command = args.length == 0 ? "" : args[0];
        switch (command) {
            case "list":
                if (args.length == 1) {
                    return list(out, charset.newEncoder());
                }
                break;
            case "check":
                if (args.length == 1) {
                    return PortCheck.run(out) == 0 ? 0 : 1;
                }
                break;
            case "try":
                String settings = PortTry.DEFAULT_SETTINGS;
                boolean print = false;
                String name = null;
                int i = 1;
                for (; i < args.length; i++) {
                    if (args[i].equals("--print")) {
                        print = true;
                    } else if (args[i].equals("--settings") && i + 1 < args.length) {
                        settings = args[++i];
                    } else if (name == null && !args[i].startsWith("--")) {
                        name = args[i];
                    } else {
                        break;
                    }
                }
                if (name != null && i == args.length) {
                    return PortTry.run(out, name, settings, print);
                }
                break;
            default:
                break;
        }
        out.println(USAGE);
        return 2;
    }

    private static int list(PrintStream out, CharsetEncoder terminal) {
        if (!PrinterPorts.canList()) {
            out.println("list: cannot list printer ports on " + System.getProperty("os.name")
                    + ": the printer driver (Windows) or IOKit (macOS) names them; try NAME opens one");
            return 1;
        }
        List<PrinterPort> ports = PrinterPorts.list();
        if (ports.isEmpty()) {
            out.println("no printer ports found");
        }
        for (PrinterPort p : ports) {
            // The first name the terminal shows as itself, as a shell passes it on.
            List<String> names = new ArrayList<>(List.of(p.name()));
            names.addAll(p.otherNames());
            String name = names.stream().filter(terminal::canEncode).findFirst().orElse(p.name());
            String why = name.equals(p.name()) ? ""
                    : " (" + (p.name().startsWith("usb:serial=") ? "its usb:serial= name" : "its first name")
                            + " needs characters this terminal's " + terminal.charset() + " lacks)";
            out.println(String.format("%-24s %s%s", PrinterPorts.shellWord(name), p.description(), why));
        }
        return 0;
    }
}
