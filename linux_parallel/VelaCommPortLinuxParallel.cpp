// JNI entry points of libVelaCommPortLinuxParallel: look the port up, do the
// transport's work, raise at most one exception, return.
#include <jni.h>

#include "com_kelvora_brevant_VelaCommPortLinuxParallel.h"
#include "parallel_messages.h"
#include "parallel_port.h"
#include "parallel_status.h"
#include "parallel_transfer.h"
#include "port_table.h"
#include "printer_status.h"
#include "raise.h"

using namespace vela;

namespace {

ParallelPort* FindParallelPortFromObj(JNIEnv* env, jobject obj, const char** message) {
  return FindPortFromObj(env, obj, parallelPorts, kParallelLookupTexts, message);
}

// The status lines of the object's port; raises when it has none to read.
bool StatusOfPort(JNIEnv* env, jobject obj, std::uint8_t* status) {
  const char* message = nullptr;
  ParallelPort* port = FindParallelPortFromObj(env, obj, &message);
  if (port == nullptr || !ReadStatusLines(port, status, &message)) {
    Raise(env, message);
    return false;
  }
  return true;
}

__attribute__((constructor)) void ParallelLibraryLoad() { ClearParallelTable(); }
__attribute__((destructor)) void ParallelLibraryUnload() { CloseAllParallelPorts(); }

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1openPort(
    JNIEnv* env, jobject, jstring portName, jstring) {
  int slot = FindFreeSlot(parallelPorts);
  if (slot < 0) return Raise(env, kTooManyPorts);
  ParallelPort record = {};
  record.inUse = 1;
  const char* message = nullptr;
  if (!CopyNameIntoField(env, portName, record.name, sizeof(record.name),
                         kParallelLookupTexts, &message) ||
      !OpenParallelDevice(&record, &message)) {
    return Raise(env, message);
  }
  parallelPorts[slot] = record;
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1closePort(
    JNIEnv* env, jobject obj) {
  const char* message = nullptr;
  ParallelPort* port = FindParallelPortFromObj(env, obj, &message);
  if (port == nullptr) return Raise(env, message);
  CloseParallelPort(port);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1receiveData(
    JNIEnv* env, jobject obj, jbyteArray buffer, jint length, jlong timeout) {
  const char* message = nullptr;
  ParallelPort* port = FindParallelPortFromObj(env, obj, &message);
  jint n = port ? ReceiveParallelData(env, port, buffer, length, timeout, &message) : 0;
  if (message != nullptr) Raise(env, message);
  return n;
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1sendData(
    JNIEnv* env, jobject obj, jbyteArray data, jint length, jlong timeout) {
  const char* message = nullptr;
  ParallelPort* port = FindParallelPortFromObj(env, obj, &message);
  jint n = port ? SendParallelData(env, port, data, length, timeout, &message) : 0;
  if (message != nullptr) Raise(env, message);
  return n;
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1sendDataOffline(
    JNIEnv* env, jobject, jbyteArray, jint, jlong) {
  Raise(env, kUnsupportedOperation);
  return 0;
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getENQStatus(
    JNIEnv* env, jobject obj, jlong) {
  std::uint8_t status = 0;
  return StatusOfPort(env, obj, &status) ? static_cast<jbyte>(EnqFromStatus(status)) : 0;
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getEOTStatus(
    JNIEnv* env, jobject, jlong) {
  Raise(env, kUnsupportedOperation);
  return 0;
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getOnlineStatus(
    JNIEnv* env, jobject obj, jlong) {
  std::uint8_t status = 0;
  return StatusOfPort(env, obj, &status) && OnlineFromStatus(status) ? JNI_TRUE : JNI_FALSE;
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getPowerStatus(
    JNIEnv* env, jobject, jlong) {
  Raise(env, kUnsupportedOperation);
  return JNI_FALSE;
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1hdwrResetDevice(
    JNIEnv* env, jobject obj) {
  const char* message = nullptr;
  ParallelPort* port = FindParallelPortFromObj(env, obj, &message);
  if (port == nullptr || !PulseInit(port, &message)) Raise(env, message);
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getCapReceiveData(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getCapSendData(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getCapSendDataOffline(JNIEnv*, jobject) { return JNI_FALSE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getCapENQStatus(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getCapEOTStatus(JNIEnv*, jobject) { return JNI_FALSE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getCapOnlineStatus(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getCapPowerStatus(JNIEnv*, jobject) { return JNI_FALSE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getCapHdwrResetDevice(JNIEnv*, jobject) { return JNI_TRUE; }

}  // extern "C"
