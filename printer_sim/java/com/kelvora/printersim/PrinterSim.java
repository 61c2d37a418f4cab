package com.kelvora.printersim;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.UncheckedIOException;
import java.net.StandardProtocolFamily;
import java.net.UnixDomainSocketAddress;
import java.nio.channels.Channels;
import java.nio.channels.SocketChannel;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.HexFormat;
import java.util.List;
import java.util.Set;
import java.util.stream.Stream;

/** Client of the printer emulator's control socket (PRINTER_SIM_SOCKET). */
public final class PrinterSim implements AutoCloseable {
    private final SocketChannel channel;
    private final BufferedReader in;

    private PrinterSim(SocketChannel channel) {
        this.channel = channel;
        this.in = new BufferedReader(new InputStreamReader(
                Channels.newInputStream(channel), StandardCharsets.US_ASCII));
    }

    public static PrinterSim connect() {
        String path = System.getenv("PRINTER_SIM_SOCKET");
        if (path == null) {
            throw new IllegalStateException("run under printer_sim.run: PRINTER_SIM_SOCKET is not set");
        }
        try {
            SocketChannel ch = SocketChannel.open(StandardProtocolFamily.UNIX);
            ch.connect(UnixDomainSocketAddress.of(path));
            return new PrinterSim(ch);
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /** Sends one command; returns what follows "ok", or throws on "err". */
    public synchronized String call(String command) {
        try {
            Channels.newOutputStream(channel).write((command + "\n").getBytes(StandardCharsets.US_ASCII));
            String reply = in.readLine();
            if (reply == null) throw new IllegalStateException("emulator closed the control socket");
            if (reply.equals("ok")) return "";
            if (reply.startsWith("ok ")) return reply.substring(3);
            throw new IllegalStateException("emulator refused '" + command + "': " + reply);
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    public static String hex(byte[] data) {
        return data.length == 0 ? "-" : HexFormat.of().formatHex(data);
    }

    public static byte[] unhex(String text) {
        return text.equals("-") ? new byte[0] : HexFormat.of().parseHex(text);
    }

    /** Descriptors of this process open on the file `device` leads to (through /proc/self/fd). */
    public static long descriptorsOn(Path device) {
        try (Stream<Path> fds = Files.list(Paths.get("/proc/self/fd"))) {
            Path target = device.toRealPath();
            return fds.filter(fd -> {
                try {
                    return Files.readSymbolicLink(fd).equals(target);
                } catch (IOException gone) {
                    return false;
                }
            }).count();
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /**
     * Event words "ms:kind:fields..." without their times, keeping the kinds
     * named (all when none is named).
     */
    public static List<String> withoutTimes(String[] events, String... kinds) {
        Set<String> keep = Set.of(kinds);
        List<String> out = new ArrayList<>();
        for (String e : events) {
            String rest = e.substring(e.indexOf(':') + 1);
            if (keep.isEmpty() || keep.contains(rest.split(":")[0])) out.add(rest);
        }
        return out;
    }

    @Override
    public void close() {
        try {
            channel.close();
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }
}
