// JNI entry points of VelaCommPortWindowsUSB.dll: each one line of driver
// work inside the shared lookup-work-raise shape.
#include <windows.h>

#include <jni.h>

#include "com_kelvora_brevant_VelaCommPortWindowsUSB.h"
#include "usb_port.h"
#include "usb_status.h"
#include "usb_transfer.h"
#include "windows_library_lifetime.h"

using namespace vela;
using Lib = WindowsUsbLibrary;

VELA_WINDOWS_PORT_LIBRARY_LIFETIME(Lib, platformId)

extern "C" {

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1openPort(
    JNIEnv* env, jobject, jstring portName, jstring) {
  OpenPortInClaimedSlot<Lib>(env, portName, OpenUsbDevice);
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1closePort(
    JNIEnv* env, jobject obj) {
  ClosePortOfObject<Lib>(env, obj);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1receiveData(
    JNIEnv* env, jobject obj, jbyteArray buffer, jint length, jlong) {
  return OnFreeLine<Lib>(env, obj, [&](WindowsUSBPort* p, const char** m) {
    return ReceiveUsbData(env, p, buffer, length, m);
  });
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1sendData(
    JNIEnv* env, jobject obj, jbyteArray data, jint length, jlong) {
  return OnFreeLine<Lib>(env, obj, [&](WindowsUSBPort* p, const char** m) {
    return SendUsbData(env, p, data, length, m);
  });
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1sendDataOffline(
    JNIEnv* env, jobject, jbyteArray, jint, jlong) {
  return Unsupported<jint>(env);
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1getENQStatus(
    JNIEnv* env, jobject obj, jlong) {
  return OnPort<Lib>(env, obj, UsbEnq);
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1getEOTStatus(
    JNIEnv* env, jobject, jlong) {
  return Unsupported<jbyte>(env);
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1getOnlineStatus(
    JNIEnv* env, jobject obj, jlong) {
  return OnPort<Lib>(env, obj, UsbOnline);
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1getPowerStatus(
    JNIEnv* env, jobject obj, jlong) {
  return OnPort<Lib>(env, obj, UsbPower);
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1hdwrResetDevice(
    JNIEnv* env, jobject obj) {
  // Status travels apart from the data; a reset waits for the transfer.
  OnFreeLine<Lib>(env, obj, ResetUsb);
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1getCapReceiveData(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1getCapSendData(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1getCapENQStatus(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1getCapEOTStatus(JNIEnv*, jobject) { return JNI_FALSE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1getCapOnlineStatus(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1getCapPowerStatus(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1getCapHdwrResetDevice(JNIEnv*, jobject) { return JNI_TRUE; }
JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortWindowsUSB__1getCapRecoverPrinter(JNIEnv*, jobject) { return JNI_FALSE; }

}  // extern "C"
