#include "usb_connection.h"

#include "usb_requests.h"

namespace vela {

StatusRead ReadDriverStatus(WindowsUSBPort* port) {
  BYTE status = 0;
  DWORD returned = 0;
  DeviceIoControl(port->handle, IOCTL_PRINTER_GET_STATUS, nullptr, 0, &status, 1, &returned,
                  nullptr);
  return StatusRead{returned >= 1, status};
}

bool DeviceConnected(WindowsUSBPort* port, const char** message) {
  if (ReadDriverStatus(port).ok) return true;
  // A request the close cancelled says nothing about the printer.
  if (EndedByClose<WindowsUsbLibrary>(port, message)) return false;
  ClosePort<WindowsUsbLibrary>(port);
  *message = kDeviceGone;
  return false;
}

}  // namespace vela
