"""Line protocol through which a test (in the JVM under test) drives the
emulated printers: one command per line, one reply line, "ok ..." or
"err ..."."""
import socketserver
import threading
import traceback


class Control:
    def __init__(self):
        self.commands = {}

    def register(self, prefix, obj):
        for name in dir(obj):
            if name.startswith("cmd_"):
                self.commands[prefix + "." + name[4:]] = getattr(obj, name)

    def dispatch(self, line):
        words = line.split()
        if not words:
            return "err empty"
        fn = self.commands.get(words[0])
        if fn is None:
            return "err unknown " + words[0]
        try:
            result = fn(*words[1:])
        except Exception as e:  # reported to the test, which fails on it
            traceback.print_exc()
            return "err %s: %s" % (type(e).__name__, e)
        return "ok" if result is None else "ok " + str(result)

    def serve(self, socket_path):
        control = self

        class Handler(socketserver.StreamRequestHandler):
            def handle(self):
                for raw in self.rfile:
                    reply = control.dispatch(raw.decode().strip())
                    self.wfile.write((reply + "\n").encode())
                    self.wfile.flush()

        server = socketserver.ThreadingUnixStreamServer(socket_path, Handler)
        server.daemon_threads = True
        threading.Thread(target=server.serve_forever, daemon=True).start()
        return server
