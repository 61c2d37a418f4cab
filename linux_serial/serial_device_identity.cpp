#include <sys/stat.h>

#include "serial_port.h"

namespace vela {

SerialDeviceIdentity IdentifySerialDevice(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return {0, 0, 0, false};
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
          static_cast<std::uint64_t>(st.st_rdev), true};
}

bool StillSameDevice(int fd, const SerialDeviceIdentity& identity) {
  if (!identity.known) return true;
  const SerialDeviceIdentity now = IdentifySerialDevice(fd);
  return now.known && now.device == identity.device && now.inode == identity.inode &&
         now.special == identity.special;
}

}  // namespace vela
