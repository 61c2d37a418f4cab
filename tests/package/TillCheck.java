import com.kelvora.brevant.VelaBrevantException;
import com.kelvora.brevant.VelaCommPortLinuxParallel;
import com.kelvora.brevant.VelaCommPortLinuxSerial;
import com.kelvora.brevant.VelaCommPortLinuxUSB;
import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.net.StandardProtocolFamily;
import java.net.UnixDomainSocketAddress;
import java.nio.channels.Channels;
import java.nio.channels.SocketChannel;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HexFormat;
import java.util.List;

/**
 * A till's program as a Debian till runs it: launched from source with only
 * the packaged jar on the class path, as a user who is not root, against
 * emulated printers whose nodes carry the owners and modes of real ones.
 *
 * usage: TillCheck member|outsider JNI_DIR USB_GROUP USB_MODE
 *        TillCheck absent JNI_DIR
 *
 * A member of dialout and lp opens, sends to and reads from a serial, a
 * parallel and a USB printer; an outsider gets the library's open failures.
 * "absent" runs without emulated printers (another processor under
 * qemu-user): opening devices that are not there gives the same failures.
 * Every time the libraries must come from JNI_DIR.
 */
public final class TillCheck {
    private static final String OPEN_FAILED = "NATIVE_FN_CALL_FAILURE       Native call to open failed.";
    private static final String NOT_ON_BUS = "CAN_NOT_OPEN_DEVICE          Can not find device on USB busses.";
    /** The printer as shipped: vendor 0x0f3c, product 0x0002, bulk OUT 0x01 and IN 0x82. */
    private static final String USB_DESCRIPTORS = "12010002000000403c0f0200000100000001"
            + "09022000010100c032" + "090400000207010200" + "07050102400000" + "07058202400000";
    private static final int WAIT_MS = 10_000;

    private final List<String> failures = new ArrayList<>();
    private SocketChannel channel;
    private BufferedReader replies;

    public static void main(String[] args) throws Exception {
        String who = args[0];
        Path jni = Path.of(args[1]).toRealPath();
        TillCheck till = new TillCheck();
        till.expect(!Files.readString(Path.of("/proc/self/status")).matches("(?s).*\\nUid:\\s+0\\s.*"),
                "the till runs as a user who is not root");
        if (who.equals("absent")) {
            till.refusedAll("/dev/ttyS-absent", "/dev/parport-absent");
        } else {
            till.withPrinters(who.equals("member"), args[2], args[3]);
        }
        till.librariesFrom(jni);
        if (!till.failures.isEmpty()) {
            System.out.println("FAILED:\n  " + String.join("\n  ", till.failures));
            System.exit(1);
        }
        System.out.println("till check passed as " + who);
    }

    private void withPrinters(boolean member, String usbGroup, String usbMode) throws Exception {
        channel = SocketChannel.open(StandardProtocolFamily.UNIX);
        channel.connect(UnixDomainSocketAddress.of(System.getenv("PRINTER_SIM_SOCKET")));
        replies = new BufferedReader(new InputStreamReader(Channels.newInputStream(channel), StandardCharsets.US_ASCII));
        String tty = sim("serial.add modem ttyS0");
        sim("node.own " + tty + " dialout 0660");
        String parport = sim("parallel.add parport0");
        sim("node.own " + parport + " lp 0660");
        String usb = sim("usb.add " + USB_DESCRIPTORS);
        sim("node.own " + usb + " " + usbGroup + " " + usbMode);
        if (member) {
            serial(tty);
            parallel(parport);
            usb(usb);
        } else {
            refusedAll(tty, parport);
        }
    }

    /** Each library refuses: serial and parallel cannot open their node, USB finds no printer it may open. */
    private void refusedAll(String tty, String parport) {
        refused(() -> new VelaCommPortLinuxSerial()._openPort(tty, "9600,none,8,1,none"), OPEN_FAILED, "serial");
        refused(() -> new VelaCommPortLinuxParallel()._openPort(parport, null), OPEN_FAILED, "parallel");
        refused(() -> new VelaCommPortLinuxUSB()._openPort("USB", null), NOT_ON_BUS, "USB");
    }

