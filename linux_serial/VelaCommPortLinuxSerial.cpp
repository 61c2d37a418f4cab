// JNI entry points of libVelaCommPortLinuxSerial: each one line of serial
// work inside the shared lookup-work-raise shape.
#include <jni.h>

#include "com_kelvora_brevant_VelaCommPortLinuxSerial.h"
#include "library_lifetime.h"
#include "serial_open.h"
#include "serial_status.h"
#include "serial_messages.h"
#include "serial_transfer.h"
#include "timeout.h"

using namespace vela;
using Lib = SerialLibrary;

namespace {
VELA_PORT_LIBRARY_LIFETIME(Lib)
constexpr unsigned char kEnq = 0x05;
constexpr unsigned char kEot = 0x04;

// A receive that never had the line ends as one that timed out.
jint NoReply(const char** m) {
  *m = kReadLengthNotAvailable;
  return 0;
}

// The ENQ or EOT query: one byte out, the printer's one-byte reply back,
// with the line to itself.
jbyte Query(JNIEnv* env, jobject obj, jlong timeout, unsigned char request, const char* failure) {
  return OnExchange<Lib>(
      env, obj, timeout, LineWaitOf(timeout),
      [&](SerialPort* p, jlong left, const char** m) {
        return QuerySerialStatus(p, request, left, failure, m);
      },
      [&](const char** m) {
        *m = failure;
        return jbyte{0};
      });
}
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
  return OnExchange<Lib>(
      env, obj, timeout, LineWaitOf(timeout),
      [&](SerialPort* p, jlong left, const char** m) {
        return ReceiveSerialData(env, p, buffer, length, left, m);
      },
      NoReply);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1sendData(
    JNIEnv* env, jobject obj, jbyteArray data, jint length, jlong timeout) {
  return OnExchange<Lib>(
      env, obj, timeout, LineWaitOf(timeout),
      [&](SerialPort* p, jlong left, const char** m) {
        return SendSerialData(env, p, data, length, left, SerialSendMode::kFlowControlled, m);
      },
      NothingMoved);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1sendDataOffline(
    JNIEnv* env, jobject obj, jbyteArray data, jint length, jlong timeout) {
  return OnExchange<Lib>(
      env, obj, timeout, LineWaitOf(timeout),
      [&](SerialPort* p, jlong left, const char** m) {
        return SendSerialData(env, p, data, length, left, SerialSendMode::kOffline, m);
      },
      NothingMoved);
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getENQStatus(
    JNIEnv* env, jobject obj, jlong timeout) {
  return Query(env, obj, timeout, kEnq, kEnqFailed);
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getEOTStatus(
    JNIEnv* env, jobject obj, jlong timeout) {
  return Query(env, obj, timeout, kEot, kEotFailed);
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
  OnFreeLine<Lib>(env, obj, PulseDtr);
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
