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
  return OnPort<Lib>(env, obj, [&](USBPort* p, const char** m) {
    return ReceiveMacUsbData(env, p, buffer, length, timeout, m);
  });
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortMacUSB__1sendData(
    JNIEnv* env, jobject obj, jbyteArray data, jint length, jlong timeout) {
  return OnPort<Lib>(env, obj, [&](USBPort* p, const char** m) {
    return SendMacUsbData(env, p, data, length, timeout, m);
  });
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
  OnPort<Lib>(env, obj, ResetMacUsb);
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
