// A small stand-in for a Java VM's JNI, for testing the Windows DLLs where
// no Windows JVM can run: port objects with a `portName` field, strings as
// their modified UTF-8 bytes, byte arrays copied out and back on release,
// FindClass and ThrowNew for the one exception class. Like -Xcheck:jni it
// reports misuse: a call other than the exception and release functions
// while an exception is pending, a string or array still borrowed when the
// native call returns, a null or foreign reference, or an object of the
// wrong kind, handed to a function that needs one (the call then answers
// as if empty rather than crash). A JNI function it does not implement stops the
// process. Test fixture, never shipped.
#pragma once

#include <windows.h>

#include <jni.h>

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

namespace vela_host {

class JniHost {
 public:
  JniHost();
  ~JniHost();
  JniHost(const JniHost&) = delete;
  JniHost& operator=(const JniHost&) = delete;
  JNIEnv* env() { return &env_; }

  jstring NewString(const std::string& bytes);
  jbyteArray NewByteArray(const std::vector<jbyte>& bytes);
  std::vector<jbyte> Bytes(jbyteArray array) const;
  // A port object whose portName field holds `name` (null: no String).
  jobject NewPort(jstring name);
  // A port object of a class without a portName field.
  jobject NewObjectWithoutPortName();
  // Sets a port object's portName field (null: no String).
  void SetPortName(jobject port, jstring name);

  // Objects made from now on can be dropped together, as a VM collects a
  // call's arguments once nothing refers to them.
  std::size_t Mark() const { return objects_.size(); }
  void DropSince(std::size_t mark);

  // Before a native call: nothing pending, nothing borrowed.
  void BeginCall();
  // After it: the exception's message ("" when none), misuse noted; the
  // local references the call made are gone.
  std::string EndCall();
  // The class of the exception the last call left, in JNI slash form.
  const std::string& raisedClass() const { return raisedClass_; }
  // Every misuse seen so far, one per line.
  const std::string& misuse() const { return misuse_; }

 private:
  struct Object;
  static JniHost* Of(JNIEnv* env);
  Object* Get(jobject handle) const;
  // The object behind a reference handed to `function`, or null (and a
  // misuse noted) when the reference is null, unknown or of another kind.
  Object* Checked(jobject handle, int kind, const char* function);
  jobject Add(Object* object);
  void Misuse(const std::string& what);
  bool CheckNoPending(const char* function);

  static jclass JNICALL FindClass(JNIEnv* env, const char* name);
  static jint JNICALL ThrowNew(JNIEnv* env, jclass cls, const char* message);
  static jthrowable JNICALL ExceptionOccurred(JNIEnv* env);
  static void JNICALL ExceptionClear(JNIEnv* env);
  static jboolean JNICALL ExceptionCheck(JNIEnv* env);
  static void JNICALL DeleteLocalRef(JNIEnv* env, jobject ref);
  static jclass JNICALL GetObjectClass(JNIEnv* env, jobject obj);
  static jfieldID JNICALL GetFieldID(JNIEnv* env, jclass cls, const char* name, const char* sig);
  static jobject JNICALL GetObjectField(JNIEnv* env, jobject obj, jfieldID field);
  static jsize JNICALL GetStringUTFLength(JNIEnv* env, jstring str);
  static const char* JNICALL GetStringUTFChars(JNIEnv* env, jstring str, jboolean* isCopy);
  static void JNICALL ReleaseStringUTFChars(JNIEnv* env, jstring str, const char* chars);
  static jsize JNICALL GetArrayLength(JNIEnv* env, jarray array);
  static jbyte* JNICALL GetByteArrayElements(JNIEnv* env, jbyteArray array, jboolean* isCopy);
  static void JNICALL ReleaseByteArrayElements(JNIEnv* env, jbyteArray array, jbyte* elems,
                                               jint mode);

  JNINativeInterface_ table_;
  JNIEnv env_;
  std::vector<Object*> objects_;
  std::unordered_set<const Object*> live_;
  std::size_t callMark_ = 0;
  std::string pending_;
  std::string pendingClass_, raisedClass_;
  bool hasPending_ = false;
  int borrowed_ = 0;
  std::string misuse_;
};

}  // namespace vela_host
