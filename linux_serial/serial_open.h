// Opening, configuring and closing serial devices.
#pragma once

#include "native_method.h"
#include "serial_messages.h"
#include "serial_port.h"

namespace vela {

// Reads the settings text into the record and parses it there; a text too
// long for the record reads as malformed.
bool ParseSettingsArg(JNIEnv* env, jstring text, SerialPort* record, const char** message);

// Opens the record's device, applies its settings and, on the device's first
// open in this library's life, sends the printer NUL CAN. On failure nothing
// stays open.
bool OpenSerialDevice(SerialPort* record, const char** message);

struct SerialLibrary : PortLibrary {
  using Record = SerialPort;
  static constexpr auto& table = serialPorts;
  static constexpr const LookupTexts& texts = kSerialLookupTexts;
  // Discards both queues and closes the descriptor.
  static void CloseDevice(SerialPort* port);
  // Wakes the calls waiting in poll() on the line, and discards the output
  // queue, which ends a drain a send is blocked in.
  static void CutShort(SerialPort* port);
  // Closes the descriptor without flushing.
  static void ReleaseAtUnload(SerialPort* port);
  static void AtLoad();
};

}  // namespace vela
