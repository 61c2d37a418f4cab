#include "usb_status.h"

#include "usb_connection.h"
#include "usb_requests.h"

namespace vela {

jbyte UsbEnq(WindowsUSBPort* port, const char** message) {
  if (!DeviceConnected(port, message)) return 0;
  StatusRead read = ReadDriverStatus(port);
  if (!read.ok) {
    *message = kEnqFailed;
    return 0;
  }
  return static_cast<jbyte>(DriverEnqFromStatus(read.status));
}

jboolean UsbOnline(WindowsUSBPort* port, const char** message) {
  if (!DeviceConnected(port, message)) return JNI_FALSE;
  return OnlineAnswer(ReadDriverStatus(port));
}

jboolean UsbPower(WindowsUSBPort* port, const char**) {
  const char* gone = nullptr;
  return DeviceConnected(port, &gone) ? JNI_TRUE : JNI_FALSE;
}

bool ResetUsb(WindowsUSBPort* port, const char** message) {
  if (!DeviceConnected(port, message)) return false;
  DWORD returned = 0;
  DeviceIoControl(port->handle, IOCTL_PRINTER_RESET, nullptr, 0, nullptr, 0, &returned, nullptr);
  return true;
}

}  // namespace vela
