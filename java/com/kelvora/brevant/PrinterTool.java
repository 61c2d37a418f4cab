package com.kelvora.brevant;

import java.io.PrintStream;
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
        System.exit(run(System.out, args));
    }

    static int run(PrintStream out, String[] args) {
        String command = args.length == 0 ? "" : args[0];
        switch (command) {
            case "list":
                if (args.length == 1) {
                    return list(out);
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

    private static int list(PrintStream out) {
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
            out.println(String.format("%-24s %s", p.name(), p.description()));
        }
        return 0;
    }
}
