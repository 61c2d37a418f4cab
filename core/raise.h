// The one way a native method reports a failure to the Java side.
#pragma once

#include <jni.h>

namespace vela {

inline constexpr const char kExceptionClass[] =
    "com/kelvora/brevant/VelaBrevantException";

// Throws VelaBrevantException with the message. A pending exception left by
// a failed JNI call is cleared first, so that only our message reaches Java.
// When the class cannot be found, FindClass's own error is left pending.
void Raise(JNIEnv* env, const char* message);

}  // namespace vela
