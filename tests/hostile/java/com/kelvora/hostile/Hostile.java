package com.kelvora.hostile;

import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.HashMap;
import java.util.Map;

/**
 * The hostile-input tier's command line:
 *   emit  --library L --seed S --calls N              the script, on stdout
 *   check --library L --script F --log F              an executor's log judged
 *   run   --library L --seed S --calls N [--log F]    generated, run in this VM and judged
 * Exit 0 with a figures line when clean, 1 with "seed S call n: ..." and
 * the replay command otherwise, 2 on bad usage.
 */
public final class Hostile {
    private Hostile() {}

    public static void main(String[] args) throws Exception {
        PrintStream out = new PrintStream(System.out, true, StandardCharsets.UTF_8);
        if (args.length == 0) usage();
        Map<String, String> opt = new HashMap<>();
        for (int i = 1; i + 1 < args.length; i += 2) {
            if (!args[i].startsWith("--")) usage();
            opt.put(args[i].substring(2), args[i + 1]);
        }
        Library lib = Library.named(required(opt, "library"));
        switch (args[0]) {
            case "emit" -> Generator.generate(lib, seed(opt), calls(opt)).write(out);
            case "check" -> {
                Script script = Script.read(Path.of(required(opt, "script")));
                if (script.library() != lib) usage();
                Outcome.Log log = Outcome.read(Path.of(required(opt, "log")));
                System.exit(report(out, script, check(script, log)));
            }
            case "run" -> {
                Script script = Generator.generate(lib, seed(opt), calls(opt));
                String logFile = opt.get("log");
                Verdict v = JvmRun.run(script, logFile == null ? null : Path.of(logFile));
                int code = report(out, script, v);
                out.flush();
                // Ports the VM still holds at exit are the run's own
                // business; halting skips nothing the verdict needs.
                Runtime.getRuntime().halt(code);
            }
            default -> usage();
        }
    }

    /** A run's judgement: the checker with its figures, or the first failure. */
    record Verdict(Checker checker, Outcome.End end, String failure, int failedCall) {}

    /** Applies the model to a whole log. */
    static Verdict check(Script script, Outcome.Log log) {
        Checker checker = new Checker(script.library(), script.seed());
        int i = 0;
        int last = 0;
        for (Script.Step step : script.steps()) {
            if (!step.kind().equals("call")) {
                checker.note(step);
                continue;
            }
            if (i >= log.outcomes().size()) {
                return new Verdict(checker, log.end(), checker.failure(step.n(),
                        "no outcome: the executor crashed or hung at this call"), step.n());
            }
            Outcome o = log.outcomes().get(i++);
            if (o.n() != step.n()) {
                return new Verdict(checker, log.end(), checker.failure(step.n(), "log has call " + o.n() + " here"),
                        step.n());
            }
            last = step.n();
            String wrong = checker.check(step, o);
            if (wrong != null) return new Verdict(checker, log.end(), wrong, step.n());
        }
        String wrong = checker.end(log.end(), last);
        return new Verdict(checker, log.end(), wrong, last);
    }

    static int report(PrintStream out, Script script, Verdict v) {
        if (v.failure() == null) {
            out.println(v.checker().figures(v.end()));
            out.println("unseen " + String.join(" | ", v.checker().unseen()));
            return 0;
        }
        out.println("FAILED " + v.failure());
        out.println("replay: tests/hostile/hostile.sh " + script.library().name() + " " + script.seed() + " "
                + Math.max(v.failedCall(), 1));
        return 1;
    }

    private static String required(Map<String, String> opt, String name) {
        String v = opt.get(name);
        if (v == null) usage();
        return v;
    }

    private static long seed(Map<String, String> opt) {
        return Long.parseLong(required(opt, "seed"));
    }

    private static int calls(Map<String, String> opt) {
        return Integer.parseInt(required(opt, "calls"));
    }

    private static void usage() {
        System.err.println("usage: emit --library L --seed S --calls N | check --library L --script F --log F"
                + " | run --library L --seed S --calls N [--log F]");
        System.exit(2);
    }
}
