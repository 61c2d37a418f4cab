// Java byte arrays borrowed for the length of one native call.
#pragma once

#include <jni.h>

#include "core_messages.h"

namespace vela {

struct BorrowedBytes {
  jbyteArray array;
  jbyte* elements;
  jsize length;
};

// Borrows the array's elements. A null array gives the JNI-fault text, a
// failed GetByteArrayElements the memory text.
bool BorrowBytes(JNIEnv* env, jbyteArray array, const LookupTexts& texts,
                 BorrowedBytes* out, const char** message);

// Length of an array that may be null (then the JNI-fault text).
bool ArrayLength(JNIEnv* env, jbyteArray array, const LookupTexts& texts,
                 jsize* length, const char** message);

// Releases with mode 0, so that bytes stored into the elements reach Java.
void ReleaseBytes(JNIEnv* env, BorrowedBytes* bytes);

// The count a send or receive works with: the caller's, lowered to the
// array's length.
inline jint ClampToArray(jint wanted, jsize arrayLength) {
  return wanted > arrayLength ? arrayLength : wanted;
}

}  // namespace vela