    private void serial(String tty) throws VelaBrevantException {
        VelaCommPortLinuxSerial port = new VelaCommPortLinuxSerial(tty);
        port._openPort(tty, "9600,none,8,1,none");
        byte[] receipt = "SERIAL RECEIPT\n".getBytes(StandardCharsets.US_ASCII);
        expect(port._sendData(receipt, receipt.length, WAIT_MS) == receipt.length, "serial: every byte sent");
        // The first open of a line sends NUL CAN ahead of the data.
        expect(sim("serial.wait " + tty + " " + (receipt.length + 2) + " " + WAIT_MS)
                .equals("0018" + HexFormat.of().formatHex(receipt)), "serial: the printer got the receipt");
        sim("serial.feed " + tty + " 414243");
        byte[] got = new byte[3];
        expect(port._receiveData(got, 3, WAIT_MS) == 3 && Arrays.equals(got, "ABC".getBytes(StandardCharsets.US_ASCII)),
                "serial: the printer's reply read");
        port._closePort();
    }

    private void parallel(String parport) throws VelaBrevantException {
        VelaCommPortLinuxParallel port = new VelaCommPortLinuxParallel(parport);
        port._openPort(parport, null);
        byte[] receipt = "PARALLEL RECEIPT\n".getBytes(StandardCharsets.US_ASCII);
        expect(port._sendData(receipt, receipt.length, WAIT_MS) == receipt.length, "parallel: every byte sent");
        expect(sim("parallel.take " + parport).equals(HexFormat.of().formatHex(receipt)),
                "parallel: the printer got the receipt");
        sim("parallel.status " + parport + " 0xb8");  // on line, no error, paper out
        expect(port._getENQStatus(WAIT_MS) == 0x08, "parallel: the printer's paper-out status read");
        port._closePort();
    }

    private void usb(String node) throws VelaBrevantException {
        VelaCommPortLinuxUSB port = new VelaCommPortLinuxUSB("USB");
        port._openPort("USB", null);
        byte[] receipt = "USB RECEIPT\n".getBytes(StandardCharsets.US_ASCII);
        expect(port._sendData(receipt, receipt.length, WAIT_MS) == receipt.length, "USB: every byte sent");
        expect(sim("usb.take " + node).equals(HexFormat.of().formatHex(receipt)), "USB: the printer got the receipt");
        sim("usb.bulk_in " + node + " 78797a");
        byte[] got = new byte[3];
        expect(port._receiveData(got, 3, WAIT_MS) == 3 && Arrays.equals(got, "xyz".getBytes(StandardCharsets.US_ASCII)),
                "USB: the printer's reply read");
        port._closePort();
    }

    private interface Open {
        void run() throws VelaBrevantException;
    }

    private void refused(Open open, String message, String what) {
        try {
            open.run();
            failures.add(what + ": opened, where it should have been refused");
        } catch (VelaBrevantException e) {
            expect(message.equals(e.getMessage()), what + ": refused with \"" + message + "\", got \"" + e.getMessage() + "\"");
        }
    }

    /** Every port library mapped into this process is the one in jni, none extracted from the jar. */
    private void librariesFrom(Path jni) throws IOException {
        for (String name : List.of("libVelaCommPortLinuxSerial.so", "libVelaCommPortLinuxParallel.so",
                "libVelaCommPortLinuxUSB.so")) {
            List<String> mapped = Files.readAllLines(Path.of("/proc/self/maps")).stream()
                    .filter(line -> line.endsWith("/" + name))
                    .map(line -> line.substring(line.indexOf('/')))
                    .distinct().toList();
            expect(mapped.equals(List.of(jni.resolve(name).toString())),
                    name + " loaded from " + jni + " alone, mapped: " + mapped);
        }
    }

    private String sim(String command) {
        try {
            Channels.newOutputStream(channel).write((command + "\n").getBytes(StandardCharsets.US_ASCII));
            String reply = replies.readLine();
            if (reply == null || !reply.startsWith("ok")) {
                throw new IllegalStateException("emulator refused '" + command + "': " + reply);
            }
            return reply.length() > 3 ? reply.substring(3) : "";
        } catch (IOException e) {
            throw new IllegalStateException(e);
        }
    }

    private void expect(boolean ok, String what) {
        if (!ok) failures.add(what);
    }
}
