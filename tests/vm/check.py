"""One test class's outcome in the guest, read from the results share.
Fails on any failure not in the list of known differences, on a known
difference that now agrees with the host, and when the class did not run.

usage: check.py RESULTS BATCH CLASS|- KNOWN_DIFFERENCES ('-': a plain program's batch)"""
import os
import sys
import xml.etree.ElementTree as ET

JNI_COMPLAINTS = ("WARNING in native method", "FATAL ERROR in native method",
                  "JNI call made with exception pending")


def known(path, cls):
    """'Class.method  reason' lines, '#' comments."""
    out = {}
    for line in open(path):
        line = line.strip()
        if line and not line.startswith("#"):
            name, _, reason = line.partition(" ")
            if name.startswith(cls + "."):
                out[name.split(".", 1)[1]] = reason.strip()
    return out


def main(results, batch, cls, known_path):
    if os.path.exists(os.path.join(results, "skipped")):
        print("skipped: " + open(os.path.join(results, "skipped")).read().strip())
        return 77
    if not os.path.exists(os.path.join(results, batch + ".exit")):
        print("batch %s did not run in the guest (see %s/console.log)" % (batch, results))
        return 1
    log = open(os.path.join(results, batch + ".log"), errors="replace").read()
    if cls == "-":  # a plain program: its exit status is the outcome
        print(log)
        status = int(open(os.path.join(results, batch + ".exit")).read())
        return 1 if status or any(c in log for c in JNI_COMPLAINTS) else 0
    report = os.path.join(results, batch, "TEST-junit-jupiter.xml")
    if not os.path.exists(report):
        print(log)
        print("no JUnit report from batch " + batch)
        return 1
    cases = [c for c in ET.parse(report).getroot().iter("testcase")
             if c.get("classname") == "com.kelvora.brevant." + cls]
    if not cases:
        print("no test of %s ran in the guest" % cls)
        return 1
    expected = known(known_path, cls)
    bad = 0
    for c in cases:
        name = c.get("name").split("(")[0]
        failure = c.find("failure") if c.find("failure") is not None else c.find("error")
        if c.find("skipped") is not None:
            print("SKIPPED   %s" % name)
        elif failure is None and name in expected:
            print("AGREES    %s, listed as a known difference: take it off the list" % name)
            bad += 1
        elif failure is None:
            print("passed    %s" % name)
        elif name in expected:
            print("DIFFERS   %s (known: %s)\n          %s" % (name, expected[name],
                                                            (failure.get("message") or "").strip()))
        else:
            print("FAILED    %s\n%s" % (name, failure.text))
            bad += 1
    if any(c in log for c in JNI_COMPLAINTS):
        print("the JVM reported a JNI problem under -Xcheck:jni")
        bad += 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
