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

// Whether a serial number, in the UTF-8 the kernel writes it in, is the
// form's text. The name holds modified UTF-8 (a character beyond U+FFFF as
// two three-byte surrogates), so it is converted first; a name that holds
// U+0000 or a lone surrogate, which no kernel serial number holds, matches
// nothing.
bool UsbSerialIs(const UsbNameForm& form, const char* utf8, std::size_t length);

// A macOS socket: "0x" and exactly 8 hex digits. False for anything else,
// which then names no printer.
bool ParseLocationId(const UsbNameForm& form, std::uint32_t* location);

// A USB string descriptor (bLength, type 3, UTF-16LE code units) as the
// UTF-8 Linux shows it in sysfs: up to the first U+0000, a surrogate pair
// as one character, a lone surrogate left out. So a serial number reads
// the same, and a name matches it alike, on Linux and on macOS. The length
// written, or -1 when the descriptor is malformed or the text does not fit
// `outSize`.
int StringDescriptorText(const unsigned char* descriptor, std::size_t size, char* out,
                         std::size_t outSize);

}  // namespace vela
