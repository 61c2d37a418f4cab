package com.kelvora.hostile;

import com.kelvora.iokitsim.SimulatedIOKit;
import com.kelvora.printersim.ParallelPrinter;
import com.kelvora.printersim.PrinterSim;
import com.kelvora.printersim.SerialPrinter;
import com.kelvora.printersim.UsbPrinter;
import java.util.ArrayList;
import java.util.List;

/**
 * The emulated printers a run in this VM talks to, and the abstract printer
 * actions of a script mapped onto them. An action a bench cannot honour
 * answers false and is counted.
 */
interface Bench {
    void setUp();

    /** Re-scripts every printer of the bench; false when the action is not honoured. */
    boolean apply(String action, List<String> args);

    /** Requests that reached the printers since the last asking. */
    int requests();

    /** Descriptors or objects held on the platform. */
    long held();

    /** Misuse the platform saw (the simulated IOKit's record); -1 when the wrapper counts it. */
    long misuse();

    static Bench of(Library lib) {
        return switch (lib) {
            case LinuxSerial -> new Serial();
            case LinuxUSB -> new Usb();
            case LinuxParallel -> new Parallel();
            case MacUSB -> new Mac();
            default -> throw new IllegalArgumentException(lib + " runs in the Windows host, not in this VM");
        };
    }

    /** Benches on printer_sim's emulated device nodes. */
    abstract class Emulated implements Bench {
        final PrinterSim sim = PrinterSim.connect();
        private final String kind;

        Emulated(String kind) {
            this.kind = kind;
        }

        @Override
        public int requests() {
            return Integer.parseInt(sim.call(kind + ".requests"));
        }

        @Override
        public long held() {
            return JvmRun.deviceDescriptors();
        }

        @Override
        public long misuse() {
            return -1;
        }

        static String device(String path) {
            return path.substring("/dev/".length());
        }
    }

    final class Serial extends Emulated {
        private final List<SerialPrinter> printers = new ArrayList<>();

        Serial() {
            super("serial");
        }

        @Override
        public void setUp() {
            for (String name : Library.LinuxSerial.deviceNames) {
                printers.add(SerialPrinter.withModemLines(sim, device(name)));
            }
            apply("normal", List.of());
        }

        @Override
        public boolean apply(String action, List<String> args) {
            for (SerialPrinter p : printers) {
                switch (action) {
                    case "normal", "return" -> {
                        p.setLines(SerialPrinter.DSR | SerialPrinter.CTS);
                        p.fail();
                        sim.call("serial.stall " + p.path + " 0");
                        p.reply(0x05, 0x12);
                        p.reply(0x04, 0x16);
                    }
                    case "fail" -> p.fail("tiocmget", "tiocmset");
                    case "stall" -> {
                        sim.call("serial.stall " + p.path + " 1");
                        p.noReply(0x05);
                        p.noReply(0x04);
                    }
                    case "status" -> {
                        int b = Integer.parseInt(args.get(0), 16);
                        p.reply(0x05, b);
                        p.reply(0x04, b);
                    }
                    case "offline" -> p.setLines(SerialPrinter.CTS);
                    case "online" -> p.setLines(SerialPrinter.DSR | SerialPrinter.CTS);
                    case "reply" -> p.feed(PrinterSim.unhex(args.get(0)), 0);
                    case "vanish" -> {
                        // A line whose far end is gone: no ready signal, no
                        // answers, failing modem calls.
                        p.setLines(0);
                        p.fail("tiocmget", "tiocmset");
                        p.noReply(0x05);
                        p.noReply(0x04);
                    }
                    default -> {
                        return false;
                    }
                }
            }
            return true;
        }
    }

    final class Usb extends Emulated {
        private UsbPrinter printer;

        Usb() {
            super("usb");
        }

        @Override
        public void setUp() {
            printer = UsbPrinter.standard(sim);
            apply("normal", List.of());
        }

        @Override
        public boolean apply(String action, List<String> args) {
            UsbPrinter p = printer;
            switch (action) {
                case "normal" -> {
                    p.unplugged(false);
                    p.setStatus(0x18);
                    p.outPlan();
                    p.failControl(0x01, 0);
                    p.failControl(0x02, 0);
                    p.failControl(0x03, 0);
                    p.stallBulkIn(false);
                    p.holdBulkIn(false);
                    p.bulkIn(new byte[0]);
                    p.countFromData();
                }
                case "fail" -> {
                    // k stalled chunks, the status request failing, and by k
                    // the waiting-count request, the bulk read or the reset.
                    int k = Integer.parseInt(args.get(0));
                    String[] plan = new String[k];
                    java.util.Arrays.fill(plan, "stall");
                    p.outPlan(plan);
                    p.failControl(0x01, UsbPrinter.EIO);
                    p.failControl(k == 1 ? 0x03 : 0x02, UsbPrinter.EIO);
                    p.stallBulkIn(k == 2);
                }
                case "short" -> p.outPlan("short:1");
                case "stall" -> {
                    p.outPlan("timeout");
                    p.holdBulkIn(true);
                }
                case "status" -> p.setStatus(Integer.parseInt(args.get(0), 16));
                case "offline" -> p.setStatus(0x08);
                case "online" -> p.setStatus(0x18);
                case "reply" -> {
                    p.bulkIn(PrinterSim.unhex(args.get(0)));
                    p.countFromData();
                }
                // Gone from the next request or transfer on, which is cut short.
                case "vanish" -> p.unplugDuring("any");
                case "return" -> p.unplugged(false);
                default -> {
                    return false;
                }
            }
            return true;
        }
    }

