package com.kelvora.hostile;

import java.io.BufferedReader;
import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.io.UncheckedIOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HexFormat;
import java.util.List;

/** A script of steps: the text form every executor reads (see FORMAT.md). */
record Script(Library library, long seed, int calls, List<Step> steps) {

    /** One line: n, kind (name, printer, call), object or action, the rest. */
    record Step(int n, String kind, String target, List<String> args) {
        String line() {
            StringBuilder sb = new StringBuilder().append(n).append(' ').append(kind).append(' ').append(target);
            for (String a : args) sb.append(' ').append(a);
            return sb.toString();
        }

        String arg(int i) {
            return args.get(i);
        }
    }

    String header() {
        return "hostile " + library.name() + " seed=" + seed + " calls=" + calls;
    }

    void write(PrintStream out) {
        out.println(header());
        for (Step s : steps) out.println(s.line());
    }

    static Script read(Path file) {
        try (BufferedReader in = Files.newBufferedReader(file, StandardCharsets.UTF_8)) {
            String[] head = in.readLine().split(" ");
            if (!head[0].equals("hostile")) throw new IllegalArgumentException(file + " is no script");
            Library lib = Library.named(head[1]);
            long seed = Long.parseLong(head[2].substring("seed=".length()));
            int calls = Integer.parseInt(head[3].substring("calls=".length()));
            List<Step> steps = new ArrayList<>();
            for (String line = in.readLine(); line != null; line = in.readLine()) {
                if (line.isBlank()) continue;
                String[] w = line.split(" ");
                steps.add(new Step(Integer.parseInt(w[0]), w[1], w[2], List.of(Arrays.copyOfRange(w, 3, w.length))));
            }
            return new Script(lib, seed, calls, steps);
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    // Strings: "null", or "x:" and the hex of their modified UTF-8 bytes.

    static String encodeString(String s) {
        if (s == null) return "null";
        return "x:" + HexFormat.of().formatHex(modifiedUtf8(s));
    }

    static byte[] modifiedUtf8(String s) {
        try {
            ByteArrayOutputStream bytes = new ByteArrayOutputStream();
            new DataOutputStream(bytes).writeUTF(s);
            return Arrays.copyOfRange(bytes.toByteArray(), 2, bytes.size());
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /** The bytes of an encoded string; null for "null". */
    static byte[] stringBytes(String token) {
        if (token.equals("null")) return null;
        if (!token.startsWith("x:")) throw new IllegalArgumentException("bad string " + token);
        return HexFormat.of().parseHex(token.substring(2));
    }

    static String decodeString(String token) {
        byte[] b = stringBytes(token);
        if (b == null) return null;
        try {
            ByteArrayOutputStream framed = new ByteArrayOutputStream();
            framed.write(b.length >> 8);
            framed.write(b.length);
            framed.write(b);
            return new DataInputStream(new ByteArrayInputStream(framed.toByteArray())).readUTF();
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /** Array length of "a:N"; -1 for "null". */
    static int arrayLength(String token) {
        if (token.equals("null")) return -1;
        return Integer.parseInt(token.substring(2));
    }

    /** The bytes a send of call n carries. */
    static byte[] sendBytes(int n, int length) {
        byte[] b = new byte[length];
        for (int i = 0; i < length; i++) b[i] = (byte) (n * 31 + i);
        return b;
    }
}
