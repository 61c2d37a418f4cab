// Moving data over an open serial port.
#pragma once

#include <jni.h>

#include "serial_port.h"

namespace vela {

// Waits (idle timeout) until `length` bytes are queued, reads exactly that
// many and stores as many as the array holds from index 0.
jint ReceiveSerialData(JNIEnv* env, const SerialPort* port, jbyteArray buffer,
                       jint length, jlong timeout, const char** message);

enum class SerialSendMode {
  kFlowControlled,  // waits for DSR before each 256-byte block under 'h'
  kOffline,         // never looks at DSR
};

// Writes up to `length` bytes of the array, waiting for room while the line
// is full; returns the count written (short when the time ran out), or 0
// with a message when a write fails or the line never took a byte.
jint SendSerialData(JNIEnv* env, const SerialPort* port, jbyteArray data,
                    jint length, jlong timeout, SerialSendMode mode,
                    const char** message);

}  // namespace vela
