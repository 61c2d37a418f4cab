package com.kelvora.brevant;

import com.kelvora.printersim.PrinterSim;
import com.kelvora.printersim.UsbPrinter;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;

/**
 * What a user outside lp gets from the USB library, as the README says:
 * under the package's udev rule, no printer; without it (Debian's own rules
 * leave the node readable to all), a printer whose interface cannot be
 * claimed. A plain program, for a JVM started as that user where starts
 * are dear.
 * usage: UsbAccessCheck outsider|without-rule
 */
final class UsbAccessCheck {
    private UsbAccessCheck() {}

    private static final List<String> failures = new ArrayList<>();

    private static void expectRaises(String message, Callable<?> call, String what) {
        try {
            Object result = call.call();
            failures.add(what + ": returned " + result + ", expected \"" + message + "\"");
        } catch (VelaBrevantException e) {
            if (!message.equals(e.getMessage())) failures.add(what + ": raised \"" + e.getMessage() + "\"");
        } catch (Exception e) {
            failures.add(what + ": " + e);
        }
    }

    public static void main(String[] args) throws Exception {
        try (PrinterSim sim = PrinterSim.connect()) {
            UsbPrinter.unplugAll(sim);
            UsbPrinter printer = UsbPrinter.standard(sim);
            VelaCommPortLinuxUSB port = new VelaCommPortLinuxUSB("usb0");
            if (args[0].equals("outsider")) {
                expectRaises("CAN_NOT_OPEN_DEVICE          Can not find device on USB busses.",
                        () -> { port._openPort("usb0", null); return "an open port"; }, "open");
            } else {
                expectRaises("CAN_NOT_OPEN_DEVICE          Can not open device.",
                        () -> { port._openPort("usb0", null); return "an open port"; }, "open");
                if (printer.take().length != 0) failures.add("bytes reached the printer");
            }
        }
        for (String f : failures) System.out.println("FAILED " + args[0] + " " + f);
        System.out.println(args[0] + (failures.isEmpty() ? ": as the README says" : ": differs from the README"));
        System.exit(failures.isEmpty() ? 0 : 1);
    }
}
