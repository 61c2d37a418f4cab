package com.kelvora.brevant;

import com.kelvora.printersim.PrinterSim;
import com.kelvora.printersim.UsbPrinter;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;

/**
 * What a user outside lp gets from the USB library, as the README says:
 * under the package's udev rule, no printer; without it (Debian's own rules
 * leave the node readable to all), an open port whose sends move nothing
 * and whose requests fail. A plain program, for a JVM started as that user
 * where starts are dear.
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
                port._openPort("usb0", null);
                byte[] receipt = {1, 2, 3};
                int sent = port._sendData(receipt, 3, 500);
                if (sent != 0 || printer.take().length != 0) failures.add("send: " + sent + " bytes sent");
                String control = "NATIVE_FN_CALL_FAILURE       Native call to usb_control_msg failed.";
                expectRaises(control, () -> port._getENQStatus(500), "ENQ status");
                expectRaises(control, () -> { port._hdwrResetDevice(); return "no failure"; }, "reset");
                expectRaises("NATIVE_FN_CALL_FAILURE       Netive call to usb_control_msg failed",
                        () -> port._getOnlineStatus(500), "online status");
                expectRaises("NATIVE_FN_CALL_FAILURE       Native call to usb_control_msg for QDXUSB_REQUEST_BULKIN failed.",
                        () -> port._receiveData(new byte[4], 4, 500), "receive");
                port._closePort();
            }
        }
        for (String f : failures) System.out.println("FAILED " + args[0] + " " + f);
        System.out.println(args[0] + (failures.isEmpty() ? ": as the README says" : ": differs from the README"));
        System.exit(failures.isEmpty() ? 0 : 1);
    }
}
