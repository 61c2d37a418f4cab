#include "usb_device_path.h"
#include "usb_port.h"
#include "usb_requests.h"

namespace vela {

static_assert(sizeof(COMMTIMEOUTS) == 20, "the driver takes a 20-byte timeouts record");

WindowsUSBPort usbPorts[kUsbSlots];
DWORD platformId;

namespace {

// A read returns within 200 ms with what has arrived; a write of n bytes
// may take 10 * n + 10000 ms.
COMMTIMEOUTS DriverTimeouts() {
  COMMTIMEOUTS t = {};
  t.ReadIntervalTimeout = 0;
  t.ReadTotalTimeoutMultiplier = 0;
  t.ReadTotalTimeoutConstant = 200;
  t.WriteTotalTimeoutMultiplier = 10;
  t.WriteTotalTimeoutConstant = 10000;
  return t;
}

}  // namespace

bool OpenUsbDevice(WindowsUSBPort* port, const char** message) {
  ResolveDevicePath(port->name, port->devicePath, sizeof(port->devicePath));
  port->handle = CreateFileA(port->devicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (port->handle == INVALID_HANDLE_VALUE) {
    *message = kCreateFileFailed;
    return false;
  }
  // The NT family hands SetCommTimeouts to the driver itself; elsewhere the
  // driver takes them through its own request. The port is open either way.
  COMMTIMEOUTS timeouts = DriverTimeouts();
  if (platformId == VER_PLATFORM_WIN32_NT) {
    SetCommTimeouts(port->handle, &timeouts);
  } else {
    DWORD returned = 0;
    DeviceIoControl(port->handle, IOCTL_PRINTER_SET_TIMEOUTS, &timeouts, sizeof(timeouts),
                    nullptr, 0, &returned, nullptr);
  }
  return true;
}

}  // namespace vela
