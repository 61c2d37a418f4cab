#include "raise.h"

namespace vela {

void Raise(JNIEnv* env, const char* message) {
  if (env->ExceptionCheck()) env->ExceptionClear();
  jclass cls = env->FindClass(kExceptionClass);
  if (cls == nullptr) return;
  env->ThrowNew(cls, message);
  env->DeleteLocalRef(cls);
}

}  // namespace vela
