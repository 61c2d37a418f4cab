package com.kelvora.brevant;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.kelvora.printersim.PrinterSim;
import com.kelvora.printersim.SerialPrinter;
import java.io.IOException;
import java.lang.ref.WeakReference;
import java.lang.reflect.Method;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;

/**
 * Unloading the library closes the ports still open. The port class is
 * loaded by a class loader of its own, so that the JVM unloads the library
 * once that loader is collected.
 */
class LinuxSerialUnloadTest {
    private static long descriptorsOn(Path device) throws IOException {
        Path target = device.toRealPath();
        try (Stream<Path> fds = Files.list(Paths.get("/proc/self/fd"))) {
            return fds.filter(fd -> {
                try {
                    return Files.readSymbolicLink(fd).equals(target);
                } catch (IOException gone) {
                    return false;
                }
            }).count();
        }
    }

    private static WeakReference<ClassLoader> openInOwnLoader(String path, int times) throws Exception {
        URL jar = Paths.get(System.getProperty("vela.brevant.jar")).toUri().toURL();
        URLClassLoader loader = new URLClassLoader(new URL[] {jar}, ClassLoader.getPlatformClassLoader());
        Class<?> cls = loader.loadClass("com.kelvora.brevant.VelaCommPortLinuxSerial");
        Object port = cls.getConstructor(String.class).newInstance(path);
        Method open = cls.getMethod("_openPort", String.class, String.class);
        for (int i = 0; i < times; i++) open.invoke(port, path, SerialSupport.PLAIN);
        loader.close();
        return new WeakReference<>(loader);
    }

    @Test
    void portsLeftOpenAreClosedWhenTheLibraryUnloads() throws Exception {
        try (PrinterSim sim = PrinterSim.connect()) {
            SerialPrinter printer = SerialPrinter.plainPty(sim);
            Path device = Paths.get(printer.path);
            long before = descriptorsOn(device);
            WeakReference<ClassLoader> loader = openInOwnLoader(printer.path, 2);
            assertEquals(before + 2, descriptorsOn(device));
            for (int i = 0; i < 100 && (loader.get() != null || descriptorsOn(device) > before); i++) {
                System.gc();
                Thread.sleep(50);
            }
            assertEquals(before, descriptorsOn(device), "descriptors still open after unload");
            assertTrue(loader.get() == null);
        }
    }
}
