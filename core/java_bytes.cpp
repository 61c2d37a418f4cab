#include "java_bytes.h"

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

}  // namespace vela
