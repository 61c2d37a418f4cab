package com.kelvora.brevant;

import com.kelvora.printersim.ParallelPrinter;
import com.kelvora.printersim.PrinterSim;
import java.util.ArrayList;
import java.util.List;

/** Opens parallel ports on emulated printers and closes what a test left open. */
final class ParallelSupport implements AutoCloseable {
    static final String PORT_NOT_OPENED = "Port not opened";
    final PrinterSim sim = PrinterSim.connect();
    private final List<VelaCommPortLinuxParallel> open = new ArrayList<>();
    private static int next;

    VelaCommPortLinuxParallel open(String path) throws VelaBrevantException {
        VelaCommPortLinuxParallel port = new VelaCommPortLinuxParallel(path);
        port._openPort(path, null);
        open.add(port);
        return port;
    }

    /** A new printer on /dev/parportN with its port open. */
    Opened printer() throws VelaBrevantException {
        ParallelPrinter printer = new ParallelPrinter(sim, "parport" + next++);
        return new Opened(open(printer.path), printer);
    }

    static final class Opened {
        final VelaCommPortLinuxParallel port;
        final ParallelPrinter printer;

        Opened(VelaCommPortLinuxParallel port, ParallelPrinter printer) {
            this.port = port;
            this.printer = printer;
        }
    }

    /** The events of the kinds named, as "kind:value" without their times. */
    static List<String> kinds(String[] events, String... wanted) {
        return PrinterSim.withoutTimes(events, wanted);
    }

    @Override
    public void close() {
        for (VelaCommPortLinuxParallel port : open) Raises.closeUntilNotOpen(port::_closePort);
        sim.close();
    }
}
