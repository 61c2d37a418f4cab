// Reading and writing an open LPT port under its communication timeouts.
#pragma once

#include <jni.h>

#include "lpt_port.h"

namespace vela {

// One ReadFile of at most `length` and the array's length, straight into
// the array; the count ReadFile reports. A negative length reads nothing.
jint ReceiveLptData(JNIEnv* env, LptPort* port, jbyteArray buffer, jint length, jlong timeout,
                    const char** message);

// Writes in 4096-byte pieces, each flushed; passes that move nothing sleep
// 20 ms and pay their time from the budget. Returns the bytes written.
jint SendLptData(JNIEnv* env, LptPort* port, jbyteArray data, jint length, jlong timeout,
                 const char** message);

}  // namespace vela
