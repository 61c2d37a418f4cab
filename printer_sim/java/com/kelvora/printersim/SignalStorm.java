package com.kelvora.printersim;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.file.Files;
import java.nio.file.Path;

/**
 * SIGUSR2 (the VM's own suspend signal, harmless to a running thread) sent
 * by the emulator to the thread that opens the storm, over and over, until
 * it is stopped: what a busy VM, a profiler or a debugger does to a thread
 * that waits in native code.
 */
public final class SignalStorm implements AutoCloseable {
    private final PrinterSim sim;
    private int delivered = -1;

    private SignalStorm(PrinterSim sim) {
        this.sim = sim;
    }

    /** Starts signalling the calling thread every intervalMicros. */
    public static SignalStorm atThisThread(PrinterSim sim, int intervalMicros) {
        sim.call("signals.start " + ProcessHandle.current().pid() + " " + threadId() + " " + intervalMicros);
        return new SignalStorm(sim);
    }

    /** The kernel's id of the calling thread, from /proc/thread-self. */
    static long threadId() {
        try {
            Path self = Files.readSymbolicLink(Path.of("/proc/thread-self"));
            return Long.parseLong(self.getFileName().toString());
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /** Stops the storm; the number of signals the thread was sent. */
    public int stop() {
        if (delivered < 0) delivered = Integer.parseInt(sim.call("signals.stop"));
        return delivered;
    }

    @Override
    public void close() {
        stop();
    }
}
