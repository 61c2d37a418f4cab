// Compatibility-mode output and nibble-mode input on a parallel port.
#pragma once

#include <jni.h>

#include "parallel_port.h"

namespace vela {

// Reads up to `length` bytes in nibble mode, polling every 50 ms until the
// timeout runs out; stores at most the array's length from index 0.
jint ReceiveParallelData(JNIEnv* env, const ParallelPort* port, jbyteArray buffer,
                         jint length, jlong timeout, const char** message);

// Writes while the printer is online; gives up after the timeout passes
// without a byte taken. Returns the bytes written.
jint SendParallelData(JNIEnv* env, const ParallelPort* port, jbyteArray data,
                      jint length, jlong timeout, const char** message);

}  // namespace vela
