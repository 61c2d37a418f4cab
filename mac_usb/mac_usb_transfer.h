// Data to and from the printer through the interface's bulk pipes, and the
// printer's vendor requests through the device.
#pragma once

#include <jni.h>

#include "mac_usb_port.h"
#include "usb_protocol.h"

namespace vela {

// A vendor request with the completion timeout given; `data` receives an
// IN request's reply.
IOReturn SendVendorRequest(USBPort* port, const VendorRequest& request, void* data,
                           UInt32 completionTimeout);

// Hands back `otherwise`, or, when IOKit says the device has gone, closes
// the port first and hands back `gone`. Always false.
bool Failed(USBPort* port, IOReturn result, const char* gone, const char* otherwise,
            const char** message);

// The Java timeout as IOKit's completion timeout: its low 32 bits.
inline UInt32 CompletionTimeout(jlong timeout) {
  return static_cast<UInt32>(static_cast<std::uint64_t>(timeout) & 0xFFFFFFFFu);
}

jint ReceiveMacUsbData(JNIEnv* env, USBPort* port, jbyteArray buffer, jint wanted, jlong timeout,
                       const char** message);
jint SendMacUsbData(JNIEnv* env, USBPort* port, jbyteArray data, jint length, jlong timeout,
                    const char** message);

}  // namespace vela
