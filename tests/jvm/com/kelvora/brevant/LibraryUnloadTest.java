package com.kelvora.brevant;

import static org.junit.jupiter.api.Assertions.assertEquals;

import com.kelvora.printersim.ParallelPrinter;
import com.kelvora.printersim.PrinterSim;
import com.kelvora.printersim.SerialPrinter;
import com.kelvora.printersim.UsbPrinter;
import java.lang.ref.WeakReference;
import java.lang.reflect.Method;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.function.LongSupplier;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;

/**
 * Unloading a library closes the ports still open. Each port class is
 * loaded by a class loader of its own, so that the JVM unloads its library
 * once that loader is collected; nothing else in this JVM loads them.
 */
class LibraryUnloadTest {
    private final PrinterSim sim = PrinterSim.connect();

    @AfterEach
    void disconnect() {
        sim.close();
    }

    /** Opens `times` ports named `name` through a port class in a loader of its own. */
    private static WeakReference<ClassLoader> openInOwnLoader(String cls, String name, String settings, int times)
            throws Exception {
        URL jar = Paths.get(System.getProperty("vela.brevant.jar")).toUri().toURL();
        URLClassLoader loader = new URLClassLoader(new URL[] {jar}, ClassLoader.getPlatformClassLoader());
        Class<?> portClass = loader.loadClass("com.kelvora.brevant." + cls);
        Object port = portClass.getConstructor(String.class).newInstance(name);
        Method open = portClass.getMethod("_openPort", String.class, String.class);
        for (int i = 0; i < times; i++) open.invoke(port, name, settings);
        loader.close();
        return new WeakReference<>(loader);
    }

    /** Collects until the loader is gone and `held` has dropped to `expected`. */
    private static void awaitUnload(WeakReference<ClassLoader> loader, LongSupplier held, long expected)
            throws InterruptedException {
        for (int i = 0; i < 400 && (loader.get() != null || held.getAsLong() != expected); i++) {
            System.gc();
            Thread.sleep(50);
        }
        assertEquals(null, loader.get(), "class loader not collected");
        assertEquals(expected, held.getAsLong(), "ports still held after unload");
    }

    @Test
    void serialPortsLeftOpenAreClosed() throws Exception {
        SerialPrinter printer = SerialPrinter.plainPty(sim);
        Path device = Paths.get(printer.path);
        long before = PrinterSim.descriptorsOn(device);
        WeakReference<ClassLoader> loader =
                openInOwnLoader("VelaCommPortLinuxSerial", printer.path, Printers.PLAIN, 2);
        assertEquals(before + 2, PrinterSim.descriptorsOn(device));
        awaitUnload(loader, () -> PrinterSim.descriptorsOn(device), before);
    }

    @Test
    void parallelPortsLeftOpenAreReleasedAndClosed() throws Exception {
        ParallelPrinter printer = new ParallelPrinter(sim, "parport7");
        WeakReference<ClassLoader> loader = openInOwnLoader("VelaCommPortLinuxParallel", printer.path, null, 2);
        assertEquals(2, printer.claims());
        awaitUnload(loader, printer::claims, 0);
        assertEquals(2, Printers.kinds(printer.events(), "release").size());
    }

    @Test
    void usbPortsLeftOpenAreReleasedAndClosed() throws Exception {
        UsbPrinter.unplugAll(sim);
        UsbPrinter printer = UsbPrinter.standard(sim);
        // One port: a second one on the same printer cannot claim it.
        WeakReference<ClassLoader> loader = openInOwnLoader("VelaCommPortLinuxUSB", "usb0", null, 1);
        assertEquals(1, printer.claims());
        awaitUnload(loader, printer::claims, 0);
        assertEquals(1, printer.events("release").size());
    }
}
