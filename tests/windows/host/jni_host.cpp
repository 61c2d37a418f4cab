#include "jni_host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vela_host {
namespace {

constexpr const char kExceptionClass[] = "com/kelvora/brevant/VelaBrevantException";

// Every slot this host does not implement lands here; with stdcall the
// arguments cannot be cleaned up, so the process stops at once.
void JNICALL Unimplemented() {
  std::fputs("jni_host: the library called a JNI function this host does not implement\n", stderr);
  std::fflush(stderr);
  ExitProcess(3);
}

}  // namespace

struct JniHost::Object {
  enum Kind { kString, kByteArray, kPort, kPlainObject, kClass, kThrowable };
  explicit Object(Kind k) : kind(k) {}
  Kind kind;
  std::string bytes;          // a String's modified UTF-8
  std::vector<jbyte> array;   // a byte[]
  jobject portName = nullptr; // a port object's field
  bool hasPortName = false;   // a class declaring portName
};

JniHost::JniHost() {
  void** slots = reinterpret_cast<void**>(&table_);
  for (std::size_t i = 0; i < sizeof(table_) / sizeof(void*); ++i) {
    slots[i] = reinterpret_cast<void*>(&Unimplemented);
  }
  table_.FindClass = FindClass;
  table_.ThrowNew = ThrowNew;
  table_.ExceptionOccurred = ExceptionOccurred;
  table_.ExceptionClear = ExceptionClear;
  table_.ExceptionCheck = ExceptionCheck;
  table_.DeleteLocalRef = DeleteLocalRef;
  table_.GetObjectClass = GetObjectClass;
  table_.GetFieldID = GetFieldID;
  table_.GetObjectField = GetObjectField;
  table_.GetStringUTFLength = GetStringUTFLength;
  table_.GetStringUTFChars = GetStringUTFChars;
  table_.ReleaseStringUTFChars = ReleaseStringUTFChars;
  table_.GetArrayLength = GetArrayLength;
  table_.GetByteArrayElements = GetByteArrayElements;
  table_.ReleaseByteArrayElements = ReleaseByteArrayElements;
  // The interface's reserved0 slot points back at this host.
  table_.reserved0 = this;
  env_.functions = &table_;
}

JniHost::~JniHost() {
  for (Object* o : objects_) delete o;
}

JniHost* JniHost::Of(JNIEnv* env) {
  return static_cast<JniHost*>(env->functions->reserved0);
}

jobject JniHost::Add(Object* object) {
  objects_.push_back(object);
  return reinterpret_cast<jobject>(object);
}

JniHost::Object* JniHost::Get(jobject handle) const {
  return reinterpret_cast<Object*>(handle);
}

jstring JniHost::NewString(const std::string& bytes) {
  Object* o = new Object(Object::kString);
  o->bytes = bytes;
  return static_cast<jstring>(Add(o));
}

jbyteArray JniHost::NewByteArray(const std::vector<jbyte>& bytes) {
  Object* o = new Object(Object::kByteArray);
  o->array = bytes;
  return static_cast<jbyteArray>(Add(o));
}

std::vector<jbyte> JniHost::Bytes(jbyteArray array) const { return Get(array)->array; }

jobject JniHost::NewPort(jstring name) {
  Object* o = new Object(Object::kPort);
  o->portName = name;
  o->hasPortName = true;
  return Add(o);
}

jobject JniHost::NewObjectWithoutPortName() { return Add(new Object(Object::kPlainObject)); }

void JniHost::BeginCall() {
  hasPending_ = false;
  pending_.clear();
  borrowed_ = 0;
}

std::string JniHost::EndCall() {
  if (borrowed_ != 0) Misuse("a string or array still borrowed when the native call returned");
  return hasPending_ ? pending_ : std::string();
}

void JniHost::Misuse(const std::string& what) { misuse_ += what + "\n"; }

bool JniHost::CheckNoPending(const char* function) {
  if (!hasPending_) return true;
  Misuse(std::string(function) + " called with an exception pending");
  return false;
}

jclass JNICALL JniHost::FindClass(JNIEnv* env, const char* name) {
  JniHost* h = Of(env);
  h->CheckNoPending("FindClass");
  if (std::strcmp(name, kExceptionClass) != 0) {
    h->hasPending_ = true;
    h->pending_ = std::string("NoClassDefFoundError: ") + name;
    return nullptr;
  }
  return static_cast<jclass>(h->Add(new Object(Object::kClass)));
}

