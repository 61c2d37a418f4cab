// A small stand-in for a Java VM's JNI, for testing the Windows DLLs where
// no Windows JVM can run: port objects with a `portName` field, strings as
// their modified UTF-8 bytes, byte arrays copied out and back on release,
// FindClass and ThrowNew for the one exception class. Like -Xcheck:jni it
// reports misuse: a call other than the exception and release functions
// while an exception is pending, a string or array still borrowed when the
// native call returns. A JNI function it does not implement stops the
// process. Test fixture, never shipped.
#pragma once

#include <windows.h>

#include <jni.h>

#include <string>
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

  // Before a native call: nothing pending, nothing borrowed.
  void BeginCall();
  // After it: the exception's message ("" when none), misuse noted.
  std::string EndCall();
  // Every misuse seen so far, one per line.
  const std::string& misuse() const { return misuse_; }

 private:
  struct Object;
  static JniHost* Of(JNIEnv* env);
  Object* Get(jobject handle) const;
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
  std::string pending_;
  bool hasPending_ = false;
  int borrowed_ = 0;
  std::string misuse_;
};

}  // namespace vela_host
