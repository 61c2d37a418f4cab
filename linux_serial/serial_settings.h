// The settings text of a serial port ("9600,none,8,1,hdwr") and the record
// it is parsed into.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vela {

// A zero field means "keep what the device has"; a parse fills all five.
struct SerialPortSettings {
  std::int32_t baudRate;
  char parity;          // 'n', 'e', 'o'
  std::uint8_t dataBits;  // 7, 8
  std::uint8_t stopBits;  // 1, 2
  char flowControl;     // 'n', 'h' (DSR watched by us), 'x' (driver XON/XOFF)
};

// Holds the text while it is parsed, as the port record does.
inline constexpr std::size_t kSettingsTextSize = 100;

// Parses the zero-terminated text. On failure hands back the message of the
// first field that does not parse, or the form message for a missing comma.
bool ParseSerialSettings(const char* text, SerialPortSettings* out,
                         const char** message);

// How long one character lasts on the line: start bit, data bits, parity
// bit and stop bits at the baud rate, in nanoseconds. Fields the record
// leaves at zero count as 9600 baud, 8 data bits and 1 stop bit.
long SerialByteNanoseconds(const SerialPortSettings& settings);

}  // namespace vela
