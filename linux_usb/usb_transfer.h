// Data, status and reset on an open USB port. A call that finds the device
// gone (ENODEV) closes the port itself and hands back the reopen text.
#pragma once

#include <jni.h>

#include <cstdint>

#include "printer_status.h"
#include "usb_port.h"

namespace vela {

// Asks the printer how many bytes it holds, reads them from the bulk IN
// pipe and stores at most `wanted` and the array's length from index 0.
jint ReceiveUsbData(JNIEnv* env, USBPort* port, jbyteArray buffer, jint wanted,
                    jlong timeout, const char** message);

// Sends in chunks of at most 4096 bytes; a chunk cut short by a timeout or
// a stall clears the halt and ends the send, counting only whole chunks.
jint SendUsbData(JNIEnv* env, USBPort* port, jbyteArray data, jint length,
                 jlong timeout, const char** message);

// The status byte; `failure` is raised for any error but a vanished device.
StatusRead ReadUsbStatus(USBPort* port, jlong timeout, const char* failure,
                         const char** message);

bool ResetUsbPrinter(USBPort* port, const char** message);

}  // namespace vela
