package com.kelvora.brevant;

import com.kelvora.printersim.PrinterSim;
import com.kelvora.printersim.UsbPrinter;
import java.util.ArrayList;
import java.util.List;

/** A bus with only the devices a test puts on it, and ports closed afterwards. */
final class UsbSupport implements AutoCloseable {
    static final String PORT_NOT_OPENED = "PORT_NOT_OPENED              Port not opened";
    static final String DEVICE_GONE = "DEVICE_CONNECTION_CLOSED     no device - attempt reopen";
    static final int ENODEV = 19, EPIPE = 32, EIO = 5;

    final PrinterSim sim = PrinterSim.connect();
    private final List<VelaCommPortLinuxUSB> open = new ArrayList<>();

    UsbSupport() {
        UsbPrinter.unplugAll(sim);
    }

    VelaCommPortLinuxUSB open(String name) throws VelaBrevantException {
        VelaCommPortLinuxUSB port = new VelaCommPortLinuxUSB(name);
        port._openPort(name, null);
        open.add(port);
        return port;
    }

    @Override
    public void close() {
        for (VelaCommPortLinuxUSB port : open) Raises.closeUntilNotOpen(port::_closePort);
        sim.close();
    }
}
