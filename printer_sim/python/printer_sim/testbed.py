"""The umockdev testbed shared by every emulated device of one run."""
import gi

gi.require_version("UMockdev", "1.0")
from gi.repository import UMockdev  # noqa: E402


class Testbed:
    def __init__(self, workdir):
        self.workdir = workdir  # for files the emulated devices need
        self.tb = UMockdev.Testbed.new()
        self.root = self.tb.get_root_dir()
        self.handlers = []  # keeps IoctlBase objects alive

    def add_node(self, sysfs_path, node, subsystem, extra=""):
        self.tb.add_from_string(
            "P: %s\nN: %s\nE: SUBSYSTEM=%s\n%s" % (sysfs_path, node, subsystem, extra))
        return "/dev/" + node.split("=")[0]

    def attach(self, devpath, on_ioctl, on_write=None):
        handler = UMockdev.IoctlBase()
        handler.connect("handle-ioctl", on_ioctl)
        if on_write is not None:
            handler.connect("handle-write", on_write)
        self.tb.attach_ioctl(devpath, handler)
        self.handlers.append(handler)

    def attach_handler(self, devpath, handler):
        """A handler that subclasses IoctlBase, for reads and writes too."""
        self.tb.attach_ioctl(devpath, handler)
        self.handlers.append(handler)

    def master_fd(self, devpath):
        return self.tb.get_dev_fd(devpath)

    def node_path(self, devpath):
        return self.root + devpath


def pass_through(client):
    res, err = client.execute()
    client.complete(res, err)
    return True


def read_arg(client, size):
    data = client.get_arg().resolve(0, size)
    return data, bytes(data.retrieve())


def format_events(events):
    """(seconds, field, ...) tuples as the words of a control reply:
    milliseconds and fields joined by ':'; '-' when there are none."""
    return " ".join(":".join(["%.3f" % (e[0] * 1000)] + [str(f) for f in e[1:]])
                    for e in events) or "-"


def count_and_forget(printers):
    """Events of these printers since the last count, which forgets them:
    the requests that reached them."""
    count = 0
    for p in printers:
        with p.lock:
            count += len(p.events)
            p.events = []
    return count
