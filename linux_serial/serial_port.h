// The record of one open serial port and the library's tables.
#pragma once

#include <cstddef>
#include <cstdint>

#include "serial_settings.h"

namespace vela {

// The device a descriptor reached when the port was opened. A descriptor
// number closed under a running call may be reused by the next open; the
// call then finds another device behind it.
struct SerialDeviceIdentity {
  std::uint64_t device;  // st_dev
  std::uint64_t inode;   // st_ino
  std::uint64_t special; // st_rdev
  bool known;            // false when statx failed at open: nothing to compare
};

struct SerialPort {
  std::uint8_t inUse;
  char name[100];  // key of the lookup and the device path
  char settingsText[kSettingsTextSize];
  std::int32_t fd;
  // An eventfd that a close signals: a call waiting in poll() on the line
  // wakes at once instead of sleeping out its timeout.
  std::int32_t wakeFd;
  SerialPortSettings settings;  // re-applied after every temporary change
  SerialDeviceIdentity identity;
};

inline constexpr std::size_t kSerialSlots = 20;
inline constexpr int kInitFlagCount = 99;

extern SerialPort serialPorts[kSerialSlots];
// Set on a device's first successful open; only a reload clears it.
extern std::uint8_t portHasBeenInitialized[kInitFlagCount];

// Index of a device in portHasBeenInitialized: the number that follows the
// first nine bytes of its name ("/dev/ttyS" + N), read as atoi would. An
// index outside the table gives -1.
int SerialDeviceIndex(const char (&name)[100]);

// What fd reaches now.
SerialDeviceIdentity IdentifySerialDevice(int fd);
// True unless fd now reaches another device than `identity` names.
bool StillSameDevice(int fd, const SerialDeviceIdentity& identity);

}  // namespace vela
