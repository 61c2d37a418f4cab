package com.kelvora.brevant;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.junit.jupiter.api.Test;

/** The virtual printer command, as a developer without hardware uses it. */
class VirtualPrinterTest {
    static final String COMMAND = System.getProperty("vela.virtual.printer");

    /** A running virtual printer and everything it has printed so far. */
    static final class Printer implements AutoCloseable {
        final Process process;
        final StringBuffer output = new StringBuffer();

        Printer(List<String> args) throws IOException {
            List<String> command = new ArrayList<>(List.of(COMMAND));
            command.addAll(args);
            ProcessBuilder pb = new ProcessBuilder(command).redirectErrorStream(true);
            // As a developer starts it: not inside the test run's own emulation.
            pb.environment().keySet().removeAll(List.of("LD_PRELOAD", "UMOCKDEV_DIR", "PRINTER_SIM_SOCKET"));
            process = pb.start();
            Thread reader = new Thread(() -> {
                try (InputStream in = process.getInputStream()) {
                    byte[] b = new byte[4096];
                    for (int n; (n = in.read(b)) > 0; ) {
                        output.append(new String(b, 0, n, StandardCharsets.UTF_8));
                    }
                } catch (IOException e) {
                    output.append(e);
                }
            });
            reader.setDaemon(true);
            reader.start();
        }

        /** Waits (generously) until the output holds the text. */
        String await(String text) throws InterruptedException {
            for (int i = 0; i < 600 && !output.toString().contains(text); i++) {
                Thread.sleep(50);
            }
            assertTrue(output.toString().contains(text), "no '" + text + "' in:\n" + output);
            return output.toString();
        }

        void type(String line) throws IOException {
            OutputStream in = process.getOutputStream();
            in.write((line + "\n").getBytes(StandardCharsets.US_ASCII));
            in.flush();
        }

        int end() throws Exception {
            assertTrue(process.waitFor(60, TimeUnit.SECONDS), output::toString);
            return process.exitValue();
        }

        @Override
        public void close() {
            process.destroy();
        }
    }

    @Test
    void aSerialPrinterAnyProgramOpensShowsWhatArrivesAndChangesItsState() throws Exception {
        try (Printer printer = new Printer(List.of("serial", "paper-out"))) {
            Matcher m = Pattern.compile("ready at (\\S+)").matcher(printer.await("(open it"));
            assertTrue(m.find());
            VelaCommPortLinuxSerial port = new VelaCommPortLinuxSerial(m.group(1));
            port._openPort(m.group(1), "9600,none,8,1,none");
            try {
                assertEquals(0x08, port._getENQStatus(5000));
                byte[] line = "TOTAL 6.95\u001b@\u001dV\u0000\u00c3\n".getBytes(StandardCharsets.ISO_8859_1);
                assertEquals(line.length, port._sendData(line, line.length, 5000));
                printer.await("TOTAL 6.95<ESC>@<GS>V<NUL><C3><LF>");
                printer.type("error enq=0x0C");
                printer.await("state: online, paper out, error, ENQ answer 0x0C");
                assertEquals(0x0C, port._getENQStatus(5000));
            } finally {
                port._closePort();
            }
            printer.type("quit");
            assertEquals(0, printer.end());
        }
    }

    @Test
    void usbAndParallelPrintersRunBesideTheProgram() throws Exception {
        String java = Path.of(System.getProperty("java.home"), "bin", "java").toString();
        String cp = System.getProperty("vela.natives.jar") + ":" + System.getProperty("vela.tests.jar");
        String[][] cases = {{"usb", "offline", "online=false enq=0"}, {"parallel", "error", "online=true enq=4"}};
        for (String[] c : cases) {
            try (Printer printer = new Printer(List.of(c[0], c[1], "--", java, "-cp", cp,
                    "com.kelvora.brevant.VirtualPrinterClient", c[0]))) {
                assertEquals(0, printer.end(), printer.output::toString);
                String output = printer.await(c[2]);
                assertTrue(output.contains("Hi<ESC>!<LF>"), output);
            }
        }
    }
}
