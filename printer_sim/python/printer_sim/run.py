"""Runs a command (a JVM test run, the demo, a benchmark) beside a fresh set
of emulated printers. The command finds the control socket in
PRINTER_SIM_SOCKET and runs under the umockdev preload, so that opens of the
emulated device nodes reach this process.

usage: python3 -m printer_sim.run [--check-jni] [--preload LIB] [--shared] -- COMMAND ...

--preload LIB loads LIB ahead of the umockdev preload (a sanitizer runtime,
which must come first). --shared lets a COMMAND that runs as another user
(through setpriv) reach the control socket and the testbed; the nodes then
carry the modes that node.own gives them."""
import os
import shutil
import subprocess
import sys
import tempfile

from .control import Control
from .nodes import NodeCommands, open_testbed
from .parallel_printer import ParallelCommands
from .serial_commands import SerialCommands
from .signals import SignalCommands
from .testbed import Testbed
from .usb_printer import UsbCommands

JNI_COMPLAINTS = ("WARNING in native method", "FATAL ERROR in native method",
                  "JNI call made with exception pending")


def main(argv):
    check_jni = "--check-jni" in argv
    command = argv[argv.index("--") + 1:]
    options = argv[:argv.index("--")]
    preload = ["libumockdev-preload.so.0"]
    if "--preload" in options:
        preload.insert(0, options[options.index("--preload") + 1])
    workdir = tempfile.mkdtemp(prefix="printer-sim-")
    testbed = Testbed(workdir)
    control = Control()
    control.register("serial", SerialCommands(testbed))
    control.register("parallel", ParallelCommands(testbed))
    control.register("usb", UsbCommands(testbed))
    control.register("signals", SignalCommands())
    control.register("node", NodeCommands(testbed))
    socket_path = os.path.join(workdir, "control")
    server = control.serve(socket_path)
    if "--shared" in options:
        os.chmod(workdir, 0o755)
        os.chmod(socket_path, 0o666)
        open_testbed(testbed.root)
    env = dict(os.environ, PRINTER_SIM_SOCKET=socket_path, UMOCKDEV_DIR=testbed.root,
               LD_PRELOAD=" ".join(preload))
    try:
        proc = subprocess.run(command, env=env, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT)
        output = proc.stdout.decode(errors="replace")
        sys.stdout.write(output)
        code = proc.returncode
        if check_jni and any(c in output for c in JNI_COMPLAINTS):
            print("printer_sim: the JVM reported a JNI problem under -Xcheck:jni")
            code = code or 1
    finally:
        server.shutdown()
        shutil.rmtree(workdir, ignore_errors=True)
        shutil.rmtree(testbed.root, ignore_errors=True)
    return code


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
