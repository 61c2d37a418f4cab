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
  std::string name;           // a class's name
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
  live_.insert(object);
  return reinterpret_cast<jobject>(object);
}

JniHost::Object* JniHost::Get(jobject handle) const {
  return reinterpret_cast<Object*>(handle);
}

JniHost::Object* JniHost::Checked(jobject handle, int kind, const char* function) {
  Object* o = Get(handle);
  if (o == nullptr) {
    Misuse(std::string(function) + " handed a null reference");
    return nullptr;
  }
  if (live_.count(o) == 0) {
    Misuse(std::string(function) + " handed a reference this host never made");
    return nullptr;
  }
  if (kind >= 0 && o->kind != kind) {
    Misuse(std::string(function) + " handed an object of the wrong kind");
    return nullptr;
  }
  return o;
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

void JniHost::SetPortName(jobject port, jstring name) { Get(port)->portName = name; }

void JniHost::DropSince(std::size_t mark) {
  while (objects_.size() > mark) {
    live_.erase(objects_.back());
    delete objects_.back();
    objects_.pop_back();
  }
}

void JniHost::BeginCall() {
  callMark_ = Mark();
  hasPending_ = false;
  pending_.clear();
  pendingClass_.clear();
  borrowed_ = 0;
}

std::string JniHost::EndCall() {
  if (borrowed_ != 0) Misuse("a string or array still borrowed when the native call returned");
  raisedClass_ = hasPending_ ? pendingClass_ : std::string();
  DropSince(callMark_);
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
  if (name == nullptr) {
    h->Misuse("FindClass handed a null name");
    return nullptr;
  }
  if (std::strcmp(name, kExceptionClass) != 0) {
    h->hasPending_ = true;
    h->pending_ = std::string("NoClassDefFoundError: ") + name;
    h->pendingClass_ = "java/lang/NoClassDefFoundError";
    return nullptr;
  }
  Object* cls = new Object(Object::kClass);
  cls->name = name;
  return static_cast<jclass>(h->Add(cls));
}

jint JNICALL JniHost::ThrowNew(JNIEnv* env, jclass cls, const char* message) {
  JniHost* h = Of(env);
  h->CheckNoPending("ThrowNew");
  Object* c = h->Checked(cls, Object::kClass, "ThrowNew");
  if (c == nullptr) return -1;
  if (message == nullptr) h->Misuse("ThrowNew handed a null message");
  h->hasPending_ = true;
  h->pending_ = message != nullptr ? message : "";
  h->pendingClass_ = c->name;
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
  Object* o = h->Checked(obj, -1, "GetObjectClass");
  if (o == nullptr) return nullptr;
  Object* cls = new Object(Object::kClass);
  cls->hasPortName = o->hasPortName;
  cls->name = o->hasPortName ? "com/kelvora/brevant/PortClass" : "java/lang/Object";
  return static_cast<jclass>(h->Add(cls));
}

jfieldID JNICALL JniHost::GetFieldID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
  JniHost* h = Of(env);
  h->CheckNoPending("GetFieldID");
  Object* c = h->Checked(cls, Object::kClass, "GetFieldID");
  if (c == nullptr || name == nullptr || sig == nullptr) return nullptr;
  if (c->hasPortName && std::strcmp(name, "portName") == 0 &&
      std::strcmp(sig, "Ljava/lang/String;") == 0) {
    return reinterpret_cast<jfieldID>(1);
  }
  h->hasPending_ = true;
  h->pending_ = std::string("NoSuchFieldError: ") + name;
  h->pendingClass_ = "java/lang/NoSuchFieldError";
  return nullptr;
}

jobject JNICALL JniHost::GetObjectField(JNIEnv* env, jobject obj, jfieldID field) {
  JniHost* h = Of(env);
  h->CheckNoPending("GetObjectField");
  Object* o = h->Checked(obj, Object::kPort, "GetObjectField");
  if (field == nullptr) h->Misuse("GetObjectField handed a null field");
  return o != nullptr && field != nullptr ? o->portName : nullptr;
}

jsize JNICALL JniHost::GetStringUTFLength(JNIEnv* env, jstring str) {
  JniHost* h = Of(env);
  h->CheckNoPending("GetStringUTFLength");
  Object* o = h->Checked(str, Object::kString, "GetStringUTFLength");
  return o != nullptr ? static_cast<jsize>(o->bytes.size()) : 0;
}

const char* JNICALL JniHost::GetStringUTFChars(JNIEnv* env, jstring str, jboolean* isCopy) {
  JniHost* h = Of(env);
  h->CheckNoPending("GetStringUTFChars");
  Object* o = h->Checked(str, Object::kString, "GetStringUTFChars");
  if (o == nullptr) return nullptr;
  const std::string& bytes = o->bytes;
  char* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
  std::memcpy(copy, bytes.c_str(), bytes.size() + 1);
  if (isCopy != nullptr) *isCopy = JNI_TRUE;
  h->borrowed_++;
  return copy;
}

void JNICALL JniHost::ReleaseStringUTFChars(JNIEnv* env, jstring, const char* chars) {
  JniHost* h = Of(env);
  if (chars == nullptr) {
    h->Misuse("ReleaseStringUTFChars handed null characters");
    return;
  }
  h->borrowed_--;
  std::free(const_cast<char*>(chars));
}

jsize JNICALL JniHost::GetArrayLength(JNIEnv* env, jarray array) {
  JniHost* h = Of(env);
  h->CheckNoPending("GetArrayLength");
  Object* o = h->Checked(array, Object::kByteArray, "GetArrayLength");
  return o != nullptr ? static_cast<jsize>(o->array.size()) : 0;
}

jbyte* JNICALL JniHost::GetByteArrayElements(JNIEnv* env, jbyteArray array, jboolean* isCopy) {
  JniHost* h = Of(env);
  h->CheckNoPending("GetByteArrayElements");
  Object* o = h->Checked(array, Object::kByteArray, "GetByteArrayElements");
  if (o == nullptr) return nullptr;
  const std::vector<jbyte>& bytes = o->array;
  jbyte* copy = static_cast<jbyte*>(std::malloc(bytes.size() + 1));
  if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
  if (isCopy != nullptr) *isCopy = JNI_TRUE;
  h->borrowed_++;
  return copy;
}

void JNICALL JniHost::ReleaseByteArrayElements(JNIEnv* env, jbyteArray array, jbyte* elems,
                                               jint mode) {
  JniHost* h = Of(env);
  Object* o = h->Checked(array, Object::kByteArray, "ReleaseByteArrayElements");
  if (o == nullptr || elems == nullptr) {
    if (elems == nullptr) h->Misuse("ReleaseByteArrayElements handed null elements");
    return;
  }
  std::vector<jbyte>& bytes = o->array;
  if (mode == 0 || mode == JNI_COMMIT) {
    if (!bytes.empty()) std::memcpy(bytes.data(), elems, bytes.size());
  }
  if (mode != JNI_COMMIT) {
    h->borrowed_--;
    std::free(elems);
  }
}

}  // namespace vela_host
