// The printer's state through the driver's status and reset requests.
#pragma once

#include <jni.h>

#include "usb_port.h"

namespace vela {

jbyte UsbEnq(WindowsUSBPort* port, const char** message);
jboolean UsbOnline(WindowsUSBPort* port, const char** message);
// True while the driver answers; a gone device closes the port quietly.
jboolean UsbPower(WindowsUSBPort* port, const char** message);
bool ResetUsb(WindowsUSBPort* port, const char** message);

}  // namespace vela
