"""Checks the Debian packages as a till gets them. lintian finds no error
and no warning in any of them (its notes are shown).

jni DEB ARCH VERSION GLIBC RULES JNI_HEADERS CHECK_LIBRARY: one processor's
native libraries: control fields, exactly the files a till needs, the
libraries in that processor's multiarch folder (stripped, yet exporting the
JNI entry points and needing nothing newer than the glibc baseline), the
project's udev rule and the maintainer scripts.

java DEB VERSION JAR POM JAR_TOOL JNI_DEB...: the jar's package: control
fields, the jar the build made, with its module name and version, and the
POM beside it; and that the processors' native packages can be installed
side by side: every file outside their multiarch folders is the same."""
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile

MACHINES = {"amd64": "Advanced Micro Devices X86-64", "arm64": "AArch64", "armhf": "ARM", "i386": "Intel 80386"}
LIBRARIES = {"libVelaCommPortLinuxSerial.so": ["libc.so.6"],
             "libVelaCommPortLinuxParallel.so": ["libc.so.6"],
             "libVelaCommPortLinuxUSB.so": ["libc.so.6", "libusb-0.1.so.4"]}
JNI_SHARED = ["lib/udev/rules.d/60-vela-brevant.rules", "usr/share/doc/libvela-brevant-jni/changelog.gz",
              "usr/share/doc/libvela-brevant-jni/copyright", "usr/share/metainfo/com.kelvora.brevant.metainfo.xml"]


def run(*cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, **kw)


def lintian(deb, expect):
    lint = run("lintian", "--fail-on", "error,warning", "--display-info", deb)
    print("lintian %s:\n%s" % (os.path.basename(deb), (lint.stdout + lint.stderr).strip()))
    expect(lint.returncode == 0, "lintian found errors or warnings")
    expect(not any(line[:2] in ("E:", "W:") for line in lint.stdout.splitlines()), "lintian reported E: or W: tags")


def fields(deb, *names):
    return {f: run("dpkg-deb", "-f", deb, f).stdout.strip() for f in names}


def unpacked(deb, root):
    """The package's files (relative paths) after unpacking it into root."""
    subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
    return sorted(os.path.relpath(os.path.join(d, f), root) for d, _, names in os.walk(root) for f in names)


def triplet(arch):
    return run("dpkg-architecture", "-a", arch, "-qDEB_HOST_MULTIARCH").stdout.strip()


def check_jni(expect, deb, arch, version, glibc, rules, headers, check_library):
    lintian(deb, expect)
    got = fields(deb, "Package", "Version", "Architecture", "Multi-Arch", "Depends", "Replaces")
    expect(got == {"Package": "libvela-brevant-jni", "Version": version, "Architecture": arch,
                   "Multi-Arch": "same", "Depends": "libc6 (>= %s), libusb-0.1-4" % glibc,
                   "Replaces": "libvela-brevant-java"},
           "control fields: %s" % got)
    jni = "usr/lib/%s/jni/" % triplet(arch)
    with tempfile.TemporaryDirectory() as root:
        files = unpacked(deb, root)
        expect(files == sorted(JNI_SHARED + [jni + name for name in LIBRARIES]), "files: %s" % files)
        with open(os.path.join(root, JNI_SHARED[0])) as packed, open(rules) as source:
            expect(packed.read() == source.read(), "the packaged udev rule is the project's")
        for name, needed in LIBRARIES.items():
            lib = os.path.join(root, jni, name)
            header = run("readelf", "-h", "-S", lib).stdout
            expect("Machine:                           %s\n" % MACHINES[arch] in header,
                   "%s is built for %s" % (name, arch))
            expect(arch != "armhf" or "hard-float ABI" in header, "%s uses the hard-float ABI" % name)
            expect(".symtab" not in header and ".debug_info" not in header, "%s is stripped" % name)
            cls = name[3:-3]
            check = run("sh", check_library, lib,
                        os.path.join(headers, "com_kelvora_brevant_%s.h" % cls), *needed,
                        env=dict(os.environ, VELA_GLIBC_BASELINE=glibc))
            print("%s: %s" % (name, check.stdout.strip()))
            expect(check.returncode == 0, "%s as packaged: %s" % (name, check.stdout))
    with tempfile.TemporaryDirectory() as control:
        subprocess.run(["dpkg-deb", "-e", deb, control], check=True)
        scripts = sorted(f for f in os.listdir(control) if os.access(os.path.join(control, f), os.X_OK))
        expect(scripts == ["postinst", "postrm"], "maintainer scripts: %s" % scripts)


def check_java(expect, deb, version, jar, pom, jar_tool, *jni_debs):
    lintian(deb, expect)
    got = fields(deb, "Package", "Version", "Architecture", "Depends")
    expect(got == {"Package": "libvela-brevant-java", "Version": version, "Architecture": "all",
                   "Depends": "libvela-brevant-jni (= %s)" % version}, "control fields: %s" % got)
    jars = ["usr/share/java/vela-brevant-%s.jar" % version, "usr/share/java/vela-brevant.jar"]
    with tempfile.TemporaryDirectory() as root:
        files = unpacked(deb, root)
        expect(files == sorted(jars + ["usr/share/doc/libvela-brevant-java/changelog.gz",
                                       "usr/share/doc/libvela-brevant-java/copyright"]), "files: %s" % files)
        expect(os.readlink(os.path.join(root, jars[1])) == os.path.basename(jars[0]),
               "vela-brevant.jar links to the versioned jar")
        with open(os.path.join(root, jars[0]), "rb") as packed, open(jar, "rb") as built:
            expect(packed.read() == built.read(), "the packaged jar is the one the build made")

    # dpkg refuses a second processor's copy of a file that differs.
    shared = {}
    for other in jni_debs:
        with tempfile.TemporaryDirectory() as root:
            for path in unpacked(other, root):
                if not path.startswith("usr/lib/"):
                    with open(os.path.join(root, path), "rb") as f:
                        shared.setdefault(path, set()).add(f.read())
    expect(sorted(shared) == sorted(JNI_SHARED) and all(len(v) == 1 for v in shared.values()),
           "files shared by %d native packages differ: %s"
           % (len(jni_debs), [p for p, v in shared.items() if len(v) > 1] or sorted(shared)))

    manifest = zipfile.ZipFile(jar).read("META-INF/MANIFEST.MF").decode()
    attributes = dict(line.split(": ", 1) for line in manifest.splitlines() if ": " in line)
    expect(attributes.get("Automatic-Module-Name") == "com.kelvora.brevant", "manifest module name")
    expect(attributes.get("Implementation-Version") == version, "manifest version")
    described = run(jar_tool, "--describe-module", "--file", jar).stdout
    expect("com.kelvora.brevant automatic" in described, "an automatic module: %s" % described)

    ns = {"m": "http://maven.apache.org/POM/4.0.0"}
    project = ET.parse(pom).getroot()
    coordinates = [project.findtext("m:" + tag, namespaces=ns) for tag in ("groupId", "artifactId", "version")]
    expect(coordinates == ["com.kelvora", "vela-brevant", version], "POM coordinates %s" % coordinates)
    expect(project.find("m:dependencies", ns) is None, "the POM names no dependencies")
    expect(os.path.dirname(os.path.abspath(pom)) == os.path.dirname(os.path.abspath(jar)), "the POM lies beside the jar")


def main(kind, *args):
    failures = []

    def expect(ok, what):
        if not ok:
            failures.append(what)

    {"jni": check_jni, "java": check_java}[kind](expect, *args)
    for f in failures:
        print("FAILED: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
