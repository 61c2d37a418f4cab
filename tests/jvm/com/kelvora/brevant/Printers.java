package com.kelvora.brevant;

import com.kelvora.printersim.ParallelPrinter;
import com.kelvora.printersim.PrinterSim;
import com.kelvora.printersim.SerialPrinter;
import java.util.List;

/** Emulated printers with a port of the matching library open on them. */
final class Printers {
    private Printers() {}

    static final String PLAIN = "9600,none,8,1,none";
    static final String HDWR = "9600,none,8,1,hdwr";
    static final String XONXOFF = "9600,none,8,1,xonxoff";

    /** Long enough for anything a loaded machine delays; a pass costs nothing. */
    static final int ARRIVAL_MS = 10_000;

    private static int nextParport;

    /** A bare pty printer, its first-open bytes already taken. */
    static Ports.Opened<VelaCommPortLinuxSerial, SerialPrinter> plain(
            Ports<VelaCommPortLinuxSerial> ports, String settings) throws VelaBrevantException {
        SerialPrinter printer = SerialPrinter.plainPty(ports.sim);
        Ports.Opened<VelaCommPortLinuxSerial, SerialPrinter> o = ports.open(printer, printer.path, settings);
        printer.take();
        return o;
    }

    /** A printer on /dev/NAME with modem lines, its first-open bytes already taken. */
    static Ports.Opened<VelaCommPortLinuxSerial, SerialPrinter> modem(
            Ports<VelaCommPortLinuxSerial> ports, String name, String settings) throws VelaBrevantException {
        SerialPrinter printer = SerialPrinter.withModemLines(ports.sim, name);
        Ports.Opened<VelaCommPortLinuxSerial, SerialPrinter> o = ports.open(printer, printer.path, settings);
        printer.take();
        return o;
    }

    /** A new printer on /dev/parportN with its port open. */
    static Ports.Opened<VelaCommPortLinuxParallel, ParallelPrinter> parallel(
            Ports<VelaCommPortLinuxParallel> ports) throws VelaBrevantException {
        ParallelPrinter printer = new ParallelPrinter(ports.sim, "parport" + nextParport++);
        return ports.open(printer, printer.path, null);
    }

    /** The events of the kinds named, as "kind:value" without their times. */
    static List<String> kinds(String[] events, String... wanted) {
        return PrinterSim.withoutTimes(events, wanted);
    }
}
