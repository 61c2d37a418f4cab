"""Ownership of the emulated device nodes, for programs that run as a user
other than the emulator's: each node gets the group and mode its real
counterpart has on a Debian till, and the emulator's own sockets are opened
to everyone so that the permissions the kernel checks are the nodes' alone."""
import grp
import os
import stat


class NodeCommands:
    def __init__(self, testbed):
        self.testbed = testbed

    def cmd_own(self, devpath, group, mode):
        """node.own /dev/NODE GROUP MODE: root owns the node (for a pty-backed
        node, the pty behind it), GROUP is its group, MODE (octal) its mode"""
        target = os.path.realpath(self.testbed.node_path(devpath))
        os.chown(target, 0, grp.getgrnam(group).gr_gid)
        os.chmod(target, int(mode, 8))
        open_testbed(self.testbed.root)


def open_testbed(root):
    """Lets every user reach the testbed: its folders, and the sockets
    through which the umockdev preload forwards ioctls. Device nodes are
    left as they are."""
    os.chmod(root, 0o755)
    for folder, dirs, files in os.walk(os.path.join(root, "ioctl")):
        for name in dirs:
            os.chmod(os.path.join(folder, name), 0o755)
        for name in files:
            path = os.path.join(folder, name)
            if stat.S_ISSOCK(os.lstat(path).st_mode):
                os.chmod(path, 0o666)
