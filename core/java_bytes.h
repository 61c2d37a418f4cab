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

// Stores `count` bytes at the start of the array (borrowed, copied,
// released with mode 0). Fails with the memory text when the VM cannot
// hand the elements out.
bool CopyToArray(JNIEnv* env, jbyteArray array, const void* bytes, jint count,
                 const LookupTexts& texts, const char** message);

// A scratch buffer for a receive of `length` bytes. A negative length is an
// allocation that cannot succeed: both give the memory text.
void* AllocateScratch(jint length, const char** message);

// The count a send or receive works with: the caller's, lowered to the
// array's length.
inline jint ClampToArray(jint wanted, jsize arrayLength) {
  return wanted > arrayLength ? arrayLength : wanted;
}

}  // namespace vela
