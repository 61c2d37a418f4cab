package com.kelvora.iokitsim;

import java.util.Arrays;
import java.util.List;

/** The simulated IOKit that the macOS library is built against here: scripts its printers and reads what the library did. */
public final class SimulatedIOKit {
    static {
        System.loadLibrary("vela_iokit_sim");
    }

    private SimulatedIOKit() {}

    /** One command of the simulation (see sim_control.cpp); its answer. */
    public static native String command(String line);

    /** Runs commands, failing on any the simulation does not know. */
    public static void script(String... lines) {
        for (String line : lines) {
            String answer = command(line);
            if (!answer.isEmpty()) {
                throw new IllegalArgumentException(answer);
            }
        }
    }

    public static List<String> lines(String what) {
        String all = command(what);
        return all.isEmpty() ? List.of() : Arrays.asList(all.split("\n"));
    }

    /** The log of calls, from the last reset on. */
    public static List<String> log() {
        return lines("log");
    }

    /** Objects the library still holds a reference to, and any still open. */
    public static List<String> held() {
        return lines("held");
    }

    /** Misuse seen: over-releases, calls on released objects, wrong types. */
    public static List<String> errors() {
        return lines("errors");
    }

    /** Calls of the log that begin with the prefix, in order. */
    public static List<String> calls(String prefix) {
        return log().stream().filter(l -> l.startsWith(prefix)).toList();
    }
}
