#include "serial_open.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "port_table.h"
#include "serial_config.h"
#include "serial_messages.h"

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
  ssize_t written = write(port->fd, kInitBytes, sizeof(kInitBytes));
  (void)written;
  tcdrain(port->fd);
  RestorePortSettings(port, &ignored);
}

}  // namespace

bool OpenSerialDevice(SerialPort* record, const char** message) {
  record->fd = open(record->name, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (record->fd < 0) {
    *message = kOpenFailed;
    return false;
  }
  SerialPortSettings parsed = record->settings;
  if (!ConfigureSerialPort(record, true, &parsed, message)) {
    close(record->fd);
    return false;
  }
  InitialisePrinter(record);
  return true;
}

void CloseSerialPort(SerialPort* port) {
  tcflush(port->fd, TCIOFLUSH);
  close(port->fd);
  ClearRecord(port);
}

void ClearSerialTables() {
  ClearTable(serialPorts);
  for (auto& flag : portHasBeenInitialized) flag = 0;
}

void CloseAllSerialPorts() {
  for (auto& port : serialPorts) {
    if (port.inUse == 0) continue;
    port.inUse = 0;
    close(port.fd);
  }
}

}  // namespace vela
