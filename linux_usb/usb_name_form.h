// The port names that pick one of several printers of the same identity,
// shared by the Linux and macOS USB libraries. No I/O here.
//
//   usb:serial=TEXT   the printer whose USB serial number is exactly TEXT
//   usb:port=PATH     the printer in that socket: the kernel's device name
//                     on Linux (1-1.4), the location ID on macOS (0x14200000)
//   anything else     the first printer no open port holds
#pragma once

#include <cstddef>
#include <cstdint>

namespace vela {

enum class UsbNameKind { kAny, kSerial, kPort };

struct UsbNameForm {
  UsbNameKind kind;
  const char* text;  // TEXT or PATH, inside the name; not terminated
  std::size_t length;
};

// The form of a name field: its bytes up to the first zero (or the whole
// field), which is how the port table stores the name.
UsbNameForm ParseUsbName(const char* field, std::size_t fieldSize);

// Whether `length` bytes at `bytes` are exactly the form's text.
bool UsbNameTextIs(const UsbNameForm& form, const char* bytes, std::size_t length);

// A macOS socket: "0x" and exactly 8 hex digits. False for anything else,
// which then names no printer.
bool ParseLocationId(const UsbNameForm& form, std::uint32_t* location);

// A USB string descriptor (bLength, type 3, UTF-16LE code units) as the
// modified UTF-8 a Java string of the same text gives, so that it compares
// bytewise with a port name. The length written, or -1 when the
// descriptor is malformed or the text does not fit `outSize`.
int StringDescriptorText(const unsigned char* descriptor, std::size_t size, char* out,
                         std::size_t outSize);

}  // namespace vela
