#include "serial_open.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

#include "port_name.h"
#include "posix_wait.h"
#include "serial_config.h"

namespace vela {

SerialPort serialPorts[kSerialSlots];
std::uint8_t portHasBeenInitialized[kInitFlagCount];

namespace {

// NUL then CAN clears whatever half-received command the printer holds.
// Sent with flow control off; its failures do not stop the open.
void InitialisePrinter(SerialPort* port) {
  int index = SerialDeviceIndex(port->name);
  if (index < 0 || portHasBeenInitialized[index] != 0) return;
  portHasBeenInitialized[index] = 1;
  SerialPortSettings plain = port->settings;
  plain.flowControl = 'n';
  const char* ignored = nullptr;
  ConfigureSerialPort(port, false, &plain, &ignored);
  static const unsigned char kInitBytes[2] = {0x00, 0x18};
  ssize_t written = WriteRestarting(port->fd, kInitBytes, sizeof(kInitBytes));
  (void)written;
  DrainOutput(port->fd);
  RestorePortSettings(port, &ignored);
}

}  // namespace

bool OpenSerialDevice(SerialPort* record, const char** message) {
  record->fd = open(record->name, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (record->fd < 0) {
    *message = kOpenFailed;
    return false;
  }
  record->identity = IdentifySerialDevice(record->fd);
  SerialPortSettings parsed = record->settings;
  if (!ConfigureSerialPort(record, true, &parsed, message)) {
    close(record->fd);
    return false;
  }
  record->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (record->wakeFd < 0) {
    close(record->fd);
    *message = kOpenFailed;
    return false;
  }
  InitialisePrinter(record);
  return true;
}

bool ParseSettingsArg(JNIEnv* env, jstring text, SerialPort* record, const char** message) {
  BorrowedName settings;
  if (!BorrowName(env, text, kSerialLookupTexts, &settings, message)) return false;
  bool fits = static_cast<std::size_t>(settings.length) < sizeof(record->settingsText);
  if (fits) {
    std::memcpy(record->settingsText, settings.bytes, static_cast<std::size_t>(settings.length));
  }
  ReleaseName(env, &settings);
  if (!fits) {
    *message = kSettingsForm;
    return false;
  }
  return ParseSerialSettings(record->settingsText, &record->settings, message);
}

void SerialLibrary::CloseDevice(SerialPort* port) {
  tcflush(port->fd, TCIOFLUSH);
  close(port->fd);
  close(port->wakeFd);
}

void SerialLibrary::CutShort(SerialPort* port) {
  const std::uint64_t one = 1;
  ssize_t signalled = write(port->wakeFd, &one, sizeof(one));
  (void)signalled;  // a counter already signalled stays readable
  tcflush(port->fd, TCOFLUSH);
}

void SerialLibrary::ReleaseAtUnload(SerialPort* port) {
  close(port->fd);
  close(port->wakeFd);
}

void SerialLibrary::AtLoad() {
  for (auto& flag : portHasBeenInitialized) flag = 0;
}

}  // namespace vela
