// JNI entry points of libVelaCommPortLinuxParallel: each one line of ppdev
// work inside the shared lookup-work-raise shape.
#include <jni.h>

#include "com_kelvora_brevant_VelaCommPortLinuxParallel.h"
#include "library_lifetime.h"
#include "parallel_port.h"
#include "parallel_status.h"
#include "parallel_transfer.h"
#include "timeout.h"

using namespace vela;
using Lib = ParallelLibrary;

namespace {
VELA_PORT_LIBRARY_LIFETIME(Lib)
}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1openPort(
    JNIEnv* env, jobject, jstring portName, jstring) {
  OpenPortInFreeSlot<Lib>(env, portName, OpenParallelDevice);
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1closePort(
    JNIEnv* env, jobject obj) {
  ClosePortOfObject<Lib>(env, obj);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1receiveData(
    JNIEnv* env, jobject obj, jbyteArray buffer, jint length, jlong timeout) {
  return OnExchange<Lib>(
      env, obj, timeout, LineWaitOf(timeout),
      [&](ParallelPort* p, jlong left, const char** m) {
        return ReceiveParallelData(env, p, buffer, length, left, m);
      },
      NothingMoved);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1sendData(
    JNIEnv* env, jobject obj, jbyteArray data, jint length, jlong timeout) {
  return OnExchange<Lib>(
      env, obj, timeout, LineWaitOf(timeout),
      [&](ParallelPort* p, jlong left, const char** m) {
        return SendParallelData(env, p, data, length, left, m);
      },
      NothingMoved);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1sendDataOffline(
    JNIEnv* env, jobject, jbyteArray, jint, jlong) {
  return Unsupported<jint>(env);
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getENQStatus(
    JNIEnv* env, jobject obj, jlong) {
  return OnPort<Lib>(env, obj, [](ParallelPort* p, const char** m) {
    return EnqAnswer(ReadStatusLines(p, m));
  });
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getEOTStatus(
    JNIEnv* env, jobject, jlong) {
  return Unsupported<jbyte>(env);
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getOnlineStatus(
    JNIEnv* env, jobject obj, jlong) {
  return OnPort<Lib>(env, obj, [](ParallelPort* p, const char** m) {
    return OnlineAnswer(ReadStatusLines(p, m));
  });
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1getPowerStatus(
    JNIEnv* env, jobject, jlong) {
  return Unsupported<jboolean>(env);
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxParallel__1hdwrResetDevice(
    JNIEnv* env, jobject obj) {
  OnFreeLine<Lib>(env, obj, PulseInit);
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
