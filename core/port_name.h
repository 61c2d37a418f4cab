// Reading port names out of Java strings: the key of every port table.
#pragma once

#include <jni.h>

#include <cstddef>

#include "core_messages.h"

namespace vela {

// Modified UTF-8 bytes of a Java string, borrowed for one call.
struct BorrowedName {
  jstring str;
  const char* bytes;
  jsize length;
};

// Borrows the bytes of `str`. A null string gives the JNI-fault text, a
// failed GetStringUTFChars the memory text; nothing is borrowed then.
bool BorrowName(JNIEnv* env, jstring str, const LookupTexts& texts,
                BorrowedName* out, const char** message);
void ReleaseName(JNIEnv* env, BorrowedName* name);

// Borrows the object's `portName` field (looked up afresh on every call).
bool BorrowPortNameField(JNIEnv* env, jobject obj, const LookupTexts& texts,
                         BorrowedName* out, const char** message);

// Copies the string's bytes into a zero-filled field of `fieldSize` bytes,
// keeping at least one terminating zero. Fails with the port-name-too-long
// text when it does not fit.
bool CopyNameIntoField(JNIEnv* env, jstring str, char* field,
                       std::size_t fieldSize, const LookupTexts& texts,
                       const char** message);

// The number a name's field holds from byte `offset` on, read as atoi
// would (leading white space, an optional sign, digits; 0 without digits),
// or -1 when it falls outside 0 to limit - 1. Never reads past the field.
int NameNumber(const char* field, std::size_t fieldSize, std::size_t offset, int limit);

// A stored name matches only when it is exactly the looked-up bytes: a
// port found by the beginning of its name would send one printer's receipt
// to another (/dev/ttyS1 finding /dev/ttyS10). A key that leaves no zero
// after it in the field never matches.
bool NameFieldEquals(const char* field, std::size_t fieldSize,
                     const char* key, std::size_t keyLength);

}  // namespace vela
