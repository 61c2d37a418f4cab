#include "java_bytes.h"

#include <cstdlib>
#include <cstring>

namespace vela {

bool ArrayLength(JNIEnv* env, jbyteArray array, const LookupTexts& texts,
                 jsize* length, const char** message) {
  if (array == nullptr) {
    *message = texts.jniFault;
    return false;
  }
  *length = env->GetArrayLength(array);
  return true;
}

bool BorrowBytes(JNIEnv* env, jbyteArray array, const LookupTexts& texts,
                 BorrowedBytes* out, const char** message) {
  out->array = array;
  out->elements = nullptr;
  out->length = 0;
  if (!ArrayLength(env, array, texts, &out->length, message)) return false;
  out->elements = env->GetByteArrayElements(array, nullptr);
  if (out->elements == nullptr) {
    *message = kMemoryAllocationFailure;
    return false;
  }
  return true;
}

void ReleaseBytes(JNIEnv* env, BorrowedBytes* bytes) {
  if (bytes->elements != nullptr) {
    env->ReleaseByteArrayElements(bytes->array, bytes->elements, 0);
  }
  bytes->elements = nullptr;
}

bool CopyToArray(JNIEnv* env, jbyteArray array, const void* bytes, jint count,
                 const LookupTexts& texts, const char** message) {
  BorrowedBytes borrowed;
  if (!BorrowBytes(env, array, texts, &borrowed, message)) return false;
  if (count > 0) std::memcpy(borrowed.elements, bytes, static_cast<std::size_t>(count));
  ReleaseBytes(env, &borrowed);
  return true;
}

void* AllocateScratch(jint length, const char** message) {
  void* scratch = length < 0 ? nullptr
                             : std::malloc(length > 0 ? static_cast<std::size_t>(length) : 1);
  if (scratch == nullptr) *message = kMemoryAllocationFailure;
  return scratch;
}

}  // namespace vela
