// JNI entry points of libVelaCommPortLinuxSerial: look the port up, do the
// transport's work, raise at most one exception, return.
#include <jni.h>

#include "com_kelvora_brevant_VelaCommPortLinuxSerial.h"
#include "port_table.h"
#include "raise.h"
#include "serial_messages.h"
#include "serial_open.h"
#include "serial_status.h"
#include "serial_transfer.h"

using namespace vela;

namespace {

SerialPort* FindSerialPortFromObj(JNIEnv* env, jobject obj, const char** message) {
  return FindPortFromObj(env, obj, serialPorts, kSerialLookupTexts, message);
}

// Reads the settings text into the record's buffer and parses it there.
bool ParseSettingsArg(JNIEnv* env, jstring text, SerialPort* record,
                      const char** message) {
  if (!CopyNameIntoField(env, text, record->settingsText,
                         sizeof(record->settingsText), kSerialLookupTexts,
                         message)) {
    // Too long for the buffer reads as a malformed text, not a bad name.
    if (*message == kPortNameTooLong) *message = kSettingsForm;
    return false;
  }
  return ParseSerialSettings(record->settingsText, &record->settings, message);
}

__attribute__((constructor)) void SerialLibraryLoad() { ClearSerialTables(); }
__attribute__((destructor)) void SerialLibraryUnload() { CloseAllSerialPorts(); }

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1openPort(
    JNIEnv* env, jobject, jstring portName, jstring portSettings) {
  int slot = FindFreeSlot(serialPorts);
  if (slot < 0) return Raise(env, kTooManyPorts);
  SerialPort record = {};
  record.inUse = 1;
  const char* message = nullptr;
  if (!ParseSettingsArg(env, portSettings, &record, &message) ||
      !CopyNameIntoField(env, portName, record.name, sizeof(record.name),
                         kSerialLookupTexts, &message) ||
      !OpenSerialDevice(&record, &message)) {
    return Raise(env, message);
  }
  serialPorts[slot] = record;
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1closePort(
    JNIEnv* env, jobject obj) {
  const char* message = nullptr;
  SerialPort* port = FindSerialPortFromObj(env, obj, &message);
  if (port == nullptr) return Raise(env, message);
  CloseSerialPort(port);
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1receiveData(
    JNIEnv* env, jobject obj, jbyteArray buffer, jint length, jlong timeout) {
  const char* message = nullptr;
  SerialPort* port = FindSerialPortFromObj(env, obj, &message);
  jint n = port ? ReceiveSerialData(env, port, buffer, length, timeout, &message) : 0;
  if (message != nullptr) Raise(env, message);
  return n;
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1sendData(
    JNIEnv* env, jobject obj, jbyteArray data, jint length, jlong timeout) {
  const char* message = nullptr;
  SerialPort* port = FindSerialPortFromObj(env, obj, &message);
  jint n = port ? SendSerialData(env, port, data, length, timeout,
                                 SerialSendMode::kFlowControlled, &message)
                : 0;
  if (message != nullptr) Raise(env, message);
  return n;
}

JNIEXPORT jint JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1sendDataOffline(
    JNIEnv* env, jobject obj, jbyteArray data, jint length, jlong timeout) {
  const char* message = nullptr;
  SerialPort* port = FindSerialPortFromObj(env, obj, &message);
  jint n = port ? SendSerialData(env, port, data, length, timeout,
                                 SerialSendMode::kOffline, &message)
                : 0;
  if (message != nullptr) Raise(env, message);
  return n;
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getENQStatus(
    JNIEnv* env, jobject obj, jlong timeout) {
  const char* message = nullptr;
  SerialPort* port = FindSerialPortFromObj(env, obj, &message);
  jbyte reply = port ? QuerySerialStatus(port, 0x05, timeout, kEnqFailed, &message) : 0;
  if (message != nullptr) Raise(env, message);
  return reply;
}

JNIEXPORT jbyte JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getEOTStatus(
    JNIEnv* env, jobject obj, jlong timeout) {
  const char* message = nullptr;
  SerialPort* port = FindSerialPortFromObj(env, obj, &message);
  jbyte reply = port ? QuerySerialStatus(port, 0x04, timeout, kEotFailed, &message) : 0;
  if (message != nullptr) Raise(env, message);
  return reply;
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getOnlineStatus(
    JNIEnv* env, jobject obj, jlong) {
  const char* message = nullptr;
  SerialPort* port = FindSerialPortFromObj(env, obj, &message);
  bool online = port ? SerialOnline(port, &message) : false;
  if (message != nullptr) Raise(env, message);
  return online ? JNI_TRUE : JNI_FALSE;
}

JNIEXPORT jboolean JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1getPowerStatus(
    JNIEnv* env, jobject, jlong) {
  Raise(env, kUnsupportedOperation);
  return JNI_FALSE;
}

JNIEXPORT void JNICALL Java_com_kelvora_brevant_VelaCommPortLinuxSerial__1hdwrResetDevice(
    JNIEnv* env, jobject obj) {
  const char* message = nullptr;
  SerialPort* port = FindSerialPortFromObj(env, obj, &message);
  if (port == nullptr || !PulseDtr(port, &message)) Raise(env, message);
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
