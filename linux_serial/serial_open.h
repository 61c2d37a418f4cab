// Opening, configuring and closing serial devices.
#pragma once

#include "serial_port.h"

namespace vela {

// Opens the record's device, applies its settings and, on the device's first
// open in this library's life, sends the printer NUL CAN. On failure nothing
// stays open.
bool OpenSerialDevice(SerialPort* record, const char** message);

// Discards both queues, closes the descriptor and frees the slot.
void CloseSerialPort(SerialPort* port);

// Load and unload handling of the table.
void ClearSerialTables();
void CloseAllSerialPorts();

}  // namespace vela
