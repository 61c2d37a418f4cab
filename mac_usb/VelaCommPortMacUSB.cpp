// JNI entry points of the macOS USB library: each one line of IOKit work
// inside the shared lookup-work-raise shape. The library keeps one port
// and has no load or unload handling: its table starts zeroed.
#include <jni.h>

#include "com_kelvora_brevant_VelaCommPortMacUSB.h"
#include "mac_usb_port.h"
#include "mac_usb_status.h"
#include "mac_usb_transfer.h"

using namespace vela;
using Lib = MacUsbLibrary;

namespace {

// A transfer waits for the exchange under way on its line as long as IOKit
// would wait for the transfer itself: the low 32 bits of its timeout, and
// without limit for 0, which IOKit takes as no completion timeout.
long long LineWaitOfIOKit(jlong timeout) {
  const UInt32 ms = CompletionTimeout(timeout);
  return ms == 0 ? kUntilLineFree : static_cast<long long>(ms);
}

// A transfer that never had the line ends as a timed-out one does.
jint ReadTimedOut(const char** m) {
  *m = kReadPipeFailed;
  return 0;
}
jint WriteTimedOut(const char** m) {
  *m = kWritePipeFailed;
  return 0;
}

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1openPort(
    JNIEnv* env, jobject, jstring portName, jstring) {
  OpenPortInFreeSlot<Lib>(env, portName, OpenMacUsbDevice);
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1closePort(JNIEnv* env,
                                                                               jobject obj) {
  ClosePortOfObject<Lib>(env, obj);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1receiveData(
    JNIEnv* env, jobject obj, jbyteArray buffer, jint length, jlong timeout) {
  return OnExchange<Lib>(
      env, obj, timeout, LineWaitOfIOKit(timeout),
      [&](USBPort* p, jlong left, const char** m) {
        return ReceiveMacUsbData(env, p, buffer, length, left, m);
      },
      ReadTimedOut);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1sendData(
    JNIEnv* env, jobject obj, jbyteArray data, jint length, jlong timeout) {
  return OnExchange<Lib>(
      env, obj, timeout, LineWaitOfIOKit(timeout),
      [&](USBPort* p, jlong left, const char** m) {
        return SendMacUsbData(env, p, data, length, left, m);
      },
      WriteTimedOut);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1sendDataOffline(
    JNIEnv* env, jobject, jbyteArray, jint, jlong) {
  return Unsupported<jint>(env);
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1getENQStatus(
    JNIEnv* env, jobject obj, jlong timeout) {
  return OnPort<Lib>(env, obj, [&](USBPort* p, const char** m) { return MacUsbEnq(p, timeout, m); });
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1getEOTStatus(JNIEnv* env,
                                                                                  jobject, jlong) {
  return Unsupported<jbyte>(env);
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1getOnlineStatus(
    JNIEnv* env, jobject obj, jlong timeout) {
  return OnPort<Lib>(env, obj,
                     [&](USBPort* p, const char** m) { return MacUsbOnline(p, timeout, m); });
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1getPowerStatus(
    JNIEnv* env, jobject, jlong) {
  return Unsupported<jboolean>(env);
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1hdwrResetDevice(JNIEnv* env,
                                                                                    jobject obj) {
  OnFreeLine<Lib>(env, obj, ResetMacUsb);
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1getCapReceiveData(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1getCapSendData(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1getCapSendDataOffline(JNIEnv*, jobject) { return JNI_FALSE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1getCapENQStatus(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1getCapEOTStatus(JNIEnv*, jobject) { return JNI_FALSE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1getCapOnlineStatus(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1getCapPowerStatus(JNIEnv*, jobject) { return JNI_FALSE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1getCapHdwrResetDevice(JNIEnv*, jobject) { return JNI_TRUE; }

}  // extern "C"
