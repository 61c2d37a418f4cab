#include "port_name.h"

#include <cstring>

namespace vela {

bool BorrowName(JNIEnv* env, jstring str, const LookupTexts& texts,
                BorrowedName* out, const char** message) {
  out->str = str;
  out->bytes = nullptr;
  out->length = 0;
  if (str == nullptr) {
    *message = texts.jniFault;
    return false;
  }
  out->bytes = env->GetStringUTFChars(str, nullptr);
  if (out->bytes == nullptr) {
    *message = kMemoryAllocationFailure;
    return false;
  }
  out->length = env->GetStringUTFLength(str);
  return true;
}

void ReleaseName(JNIEnv* env, BorrowedName* name) {
  if (name->bytes != nullptr) env->ReleaseStringUTFChars(name->str, name->bytes);
  name->bytes = nullptr;
}

bool BorrowPortNameField(JNIEnv* env, jobject obj, const LookupTexts& texts,
                         BorrowedName* out, const char** message) {
  out->str = nullptr;
  out->bytes = nullptr;
  out->length = 0;
  jclass cls = env->GetObjectClass(obj);
  jfieldID field = env->GetFieldID(cls, "portName", "Ljava/lang/String;");
  env->DeleteLocalRef(cls);
  if (field == nullptr) {
    if (env->ExceptionOccurred() != nullptr) env->ExceptionClear();
    *message = texts.jniFault;
    return false;
  }
  jstring str = static_cast<jstring>(env->GetObjectField(obj, field));
  return BorrowName(env, str, texts, out, message);
}

bool CopyNameIntoField(JNIEnv* env, jstring str, char* field,
                       std::size_t fieldSize, const LookupTexts& texts,
                       const char** message) {
  BorrowedName name;
  if (!BorrowName(env, str, texts, &name, message)) return false;
  bool fits = static_cast<std::size_t>(name.length) < fieldSize;
  if (fits) {
    std::memset(field, 0, fieldSize);
    std::memcpy(field, name.bytes, static_cast<std::size_t>(name.length));
  } else {
    *message = kPortNameTooLong;
  }
  ReleaseName(env, &name);
  return fits;
}

int NameNumber(const char* field, std::size_t fieldSize, std::size_t offset, int limit) {
  const char* p = field + offset;
  const char* end = field + fieldSize;
  while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  long value = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value >= limit) return -1;  // also stops any overflow
  }
  if (negative && value != 0) return -1;
  return static_cast<int>(value);
}

bool NameFieldEquals(const char* field, std::size_t fieldSize,
                     const char* key, std::size_t keyLength) {
  // Modified UTF-8 holds no zero byte, so the stored name ends at the
  // first zero of its zero-padded field.
  if (keyLength >= fieldSize) return false;
  return std::memcmp(field, key, keyLength) == 0 && field[keyLength] == '\0';
}

}  // namespace vela
