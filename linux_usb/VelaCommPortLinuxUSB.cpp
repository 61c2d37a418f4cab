// JNI entry points of libVelaCommPortLinuxUSB: each one line of libusb work
// inside the shared lookup-work-raise shape.
#include <jni.h>

#include "com_kelvora_brevant_VelaCommPortLinuxUSB.h"
#include "library_lifetime.h"
#include "usb_port.h"
#include "timeout.h"
#include "usb_messages.h"
#include "usb_transfer.h"

using namespace vela;
using Lib = UsbLibrary;

namespace {
VELA_PORT_LIBRARY_LIFETIME(Lib)

// A receive that never had the line ends as a timed-out one does.
jint ReadTimedOut(const char** m) {
  *m = kBulkReadFailed;
  return 0;
}
}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1openPort(
    JNIEnv* env, jobject, jstring portName, jstring) {
  OpenPortInFreeSlot<Lib>(env, portName, OpenUsbPrinter);
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1closePort(
    JNIEnv* env, jobject obj) {
  ClosePortOfObject<Lib>(env, obj);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1receiveData(
    JNIEnv* env, jobject obj, jbyteArray buffer, jint length, jlong timeout) {
  return OnExchange<Lib>(
      env, obj, timeout, LineWaitOf(timeout),
      [&](USBPort* p, jlong left, const char** m) {
        return ReceiveUsbData(env, p, buffer, length, left, m);
      },
      ReadTimedOut);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1sendData(
    JNIEnv* env, jobject obj, jbyteArray data, jint length, jlong timeout) {
  return OnExchange<Lib>(
      env, obj, timeout, LineWaitOf(timeout),
      [&](USBPort* p, jlong left, const char** m) {
        return SendUsbData(env, p, data, length, left, m);
      },
      NothingMoved);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1sendDataOffline(
    JNIEnv* env, jobject, jbyteArray, jint, jlong) {
  return Unsupported<jint>(env);
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getENQStatus(
    JNIEnv* env, jobject obj, jlong timeout) {
  return OnPort<Lib>(env, obj, [&](USBPort* p, const char** m) {
    return EnqAnswer(ReadUsbStatus(p, timeout, kControlFailed, m));
  });
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getEOTStatus(
    JNIEnv* env, jobject, jlong) {
  return Unsupported<jbyte>(env);
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getOnlineStatus(
    JNIEnv* env, jobject obj, jlong timeout) {
  return OnPort<Lib>(env, obj, [&](USBPort* p, const char** m) {
    return OnlineAnswer(ReadUsbStatus(p, timeout, kOnlineControlFailed, m));
  });
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getPowerStatus(
    JNIEnv* env, jobject, jlong) {
  return Unsupported<jboolean>(env);
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1hdwrResetDevice(
    JNIEnv* env, jobject obj) {
  OnFreeLine<Lib>(env, obj, ResetUsbPrinter);
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getCapReceiveData(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getCapSendData(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getCapSendDataOffline(JNIEnv*, jobject) { return JNI_FALSE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getCapENQStatus(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getCapEOTStatus(JNIEnv*, jobject) { return JNI_FALSE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getCapOnlineStatus(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getCapPowerStatus(JNIEnv*, jobject) { return JNI_FALSE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getCapHdwrResetDevice(JNIEnv*, jobject) { return JNI_TRUE; }

}  // extern "C"
