package com.kelvora.hostile;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/** What one call did, as an executor reports it (see FORMAT.md). */
record Outcome(int n, boolean raised, long value, String exceptionClass, String message, int dev, long ms) {

    static Outcome returned(int n, long value, int dev, long ms) {
        return new Outcome(n, false, value, null, null, dev, ms);
    }

    static Outcome raised(int n, String exceptionClass, String message, int dev, long ms) {
        return new Outcome(n, true, 0, exceptionClass, message, dev, ms);
    }

    /** The log lines of this outcome. */
    List<String> lines() {
        List<String> out = new ArrayList<>();
        out.add(raised ? n + " raise " + exceptionClass + " " + message : n + " ret " + value);
        if (dev >= 0) out.add(n + " dev " + dev);
        if (ms >= 0) out.add(n + " ms " + ms);
        return out;
    }

    /** The closing line of a log. */
    record End(int calls, long heldStart, long heldEnd, long misuse, long crashes, long noops) {
        String line() {
            return "end calls=" + calls + " held-start=" + heldStart + " held-end=" + heldEnd + " misuse=" + misuse
                    + " crashes=" + crashes + " noops=" + noops;
        }

        static End parse(String line) {
            long[] v = new long[6];
            String[] w = line.split(" ");
            for (int i = 0; i < 6; i++) v[i] = Long.parseLong(w[i + 1].substring(w[i + 1].indexOf('=') + 1));
            return new End((int) v[0], v[1], v[2], v[3], v[4], v[5]);
        }
    }

    /** A whole log: the outcomes in order and the end line, null when it is missing. */
    record Log(List<Outcome> outcomes, End end) {}

    static Log read(Path file) {
        List<Outcome> outcomes = new ArrayList<>();
        End end = null;
        try (BufferedReader in = Files.newBufferedReader(file, StandardCharsets.UTF_8)) {
            int n = -1;
            boolean raised = false;
            long value = 0;
            String cls = null;
            String message = null;
            int dev = -1;
            long ms = -1;
            for (String line = in.readLine(); line != null; line = in.readLine()) {
                if (line.isBlank()) continue;
                if (line.startsWith("end ")) {
                    end = End.parse(line);
                    break;
                }
                int sp = line.indexOf(' ');
                int sp2 = line.indexOf(' ', sp + 1);
                int k = Integer.parseInt(line.substring(0, sp));
                String kind = line.substring(sp + 1, sp2 < 0 ? line.length() : sp2);
                String rest = sp2 < 0 ? "" : line.substring(sp2 + 1);
                if (kind.equals("ret") || kind.equals("raise")) {
                    if (n >= 0) outcomes.add(new Outcome(n, raised, value, cls, message, dev, ms));
                    n = k;
                    dev = -1;
                    ms = -1;
                    raised = kind.equals("raise");
                    if (raised) {
                        int sp3 = rest.indexOf(' ');
                        cls = sp3 < 0 ? rest : rest.substring(0, sp3);
                        message = sp3 < 0 ? "" : rest.substring(sp3 + 1);
                        value = 0;
                    } else {
                        value = Long.parseLong(rest);
                        cls = null;
                        message = null;
                    }
                } else if (kind.equals("dev")) {
                    dev = Integer.parseInt(rest);
                } else if (kind.equals("ms")) {
                    ms = Long.parseLong(rest);
                } else {
                    throw new IllegalArgumentException("bad log line: " + line);
                }
            }
            if (n >= 0) outcomes.add(new Outcome(n, raised, value, cls, message, dev, ms));
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
        return new Log(outcomes, end);
    }
}