jint JNICALL JniHost::ThrowNew(JNIEnv* env, jclass, const char* message) {
  JniHost* h = Of(env);
  h->CheckNoPending("ThrowNew");
  h->hasPending_ = true;
  h->pending_ = message;
  return 0;
}

jthrowable JNICALL JniHost::ExceptionOccurred(JNIEnv* env) {
  JniHost* h = Of(env);
  return h->hasPending_ ? static_cast<jthrowable>(h->Add(new Object(Object::kThrowable))) : nullptr;
}

void JNICALL JniHost::ExceptionClear(JNIEnv* env) {
  JniHost* h = Of(env);
  h->hasPending_ = false;
  h->pending_.clear();
}

jboolean JNICALL JniHost::ExceptionCheck(JNIEnv* env) {
  return Of(env)->hasPending_ ? JNI_TRUE : JNI_FALSE;
}

void JNICALL JniHost::DeleteLocalRef(JNIEnv*, jobject) {}

jclass JNICALL JniHost::GetObjectClass(JNIEnv* env, jobject obj) {
  JniHost* h = Of(env);
  h->CheckNoPending("GetObjectClass");
  Object* cls = new Object(Object::kClass);
  cls->hasPortName = h->Get(obj)->hasPortName;
  return static_cast<jclass>(h->Add(cls));
}

jfieldID JNICALL JniHost::GetFieldID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
  JniHost* h = Of(env);
  h->CheckNoPending("GetFieldID");
  if (h->Get(cls)->hasPortName && std::strcmp(name, "portName") == 0 &&
      std::strcmp(sig, "Ljava/lang/String;") == 0) {
    return reinterpret_cast<jfieldID>(1);
  }
  h->hasPending_ = true;
  h->pending_ = std::string("NoSuchFieldError: ") + name;
  return nullptr;
}

jobject JNICALL JniHost::GetObjectField(JNIEnv* env, jobject obj, jfieldID) {
  JniHost* h = Of(env);
  h->CheckNoPending("GetObjectField");
  return h->Get(obj)->portName;
}

jsize JNICALL JniHost::GetStringUTFLength(JNIEnv* env, jstring str) {
  JniHost* h = Of(env);
  h->CheckNoPending("GetStringUTFLength");
  return static_cast<jsize>(h->Get(str)->bytes.size());
}

const char* JNICALL JniHost::GetStringUTFChars(JNIEnv* env, jstring str, jboolean* isCopy) {
  JniHost* h = Of(env);
  h->CheckNoPending("GetStringUTFChars");
  const std::string& bytes = h->Get(str)->bytes;
  char* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
  std::memcpy(copy, bytes.c_str(), bytes.size() + 1);
  if (isCopy != nullptr) *isCopy = JNI_TRUE;
  h->borrowed_++;
  return copy;
}

void JNICALL JniHost::ReleaseStringUTFChars(JNIEnv* env, jstring, const char* chars) {
  JniHost* h = Of(env);
  h->borrowed_--;
  std::free(const_cast<char*>(chars));
}

jsize JNICALL JniHost::GetArrayLength(JNIEnv* env, jarray array) {
  JniHost* h = Of(env);
  h->CheckNoPending("GetArrayLength");
  return static_cast<jsize>(h->Get(array)->array.size());
}

jbyte* JNICALL JniHost::GetByteArrayElements(JNIEnv* env, jbyteArray array, jboolean* isCopy) {
  JniHost* h = Of(env);
  h->CheckNoPending("GetByteArrayElements");
  const std::vector<jbyte>& bytes = h->Get(array)->array;
  jbyte* copy = static_cast<jbyte*>(std::malloc(bytes.size() + 1));
  if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
  if (isCopy != nullptr) *isCopy = JNI_TRUE;
  h->borrowed_++;
  return copy;
}

void JNICALL JniHost::ReleaseByteArrayElements(JNIEnv* env, jbyteArray array, jbyte* elems,
                                               jint mode) {
  JniHost* h = Of(env);
  std::vector<jbyte>& bytes = h->Get(array)->array;
  if (mode == 0 || mode == JNI_COMMIT) {
    if (!bytes.empty()) std::memcpy(bytes.data(), elems, bytes.size());
  }
  if (mode != JNI_COMMIT) {
    h->borrowed_--;
    std::free(elems);
  }
}

}  // namespace vela_host
