"""Signals aimed at one thread of the process under test, as a Java VM's
own suspend signal, a profiler or a debugger would send them: every wait in
the libraries must run to its full length across them."""
import ctypes
import signal
import threading
import time

_libc = ctypes.CDLL(None, use_errno=True)


class SignalCommands:
    def __init__(self):
        self.stop_event = None
        self.thread = None
        self.sent = 0

    def cmd_start(self, pid, tid, interval_us):
        """signals.start PID TID INTERVAL_US: SIGUSR2 to that thread, repeatedly"""
        self.cmd_stop()
        self.sent = 0
        stop = self.stop_event = threading.Event()
        pid, tid, interval = int(pid), int(tid), int(interval_us) / 1e6

        def run():
            while not stop.is_set():
                if _libc.tgkill(pid, tid, signal.SIGUSR2) == 0:
                    self.sent += 1
                time.sleep(interval)
        self.thread = threading.Thread(target=run, daemon=True)
        self.thread.start()

    def cmd_stop(self):
        """signals.stop -> how many signals reached the thread"""
        if self.thread is not None:
            self.stop_event.set()
            self.thread.join()
            self.thread = None
        return self.sent
