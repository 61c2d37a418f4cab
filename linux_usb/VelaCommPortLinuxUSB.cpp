// JNI entry points of libVelaCommPortLinuxUSB: look the port up, do the
// transport's work, raise at most one exception, return.
#include <jni.h>

#include "com_kelvora_brevant_VelaCommPortLinuxUSB.h"
#include "port_table.h"
#include "raise.h"
#include "usb_messages.h"
#include "usb_port.h"
#include "usb_protocol.h"
#include "usb_transfer.h"

using namespace vela;

namespace {

USBPort* FindUSBPortFromObj(JNIEnv* env, jobject obj, const char** message) {
  return FindPortFromObj(env, obj, usbPorts, kUsbLookupTexts, message);
}

// The printer's status byte; raises `failure` (or the lookup's or the
// device-gone text) when it cannot be read.
bool StatusOfPort(JNIEnv* env, jobject obj, jlong timeout, const char* failure,
                  std::uint8_t* status) {
  const char* message = nullptr;
  USBPort* port = FindUSBPortFromObj(env, obj, &message);
  if (port == nullptr || !ReadUsbStatus(port, timeout, failure, status, &message)) {
    Raise(env, message);
    return false;
  }
  return true;
}

__attribute__((constructor)) void UsbLibraryLoad() { ClearUsbTable(); }
__attribute__((destructor)) void UsbLibraryUnload() { CloseAllUsbPorts(); }

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1openPort(
    JNIEnv* env, jobject, jstring portName, jstring) {
  int slot = FindFreeSlot(usbPorts);
  if (slot < 0) return Raise(env, kTooManyPorts);
  USBPort record = {};
  record.inUse = 1;
  const char* message = nullptr;
  if (!CopyNameIntoField(env, portName, record.name, sizeof(record.name),
                         kUsbLookupTexts, &message) ||
      !OpenUsbPrinter(&record, &message)) {
    return Raise(env, message);
  }
  usbPorts[slot] = record;
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1closePort(
    JNIEnv* env, jobject obj) {
  const char* message = nullptr;
  USBPort* port = FindUSBPortFromObj(env, obj, &message);
  if (port == nullptr) return Raise(env, message);
  CloseUsbPort(port);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1receiveData(
    JNIEnv* env, jobject obj, jbyteArray buffer, jint length, jlong timeout) {
  const char* message = nullptr;
  USBPort* port = FindUSBPortFromObj(env, obj, &message);
  jint n = port ? ReceiveUsbData(env, port, buffer, length, timeout, &message) : 0;
  if (message != nullptr) Raise(env, message);
  return n;
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1sendData(
    JNIEnv* env, jobject obj, jbyteArray data, jint length, jlong timeout) {
  const char* message = nullptr;
  USBPort* port = FindUSBPortFromObj(env, obj, &message);
  jint n = port ? SendUsbData(env, port, data, length, timeout, &message) : 0;
  if (message != nullptr) Raise(env, message);
  return n;
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1sendDataOffline(
    JNIEnv* env, jobject, jbyteArray, jint, jlong) {
  Raise(env, kUnsupportedOperation);
  return 0;
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getENQStatus(
    JNIEnv* env, jobject obj, jlong timeout) {
  std::uint8_t status = 0;
  return StatusOfPort(env, obj, timeout, kControlFailed, &status)
             ? static_cast<jbyte>(EnqFromStatus(status))
             : 0;
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getEOTStatus(
    JNIEnv* env, jobject, jlong) {
  Raise(env, kUnsupportedOperation);
  return 0;
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getOnlineStatus(
    JNIEnv* env, jobject obj, jlong timeout) {
  std::uint8_t status = 0;
  return StatusOfPort(env, obj, timeout, kOnlineControlFailed, &status) && OnlineFromStatus(status)
             ? JNI_TRUE
             : JNI_FALSE;
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1getPowerStatus(
    JNIEnv* env, jobject, jlong) {
  Raise(env, kUnsupportedOperation);
  return JNI_FALSE;
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxUSB__1hdwrResetDevice(
    JNIEnv* env, jobject obj) {
  const char* message = nullptr;
  USBPort* port = FindUSBPortFromObj(env, obj, &message);
  if (port == nullptr || !ResetUsbPrinter(port, &message)) Raise(env, message);
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
