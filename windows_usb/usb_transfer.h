// Data to and from the printer through the driver's reads and writes.
#pragma once

#include <jni.h>

#include "usb_port.h"

namespace vela {

// One read of up to `length` bytes within the driver's read timeout; what
// does not fit the array is dropped.
jint ReceiveUsbData(JNIEnv* env, WindowsUSBPort* port, jbyteArray buffer, jint length,
                    const char** message);

// Sends the bytes in chunks of at most 4096; a short chunk ends the send
// with the count of the whole chunks before it.
jint SendUsbData(JNIEnv* env, WindowsUSBPort* port, jbyteArray data, jint length,
                 const char** message);

}  // namespace vela
