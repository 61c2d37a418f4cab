// JNI entry points of VelaCommPortWindowsParallel.dll: each one line of LPT
// work inside the shared lookup-work-raise shape.
#include <windows.h>

#include <jni.h>

#include "com_kelvora_brevant_VelaCommPortWindowsParallel.h"
#include "windows_library_lifetime.h"
#include "lpt_port.h"
#include "lpt_status.h"
#include "lpt_timeouts.h"
#include "lpt_transfer.h"

using namespace vela;
using Lib = LptLibrary;

VELA_WINDOWS_PORT_LIBRARY_LIFETIME(Lib, platformId)

namespace {
// A transfer waits for the line no longer than its own timeout, unsigned.
long long LineWait(jlong timeout) { return LowUnsigned(timeout); }
}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1openPort(
    JNIEnv* env, jobject, jstring portName, jstring) {
  OpenPortInFreeSlot<Lib>(env, portName, OpenLptDevice);
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1closePort(
    JNIEnv* env, jobject obj) {
  ClosePortOfObject<Lib>(env, obj);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1receiveData(
    JNIEnv* env, jobject obj, jbyteArray buffer, jint length, jlong timeout) {
  return OnExchange<Lib>(
      env, obj, timeout, LineWait(timeout),
      [&](LptPort* p, jlong left, const char** m) {
        return ReceiveLptData(env, p, buffer, length, left, m);
      },
      NothingMoved);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1sendData(
    JNIEnv* env, jobject obj, jbyteArray data, jint length, jlong timeout) {
  return OnExchange<Lib>(
      env, obj, timeout, LineWait(timeout),
      [&](LptPort* p, jlong left, const char** m) {
        return SendLptData(env, p, data, length, left, m);
      },
      NothingMoved);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1sendDataOffline(
    JNIEnv* env, jobject, jbyteArray, jint, jlong) {
  return Unsupported<jint>(env);
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1getENQStatus(
    JNIEnv* env, jobject obj, jlong) {
  return OnPort<Lib>(env, obj, LptEnq);
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1getEOTStatus(
    JNIEnv* env, jobject, jlong) {
  return Unsupported<jbyte>(env);
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1getOnlineStatus(
    JNIEnv* env, jobject obj, jlong) {
  return OnPort<Lib>(env, obj, LptOnline);
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1getPowerStatus(
    JNIEnv* env, jobject, jlong) {
  return Unsupported<jboolean>(env);
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1hdwrResetDevice(
    JNIEnv* env, jobject obj) {
  // The Init pulse is an exchange of its own: never inside a send's bytes.
  OnFreeLine<Lib>(env, obj, ResetLpt);
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1getCapReceiveData(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1getCapSendData(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1getCapSendDataOffline(JNIEnv*, jobject) { return JNI_FALSE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1getCapENQStatus(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1getCapEOTStatus(JNIEnv*, jobject) { return JNI_FALSE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1getCapOnlineStatus(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1getCapPowerStatus(JNIEnv*, jobject) { return JNI_FALSE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsParallel__1getCapHdwrResetDevice(JNIEnv*, jobject) { return JNI_TRUE; }

}  // extern "C"
