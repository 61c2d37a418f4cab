package com.kelvora.brevant;

import com.kelvora.printersim.PrinterSim;
import com.kelvora.printersim.SerialPrinter;
import java.util.ArrayList;
import java.util.List;

/** Opens serial ports on emulated printers and closes whatever a test left open. */
final class SerialSupport implements AutoCloseable {
    static final String PORT_NOT_OPENED = "Port not opened";
    static final String PLAIN = "9600,none,8,1,none";
    static final String HDWR = "9600,none,8,1,hdwr";
    static final String XONXOFF = "9600,none,8,1,xonxoff";

    final PrinterSim sim = PrinterSim.connect();
    private final List<VelaCommPortLinuxSerial> open = new ArrayList<>();

    VelaCommPortLinuxSerial open(String path, String settings) throws VelaBrevantException {
        VelaCommPortLinuxSerial port = new VelaCommPortLinuxSerial(path);
        port._openPort(path, settings);
        open.add(port);
        return port;
    }

    /** A fresh pty printer, opened with the settings; its init bytes already taken. */
    Opened plain(String settings) throws VelaBrevantException {
        SerialPrinter printer = SerialPrinter.plainPty(sim);
        VelaCommPortLinuxSerial port = open(printer.path, settings);
        printer.take();
        return new Opened(port, printer);
    }

    Opened modem(String name, String settings) throws VelaBrevantException {
        SerialPrinter printer = SerialPrinter.withModemLines(sim, name);
        VelaCommPortLinuxSerial port = open(printer.path, settings);
        printer.take();
        return new Opened(port, printer);
    }

    static final class Opened {
        final VelaCommPortLinuxSerial port;
        final SerialPrinter printer;

        Opened(VelaCommPortLinuxSerial port, SerialPrinter printer) {
            this.port = port;
            this.printer = printer;
        }
    }

    /** Closes every port this support opened, until each lookup fails. */
    @Override
    public void close() {
        for (VelaCommPortLinuxSerial port : open) Raises.closeUntilNotOpen(port::_closePort);
        open.clear();
        sim.close();
    }
}
