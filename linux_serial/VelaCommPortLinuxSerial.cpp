// JNI entry points of libVelaCommPortLinuxSerial: each one line of serial
// work inside the shared lookup-work-raise shape.
#include <jni.h>

#include "com_kelvora_brevant_VelaCommPortLinuxSerial.h"
#include "library_lifetime.h"
#include "serial_open.h"
#include "serial_status.h"
#include "serial_transfer.h"

using namespace vela;
using Lib = SerialLibrary;

namespace {
VELA_PORT_LIBRARY_LIFETIME(Lib)
constexpr unsigned char kEnq = 0x05;
constexpr unsigned char kEot = 0x04;
}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1openPort(
    JNIEnv* env, jobject, jstring portName, jstring portSettings) {
  OpenPortInFreeSlot<Lib>(
      env, portName,
      [&](SerialPort* r, const char** m) { return ParseSettingsArg(env, portSettings, r, m); },
      OpenSerialDevice);
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1closePort(
    JNIEnv* env, jobject obj) {
  ClosePortOfObject<Lib>(env, obj);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1receiveData(
    JNIEnv* env, jobject obj, jbyteArray buffer, jint length, jlong timeout) {
  return OnPort<Lib>(env, obj, [&](SerialPort* p, const char** m) {
    return ReceiveSerialData(env, p, buffer, length, timeout, m);
  });
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1sendData(
    JNIEnv* env, jobject obj, jbyteArray data, jint length, jlong timeout) {
  return OnPort<Lib>(env, obj, [&](SerialPort* p, const char** m) {
    return SendSerialData(env, p, data, length, timeout, SerialSendMode::kFlowControlled, m);
  });
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1sendDataOffline(
    JNIEnv* env, jobject obj, jbyteArray data, jint length, jlong timeout) {
  return OnPort<Lib>(env, obj, [&](SerialPort* p, const char** m) {
    return SendSerialData(env, p, data, length, timeout, SerialSendMode::kOffline, m);
  });
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getENQStatus(
    JNIEnv* env, jobject obj, jlong timeout) {
  return OnPort<Lib>(env, obj, [&](SerialPort* p, const char** m) {
    return QuerySerialStatus(p, kEnq, timeout, kEnqFailed, m);
  });
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getEOTStatus(
    JNIEnv* env, jobject obj, jlong timeout) {
  return OnPort<Lib>(env, obj, [&](SerialPort* p, const char** m) {
    return QuerySerialStatus(p, kEot, timeout, kEotFailed, m);
  });
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getOnlineStatus(
    JNIEnv* env, jobject obj, jlong) {
  return OnPort<Lib>(env, obj, SerialOnline);
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getPowerStatus(
    JNIEnv* env, jobject, jlong) {
  return Unsupported<jboolean>(env);
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1hdwrResetDevice(
    JNIEnv* env, jobject obj) {
  OnPort<Lib>(env, obj, PulseDtr);
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getCapReceiveData(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getCapSendData(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getCapSendDataOffline(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getCapENQStatus(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getCapEOTStatus(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getCapOnlineStatus(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getCapPowerStatus(JNIEnv*, jobject) { return JNI_FALSE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getCapHdwrResetDevice(JNIEnv*, jobject) { return JNI_TRUE; }

}  // extern "C"
