// Applying a settings record to the device through termios.
#pragma once

#include "serial_port.h"

namespace vela {

// Edits only the flags the settings name; with `save`, the record becomes
// the port's own configuration. Never raises.
bool ConfigureSerialPort(SerialPort* port, bool save,
                         const SerialPortSettings* settings,
                         const char** message);

// Puts the port's own configuration back after a temporary one.
bool RestorePortSettings(SerialPort* port, const char** message);

}  // namespace vela
