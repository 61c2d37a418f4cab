"""Emulated receipt printers at the edge of the platform: ptys and umockdev
device nodes whose ioctls, reads and writes this package answers."""