    final class Parallel extends Emulated {
        private final List<ParallelPrinter> printers = new ArrayList<>();
        private static final String[] CALLS = {"claim", "rstatus", "compat", "nibble", "fcontrol1", "fcontrol2"};

        Parallel() {
            super("parallel");
        }

        @Override
        public void setUp() {
            for (String name : Library.LinuxParallel.deviceNames) {
                printers.add(new ParallelPrinter(sim, device(name)));
            }
            apply("normal", List.of());
        }

        @Override
        public boolean apply(String action, List<String> args) {
            int normal = ParallelPrinter.ERROR_CLEAR | ParallelPrinter.SELECT | 0x80;
            for (ParallelPrinter p : printers) {
                switch (action) {
                    case "normal", "return" -> {
                        p.fail();
                        p.acceptAll();
                        p.setStatus(normal);
                        p.nibbles();
                    }
                    case "fail" -> {
                        // By k, two of the six calls the printer can fail.
                        int k = Integer.parseInt(args.get(0));
                        p.fail(CALLS[k - 1], CALLS[k + 2]);
                    }
                    case "short" -> p.acceptPerWrite(256);
                    case "stall" -> p.acceptPerWrite(0);
                    case "status" -> p.setStatus(Integer.parseInt(args.get(0), 16));
                    case "offline" -> p.setStatus(normal & ~ParallelPrinter.SELECT);
                    case "online" -> p.setStatus(normal);
                    case "reply" -> p.nibbles(PrinterSim.unhex(args.get(0)));
                    case "vanish" -> {
                        p.fail(CALLS);
                        p.acceptPerWrite(0);
                    }
                    default -> {
                        return false;
                    }
                }
            }
            return true;
        }
    }

    /** The simulated IOKit the macOS library is built against here. */
    final class Mac implements Bench {
        static final String NO_DEVICE = "0xE00002C0";
        static final String TIMED_OUT = "0xE00002D6";
        static final String FAILS = "0xE00002BC";
        private int logged;

        @Override
        public void setUp() {
            SimulatedIOKit.script("reset", "device 0x0F3C 0x0002", "interface control bulk-out bulk-in");
            apply("normal", List.of());
        }

        @Override
        public boolean apply(String action, List<String> args) {
            switch (action) {
                case "normal" -> SimulatedIOKit.script("dev open 0", "reply 1 18", "reply 3 00 00", "bulkin");
                case "fail" -> {
                    for (int i = 1; i <= Integer.parseInt(args.get(0)); i++) {
                        for (String call : new String[] {"DeviceRequestTO", "ReadPipeTO", "WritePipeTO"}) {
                            SimulatedIOKit.script("result " + call + " " + FAILS + " " + i);
                        }
                    }
                }
                case "stall" -> SimulatedIOKit.script("result ReadPipeTO " + TIMED_OUT + " 1",
                        "result WritePipeTO " + TIMED_OUT + " 1");
                case "status" -> SimulatedIOKit.script("reply 1 " + args.get(0));
                case "offline" -> SimulatedIOKit.script("reply 1 08");
                case "online" -> SimulatedIOKit.script("reply 1 18");
                case "reply" -> {
                    byte[] data = PrinterSim.unhex(args.get(0));
                    StringBuilder spaced = new StringBuilder("bulkin");
                    for (byte b : data) spaced.append(String.format(" %02x", b));
                    SimulatedIOKit.script(spaced.toString(),
                            String.format("reply 3 %02x %02x", data.length & 0xff, data.length >> 8));
                }
                case "vanish" -> {
                    SimulatedIOKit.script("dev open " + NO_DEVICE);
                    for (String call : new String[] {"DeviceRequestTO", "ReadPipeTO", "WritePipeTO"}) {
                        SimulatedIOKit.script("result " + call + " " + NO_DEVICE + " 1");
                    }
                }
                case "return" -> SimulatedIOKit.script("dev open 0");
                default -> {
                    return false;
                }
            }
            return true;
        }

        @Override
        public int requests() {
            int now = Integer.parseInt(SimulatedIOKit.command("count"));
            int delta = now - logged;
            logged = now;
            return delta;
        }

        @Override
        public long held() {
            return SimulatedIOKit.held().size();
        }

        @Override
        public long misuse() {
            return SimulatedIOKit.errors().size();
        }
    }
}
