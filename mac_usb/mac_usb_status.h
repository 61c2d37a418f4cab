// The printer's status byte and reset through its vendor requests.
#pragma once

#include <jni.h>

#include "mac_usb_port.h"

namespace vela {

jbyte MacUsbEnq(USBPort* port, jlong timeout, const char** message);
jboolean MacUsbOnline(USBPort* port, jlong timeout, const char** message);
bool ResetMacUsb(USBPort* port, const char** message);

}  // namespace vela
