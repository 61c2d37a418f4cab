package com.kelvora.brevant;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.fail;

import com.kelvora.printersim.PrinterSim;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.util.ArrayList;
import java.util.List;

/**
 * Ports of one port class, opened on emulated printers and closed again
 * after each test; any port class of the package, through its contract
 * methods.
 */
final class Ports<P> implements AutoCloseable {
    /** Slots in every Linux table: a name cannot be open more often. */
    static final int SLOTS = 20;

    final PrinterSim sim = PrinterSim.connect();
    final String portNotOpened;
    private final Class<P> portClass;
    private final List<P> open = new ArrayList<>();

    Ports(Class<P> portClass, String portNotOpened) {
        this.portClass = portClass;
        this.portNotOpened = portNotOpened;
    }

    static Ports<VelaCommPortLinuxSerial> serial() {
        return new Ports<>(VelaCommPortLinuxSerial.class, "Port not opened");
    }

    static Ports<VelaCommPortLinuxParallel> parallel() {
        return new Ports<>(VelaCommPortLinuxParallel.class, "Port not opened");
    }

    /** A bus holding only the devices the test puts on it. */
    static Ports<VelaCommPortLinuxUSB> usb() {
        Ports<VelaCommPortLinuxUSB> ports =
                new Ports<>(VelaCommPortLinuxUSB.class, "PORT_NOT_OPENED              Port not opened");
        com.kelvora.printersim.UsbPrinter.unplugAll(ports.sim);
        return ports;
    }

    /** A new port object whose portName is `name`, not opened. */
    P object(String name) {
        try {
            return portClass.getConstructor(String.class).newInstance(name);
        } catch (ReflectiveOperationException e) {
            throw new IllegalStateException(e);
        }
    }

    /** Opens `name` without settings, as every library but serial takes it. */
    P open(String name) throws VelaBrevantException {
        return open(name, null);
    }

    /** Opens `name` with `settings` on a new object, closed after the test. */
    P open(String name, String settings) throws VelaBrevantException {
        P port = object(name);
        call(port, "_openPort", name, settings);
        open.add(port);
        return port;
    }

    /** Opens the printer's port and pairs the two. */
    <R> Opened<P, R> open(R printer, String path, String settings) throws VelaBrevantException {
        return new Opened<>(open(path, settings), printer);
    }

    private void call(P port, String method, Object... args) throws VelaBrevantException {
        Class<?>[] types = new Class<?>[args.length];
        java.util.Arrays.fill(types, String.class);
        try {
            Method m = portClass.getMethod(method, types);
            m.invoke(port, args);
        } catch (InvocationTargetException e) {
            if (e.getCause() instanceof VelaBrevantException) throw (VelaBrevantException) e.getCause();
            throw new IllegalStateException(e.getCause());
        } catch (ReflectiveOperationException e) {
            throw new IllegalStateException(e);
        }
    }

    /**
     * Closes every port opened here until its lookup fails with the
     * library's port-not-open text; a name cannot be open in more slots
     * than the table has, so more closes than that are a fault.
     */
    @Override
    public void close() {
        try {
            for (P port : open) {
                int closes = 0;
                try {
                    for (; closes <= SLOTS; closes++) call(port, "_closePort");
                    fail("_closePort kept succeeding: " + closes + " times");
                } catch (VelaBrevantException notOpen) {
                    assertEquals(portNotOpened, notOpen.getMessage());
                }
            }
        } finally {
            open.clear();
            sim.close();
        }
    }

    /** An emulated printer with a port open on it. */
    static final class Opened<P, R> {
        final P port;
        final R printer;

        Opened(P port, R printer) {
            this.port = port;
            this.printer = printer;
        }
    }
}
