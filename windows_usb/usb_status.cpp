#include "usb_status.h"

#include "usb_connection.h"
#include "usb_requests.h"

namespace vela {

jbyte UsbEnq(WindowsUSBPort* port, const char** message) {
  if (!DeviceConnected(port, message)) return 0;
  StatusRead read = ReadDriverStatus(port);
  if (!read.ok) {
    if (!EndedByClose<WindowsUsbLibrary>(port, message)) *message = kEnqFailed;
    return 0;
  }
  return static_cast<jbyte>(DriverEnqFromStatus(read.status));
}

jboolean UsbOnline(WindowsUSBPort* port, const char** message) {
  if (!DeviceConnected(port, message)) return JNI_FALSE;
  StatusRead read = ReadDriverStatus(port);
  if (!read.ok) EndedByClose<WindowsUsbLibrary>(port, message);
  return OnlineAnswer(read);
}

jboolean UsbPower(WindowsUSBPort* port, const char** message) {
  const char* why = nullptr;
  if (DeviceConnected(port, &why)) return JNI_TRUE;
  // A gone printer is a quiet false; a close from another thread is not.
  if (why != kDeviceGone) *message = why;
  return JNI_FALSE;
}

bool ResetUsb(WindowsUSBPort* port, const char** message) {
  if (!DeviceConnected(port, message) || EndedByClose<WindowsUsbLibrary>(port, message)) return false;
  DWORD returned = 0;
  DeviceIoControl(port->handle, IOCTL_PRINTER_RESET, nullptr, 0, nullptr, 0, &returned, nullptr);
  return true;
}

}  // namespace vela
