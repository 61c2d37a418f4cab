package com.kelvora.demo;

import com.kelvora.brevant.VelaBrevantException;
import com.kelvora.brevant.VelaCommPortLinuxParallel;
import com.kelvora.brevant.VelaCommPortLinuxSerial;
import com.kelvora.brevant.VelaCommPortLinuxUSB;
import com.kelvora.printersim.ParallelPrinter;
import com.kelvora.printersim.PrinterSim;
import com.kelvora.printersim.SerialPrinter;
import com.kelvora.printersim.UsbPrinter;
import java.nio.charset.StandardCharsets;

/**
 * Prints a sample receipt through the native libraries to virtual printers
 * and shows what each printer received.
 */
public final class ReceiptDemo {
    private ReceiptDemo() {}

    static final byte[] RECEIPT = String.join("\n",
            "        CORNER SHOP",
            "    12 High Street, Town",
            "--------------------------------",
            "Bread                      1.80",
            "Milk 1l                    0.95",
            "Coffee beans 250g          4.20",
            "--------------------------------",
            "TOTAL                      6.95",
            "Paid by card               6.95",
            "",
            "   Thank you for shopping!",
            "", "").getBytes(StandardCharsets.US_ASCII);

    /** Received bytes as text, control bytes shown as <hex>. */
    static String show(byte[] data) {
        StringBuilder sb = new StringBuilder();
        for (byte b : data) {
            int v = b & 0xFF;
            if (v == '\n' || (v >= 0x20 && v < 0x7F)) sb.append((char) v);
            else sb.append(String.format("<%02X>", v));
        }
        return sb.toString();
    }

    static void serial(PrinterSim sim) throws VelaBrevantException {
        System.out.println("== Linux serial: virtual printer on /dev/ttyS0 (a pty) ==");
        SerialPrinter printer = SerialPrinter.withModemLines(sim, "ttyS0");
        printer.reply(0x05, 0x12);  // the printer's answer to ENQ
        printer.reply(0x04, 0x16);  // and to EOT
        VelaCommPortLinuxSerial port = new VelaCommPortLinuxSerial(printer.path);
        port._openPort(printer.path, "9600,none,8,1,hdwr");
        System.out.println("opened " + printer.path + " with 9600,none,8,1,hdwr");
        System.out.println("printer got on first open: " + show(printer.take()));
        System.out.println("online (DSR): " + port._getOnlineStatus(500));
        System.out.printf("ENQ status: 0x%02X%n", port._getENQStatus(500) & 0xFF);
        System.out.printf("EOT status: 0x%02X%n", port._getEOTStatus(500) & 0xFF);
        printer.take();
        int sent = port._sendData(RECEIPT, RECEIPT.length, 1000);
        System.out.println("_sendData sent " + sent + " of " + RECEIPT.length + " bytes");
        System.out.println("printer received:");
        System.out.print(show(printer.waitFor(RECEIPT.length)));
        port._closePort();
        System.out.println("port closed");
    }

    static void parallel(PrinterSim sim) throws VelaBrevantException {
        System.out.println();
        System.out.println("== Linux parallel: virtual printer on /dev/parport0 (emulated ppdev) ==");
        ParallelPrinter printer = new ParallelPrinter(sim, "parport0");
        printer.acceptPerWrite(64);  // a printer that takes 64 bytes per strobe burst
        VelaCommPortLinuxParallel port = new VelaCommPortLinuxParallel(printer.path);
        port._openPort(printer.path, null);
        System.out.println("opened and claimed " + printer.path);
        System.out.println("online (Select): " + port._getOnlineStatus(500));
        System.out.printf("ENQ status from the lines: 0x%02X%n", port._getENQStatus(500) & 0xFF);
        int sent = port._sendData(RECEIPT, RECEIPT.length, 1000);
        System.out.println("_sendData sent " + sent + " of " + RECEIPT.length + " bytes");
        System.out.println("printer received:");
        System.out.print(show(printer.take()));
        port._hdwrResetDevice();
        System.out.println("reset: nInit pulsed");
        port._closePort();
        System.out.println("port released and closed");
    }

    static void usb(PrinterSim sim) throws VelaBrevantException {
        System.out.println();
        System.out.println("== Linux USB: virtual printer 0F3C:0002 on bus 001 (emulated usbfs, real libusb-0.1) ==");
        UsbPrinter.unplugAll(sim);
        UsbPrinter printer = UsbPrinter.standard(sim);
        printer.setStatus(0x18);
        VelaCommPortLinuxUSB port = new VelaCommPortLinuxUSB("usb-printer");
        port._openPort("usb-printer", null);
        System.out.println("opened the first printer on the buses as 'usb-printer'");
        System.out.println("online: " + port._getOnlineStatus(500));
        System.out.printf("ENQ status from the status byte: 0x%02X%n", port._getENQStatus(500) & 0xFF);
        int sent = port._sendData(RECEIPT, RECEIPT.length, 1000);
        System.out.println("_sendData sent " + sent + " of " + RECEIPT.length + " bytes");
        System.out.println("printer received:");
        System.out.print(show(printer.take()));
        printer.bulkIn("READY".getBytes(StandardCharsets.US_ASCII));
        printer.countFromData();
        byte[] reply = new byte[16];
        int got = port._receiveData(reply, reply.length, 500);
        System.out.println("_receiveData from the printer: " + show(java.util.Arrays.copyOf(reply, got)));
        port._closePort();
        System.out.println("port released and closed");
    }

    public static void main(String[] args) throws Exception {
        try (PrinterSim sim = PrinterSim.connect()) {
            serial(sim);
            parallel(sim);
            usb(sim);
        }
    }
}
