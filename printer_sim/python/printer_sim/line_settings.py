"""A tty's settings and input count as the serial.* commands report and set
them: an emulated line's on the host's pty, a USB serial line's on the
guest's tty (tests/vm/relay.py)."""
import fcntl
import struct
import termios


def words(fd):
    """iflag oflag cflag lflag ispeed ospeed VMIN VTIME"""
    t = termios.tcgetattr(fd)
    cc = [c if isinstance(c, int) else ord(c) for c in t[6]]
    return "%d %d %d %d %d %d %d %d" % (*t[:6], cc[termios.VMIN], cc[termios.VTIME])


def change(fd, set_iflag=0, clear_cflag=0, wake=None):
    """Sets c_iflag bits, clears c_cflag bits, or sets (VMIN, VTIME), as
    another program, or one killed mid-wait, may leave the line."""
    t = termios.tcgetattr(fd)
    t[0] |= set_iflag
    t[2] &= ~clear_cflag
    if wake is not None:
        t[6][termios.VMIN], t[6][termios.VTIME] = wake
    termios.tcsetattr(fd, termios.TCSANOW, t)


def queued(fd):
    """Input bytes the tty holds unread."""
    return struct.unpack("i", fcntl.ioctl(fd, termios.FIONREAD, b"\0\0\0\0"))[0]
