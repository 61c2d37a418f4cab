#include <fcntl.h>
#include <linux/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "serial_port.h"

namespace vela {

// statx through syscall(): glibc's fstat and statx symbols are newer than
// the oldest glibc the library loads on. A kernel without statx (before
// 4.11) leaves the identity unknown.
SerialDeviceIdentity IdentifySerialDevice(int fd) {
  struct statx st = {};
  if (syscall(SYS_statx, fd, "", AT_EMPTY_PATH, STATX_INO, &st) != 0) return {0, 0, 0, false};
  const auto pair = [](std::uint32_t major, std::uint32_t minor) {
    return (static_cast<std::uint64_t>(major) << 32) | minor;
  };
  return {pair(st.stx_dev_major, st.stx_dev_minor), st.stx_ino,
          pair(st.stx_rdev_major, st.stx_rdev_minor), true};
}

bool StillSameDevice(int fd, const SerialDeviceIdentity& identity) {
  if (!identity.known) return true;
  const SerialDeviceIdentity now = IdentifySerialDevice(fd);
  return now.known && now.device == identity.device && now.inode == identity.inode &&
         now.special == identity.special;
}

}  // namespace vela
