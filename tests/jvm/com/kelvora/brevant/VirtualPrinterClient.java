package com.kelvora.brevant;

import java.nio.charset.StandardCharsets;

/** A small point-of-sale program for the virtual printer: sends a line and reports the printer's state. */
public final class VirtualPrinterClient {
    private VirtualPrinterClient() {}

    public static void main(String[] args) throws Exception {
        byte[] line = "Hi\u001b!\n".getBytes(StandardCharsets.US_ASCII);
        if (args[0].equals("usb")) {
            VelaCommPortLinuxUSB port = new VelaCommPortLinuxUSB("usb0");
            port._openPort("usb0", null);
            port._sendData(line, line.length, 1000);
            System.out.println("online=" + port._getOnlineStatus(1000) + " enq=" + port._getENQStatus(1000));
            port._closePort();
        } else {
            VelaCommPortLinuxParallel port = new VelaCommPortLinuxParallel("/dev/parport0");
            port._openPort("/dev/parport0", null);
            port._sendData(line, line.length, 1000);
            System.out.println("online=" + port._getOnlineStatus(1000) + " enq=" + port._getENQStatus(1000));
            port._closePort();
        }
    }
}
