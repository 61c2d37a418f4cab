// Status queries and reset of a serial printer.
#pragma once

#include <jni.h>

#include "serial_port.h"

namespace vela {

// Sends one control byte (ENQ or EOT) with flow control off and returns the
// printer's one-byte reply; `failure` is the text raised when none comes.
jbyte QuerySerialStatus(SerialPort* port, unsigned char request, jlong timeout,
                        const char* failure, const char** message);

// True while the printer holds DSR high.
bool SerialOnline(const SerialPort* port, const char** message);

// Drops DTR for 10 ms.
bool PulseDtr(const SerialPort* port, const char** message);

}  // namespace vela
