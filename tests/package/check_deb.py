"""Checks one Debian package as a till would get it: lintian finds no error
(its warnings are shown), the control fields, exactly the files a till
needs, that processor's libraries (stripped, yet exporting the JNI entry
points and needing nothing newer than the glibc baseline), the jar the
build made, with its module name and version, and the POM beside it.

usage: check_deb.py DEB ARCH VERSION GLIBC JAR POM RULES JNI_HEADERS CHECK_LIBRARY JAR_TOOL"""
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile

MACHINES = {"amd64": "Advanced Micro Devices X86-64", "arm64": "AArch64", "armhf": "ARM",
            "i386": "Intel 80386"}
# On ARM the stack protector's guard lives in the dynamic loader.
LOADERS = {"arm64": ["ld-linux-aarch64.so.1"], "armhf": ["ld-linux-armhf.so.3"]}
LIBRARIES = {"libVelaCommPortLinuxSerial.so": ["libc.so.6"],
             "libVelaCommPortLinuxParallel.so": ["libc.so.6"],
             "libVelaCommPortLinuxUSB.so": ["libc.so.6", "libusb-0.1.so.4"]}


def run(*cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, **kw)


def main(deb, arch, version, glibc, jar, pom, rules, headers, check_library, jar_tool):
    failures = []

    def expect(ok, what):
        if not ok:
            failures.append(what)

    lint = run("lintian", "--fail-on", "error", "--display-info", deb)
    print("lintian:\n" + (lint.stdout + lint.stderr).strip())
    expect(lint.returncode == 0, "lintian found errors")
    expect(not any(line.startswith("E:") for line in lint.stdout.splitlines()), "lintian reported E: tags")
    expect("hardening-" not in lint.stdout, "lintian finds the libraries not hardened")

    fields = {f: run("dpkg-deb", "-f", deb, f).stdout.strip() for f in
              ("Package", "Version", "Architecture", "Depends")}
    expect(fields == {"Package": "libvela-brevant-java", "Version": version, "Architecture": arch,
                      "Depends": "libc6 (>= %s), libusb-0.1-4" % glibc}, "control fields: %s" % fields)

    with tempfile.TemporaryDirectory() as root:
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
        files = sorted(os.path.relpath(os.path.join(d, f), root)
                       for d, _, names in os.walk(root) for f in names)
        jars = ["usr/share/java/vela-brevant-%s.jar" % version, "usr/share/java/vela-brevant.jar"]
        expect(files == sorted(["lib/udev/rules.d/60-vela-brevant.rules",
                                "usr/share/doc/libvela-brevant-java/changelog.gz",
                                "usr/share/doc/libvela-brevant-java/copyright",
                                "usr/share/metainfo/com.kelvora.brevant.metainfo.xml",
                                "usr/share/lintian/overrides/libvela-brevant-java"] + jars
                               + ["usr/lib/jni/" + name for name in LIBRARIES]),
               "files: %s" % files)
        expect(os.readlink(os.path.join(root, jars[1])) == os.path.basename(jars[0]),
               "vela-brevant.jar links to the versioned jar")
        with open(os.path.join(root, jars[0]), "rb") as packed, open(jar, "rb") as built:
            expect(packed.read() == built.read(), "the packaged jar is the one the build made")
        with open(os.path.join(root, "lib/udev/rules.d/60-vela-brevant.rules")) as packed, open(rules) as source:
            expect(packed.read() == source.read(), "the packaged udev rule is the project's")

        for name, needed in LIBRARIES.items():
            lib = os.path.join(root, "usr/lib/jni", name)
            header = run("readelf", "-h", "-S", lib).stdout
            expect("Machine:                           %s\n" % MACHINES[arch] in header,
                   "%s is built for %s" % (name, arch))
            expect(arch != "armhf" or "hard-float ABI" in header, "%s uses the hard-float ABI" % name)
            expect(".symtab" not in header and ".debug_info" not in header, "%s is stripped" % name)
            cls = name[3:-3]
            check = run("sh", check_library, lib,
                        os.path.join(headers, "com_kelvora_brevant_%s.h" % cls), *needed, *LOADERS.get(arch, []),
                        env=dict(os.environ, VELA_GLIBC_BASELINE=glibc))
            print("%s: %s" % (name, check.stdout.strip()))
            expect(check.returncode == 0, "%s as packaged: %s" % (name, check.stdout))

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

    for f in failures:
        print("FAILED: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
