package com.kelvora.hostile;

import java.io.IOException;
import java.io.PrintWriter;
import java.io.UncheckedIOException;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.HashMap;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;

/**
 * The executor in this VM: the library's real port class, a pool of its
 * objects, calls through reflection, the emulated printer re-scripted
 * between calls, and the checker applied to each call as it ends. A
 * watchdog ends the VM when a call outlives its limit.
 */
final class JvmRun {
    /** Time beyond a call's own limit before the watchdog calls it hung. */
    static final long WATCHDOG_SLACK_MS = 30_000;

    private final Script script;
    private final Library lib;
    private final Class<?> portClass;
    private final Object[] pool = new Object[Generator.POOL];
    private final Map<String, Method> methods = new HashMap<>();
    /** Every name an open succeeded with: only these find the ports left open. */
    private final Set<String> openedNames = new LinkedHashSet<>();
    private final Bench bench;
    private final PrintWriter log;
    private long noops;
    private volatile int current;
    private volatile long startedAt;
    private volatile long limit;

    private JvmRun(Script script, PrintWriter log) throws ReflectiveOperationException {
        this.script = script;
        this.lib = script.library();
        this.portClass = Class.forName("com.kelvora.brevant." + lib.javaClass);
        for (int i = 0; i < pool.length; i++) pool[i] = portClass.getConstructor().newInstance();
        for (Method m : portClass.getMethods()) {
            if (m.getName().startsWith("_")) methods.put(m.getName(), m);
        }
        this.bench = Bench.of(lib);
        this.log = log;
    }

    static Hostile.Verdict run(Script script, Path logFile) throws Exception {
        PrintWriter log = logFile == null ? null
                : new PrintWriter(Files.newBufferedWriter(logFile, StandardCharsets.UTF_8));
        try {
            return new JvmRun(script, log).execute();
        } finally {
            if (log != null) log.close();
        }
    }

    private Hostile.Verdict execute() throws Exception {
        Checker checker = new Checker(lib, script.seed());
        bench.setUp();
        long heldStart = bench.held();
        bench.requests();
        startWatchdog();
        int last = 0;
        for (Script.Step step : script.steps()) {
            switch (step.kind()) {
                case "name" -> {
                    setName(pool[index(step.target())], Script.decodeString(step.arg(0)));
                    checker.note(step);
                }
                case "printer" -> {
                    if (!bench.apply(step.target(), step.args())) noops++;
                    checker.note(step);
                }
                default -> {
                    Outcome o = call(step);
                    if (log != null) {
                        o.lines().forEach(log::println);
                        log.flush();
                    }
                    last = step.n();
                    String wrong = checker.check(step, o);
                    if (wrong != null) {
                        current = 0;
                        return new Hostile.Verdict(checker, null, wrong, step.n());
                    }
                }
            }
        }
        current = 0;
        closeEverything();
        bench.apply("normal", List.of());
        Outcome.End end = new Outcome.End(last, heldStart, bench.held(), bench.misuse(), 0, noops);
        if (log != null) log.println(end.line());
        String wrong = checker.end(end, last);
        return new Hostile.Verdict(checker, end, wrong, last);
    }

    private Outcome call(Script.Step step) throws IllegalAccessException {
        String name = step.arg(0);
        Method m = methods.get(name);
        if (m == null) throw new IllegalStateException(lib.javaClass + " has no " + name);
        Object target = pool[index(step.target())];
        Object[] args = arguments(step, m);
        limit = lib.limitMillis(name, Checker.timeoutOf(step), Checker.bytesOf(step));
        startedAt = System.nanoTime();
        current = step.n();
        Outcome o;
        try {
            Object r = m.invoke(target, args);
            long ms = (System.nanoTime() - startedAt) / 1_000_000;
            current = 0;
            if (name.equals("_openPort")) openedNames.add((String) args[0]);
            o = Outcome.returned(step.n(), value(r), bench.requests(), ms);
        } catch (InvocationTargetException e) {
            long ms = (System.nanoTime() - startedAt) / 1_000_000;
            current = 0;
            Throwable t = e.getCause();
            String msg = String.valueOf(t.getMessage()).replace("\n", "\\n");
            o = Outcome.raised(step.n(), t.getClass().getName().replace('.', '/'), msg, bench.requests(), ms);
        }
        return o;
    }

    private Object[] arguments(Script.Step step, Method m) {
        Class<?>[] types = m.getParameterTypes();
        Object[] args = new Object[types.length];
        for (int i = 0; i < types.length; i++) {
            String token = step.arg(1 + i);
            if (types[i] == String.class) {
                args[i] = Script.decodeString(token);
            } else if (types[i] == byte[].class) {
                int length = Script.arrayLength(token);
                args[i] = length < 0 ? null : Script.sendBytes(step.n(), length);
            } else if (types[i] == int.class) {
                args[i] = Integer.parseInt(token);
            } else {
                args[i] = Long.parseLong(token);
            }
        }
        return args;
    }

    private static long value(Object r) {
        if (r == null) return 0;
        if (r instanceof Boolean b) return b ? 1 : 0;
        return ((Number) r).longValue();
    }

    private static int index(String obj) {
        return Integer.parseInt(obj.substring(1));
    }

    private void setName(Object port, String name) {
        try {
            portClass.getMethod("setPortName", String.class).invoke(port, name);
        } catch (ReflectiveOperationException e) {
            throw new IllegalStateException(e);
        }
    }

    /**
     * Closes every port still open, outside the numbered calls: each name
     * an open succeeded with, until its lookup fails.
     */
    private void closeEverything() throws Exception {
        Object closer = portClass.getConstructor().newInstance();
        Method close = methods.get("_closePort");
        int closed = 0;
        for (String name : openedNames) {
            setName(closer, name);
            try {
                for (; closed <= lib.slots; closed++) close.invoke(closer);
            } catch (InvocationTargetException notOpen) {
                continue;
            }
            throw new IllegalStateException("ports still open after closing " + closed + " times");
        }
    }

    private void startWatchdog() {
        Thread t = new Thread(() -> {
            while (true) {
                try {
                    Thread.sleep(100);
                } catch (InterruptedException e) {
                    return;
                }
                int n = current;
                if (n == 0) continue;
                long ms = (System.nanoTime() - startedAt) / 1_000_000;
                if (n == current && ms > limit + WATCHDOG_SLACK_MS) {
                    System.out.println("FAILED seed " + script.seed() + " call " + n + ": hang: no return after "
                            + ms + " ms");
                    System.out.println("replay: tests/hostile/hostile.sh " + lib.name() + " " + script.seed() + " "
                            + n);
                    System.out.flush();
                    if (log != null) log.flush();
                    Runtime.getRuntime().halt(1);
                }
            }
        }, "hostile-watchdog");
        t.setDaemon(true);
        t.start();
    }

    /** Descriptors of this process open on device nodes and ptys. */
    static long deviceDescriptors() {
        long count = 0;
        try (var fds = Files.list(Path.of("/proc/self/fd"))) {
            for (Path fd : (Iterable<Path>) fds::iterator) {
                try {
                    String target = Files.readSymbolicLink(fd).toString();
                    if (target.startsWith("/dev/") || target.contains("/dev/bus/usb/")) count++;
                } catch (IOException gone) {
                    // the descriptor of the listing itself
                }
            }
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
        return count;
    }
}
