#include "usb_name_form.h"

#include <cstdint>
#include <cstring>

namespace vela {
namespace {

constexpr char kSerialPrefix[] = "usb:serial=";
constexpr char kPortPrefix[] = "usb:port=";

bool StartsWith(const char* bytes, std::size_t length, const char* prefix, std::size_t prefixLength) {
  return length >= prefixLength && std::memcmp(bytes, prefix, prefixLength) == 0;
}

bool IsHighSurrogate(int unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(int unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

std::uint32_t Combined(int high, int low) {
  return 0x10000u + ((static_cast<std::uint32_t>(high) - 0xD800u) << 10) +
         (static_cast<std::uint32_t>(low) - 0xDC00u);
}

// The next UTF-16 unit of modified UTF-8 (one to three bytes a unit), or
// -1 for bytes that are not modified UTF-8.
int NextModifiedUnit(const unsigned char* in, std::size_t length, std::size_t* i) {
  unsigned b = in[*i];
  std::size_t more = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : 3;
  if (more == 3 || *i + more >= length) return -1;
  unsigned unit = more == 0 ? b : b & (more == 1 ? 0x1Fu : 0x0Fu);
  for (std::size_t k = 1; k <= more; ++k) {
    unsigned c = in[*i + k];
    if ((c & 0xC0) != 0x80) return -1;
    unit = (unit << 6) | (c & 0x3F);
  }
  *i += more + 1;
  return static_cast<int>(unit);
}

// One character as standard UTF-8 at out[*n]; false when it does not fit.
bool PutUtf8(std::uint32_t c, char* out, std::size_t outSize, std::size_t* n) {
  unsigned char bytes[4];
  std::size_t count;
  if (c < 0x80) {
    bytes[0] = static_cast<unsigned char>(c);
    count = 1;
  } else if (c < 0x800) {
    bytes[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
    bytes[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    count = 2;
  } else if (c < 0x10000) {
    bytes[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
    bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    bytes[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    count = 3;
  } else {
    bytes[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
    bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
    bytes[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    bytes[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    count = 4;
  }
  if (*n + count > outSize) return false;
  std::memcpy(out + *n, bytes, count);
  *n += count;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

UsbNameForm ParseUsbName(const char* field, std::size_t fieldSize) {
  std::size_t length = 0;
  while (length < fieldSize && field[length] != '\0') ++length;
  const std::size_t serial = sizeof(kSerialPrefix) - 1, port = sizeof(kPortPrefix) - 1;
  if (StartsWith(field, length, kSerialPrefix, serial)) {
    return {UsbNameKind::kSerial, field + serial, length - serial};
  }
  if (StartsWith(field, length, kPortPrefix, port)) {
    return {UsbNameKind::kPort, field + port, length - port};
  }
  return {UsbNameKind::kAny, field, length};
}

bool UsbNameTextIs(const UsbNameForm& form, const char* bytes, std::size_t length) {
  return length == form.length && std::memcmp(bytes, form.text, length) == 0;
}

bool ParseLocationId(const UsbNameForm& form, std::uint32_t* location) {
  if (form.kind != UsbNameKind::kPort || form.length != 10 || form.text[0] != '0' ||
      form.text[1] != 'x') {
    return false;
  }
  std::uint32_t value = 0;
  for (std::size_t i = 2; i < 10; ++i) {
    int digit = HexDigit(form.text[i]);
    if (digit < 0) return false;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  *location = value;
  return true;
}

bool UsbSerialIs(const UsbNameForm& form, const char* utf8, std::size_t length) {
  // Standard UTF-8 is never longer than modified UTF-8 of the same text,
  // and a name is shorter than its 100-byte field.
  char text[256];
  if (form.length > sizeof(text)) return false;
  std::size_t n = 0, i = 0;
  const auto* in = reinterpret_cast<const unsigned char*>(form.text);
  while (i < form.length) {
    int unit = NextModifiedUnit(in, form.length, &i);
    if (unit <= 0 || IsLowSurrogate(unit)) return false;
    std::uint32_t c = static_cast<std::uint32_t>(unit);
    if (IsHighSurrogate(unit)) {
      int low = i < form.length ? NextModifiedUnit(in, form.length, &i) : -1;
      if (!IsLowSurrogate(low)) return false;
      c = Combined(unit, low);
    }
    if (!PutUtf8(c, text, sizeof(text), &n)) return false;
  }
  return n == length && std::memcmp(text, utf8, length) == 0;
}

int StringDescriptorText(const unsigned char* descriptor, std::size_t size, char* out,
                         std::size_t outSize) {
  if (size < 2 || descriptor[1] != 3 || descriptor[0] < 2 || descriptor[0] > size) return -1;
  std::size_t units = (descriptor[0] - 2u) / 2u, n = 0;
  auto unitAt = [&](std::size_t u) {
    return static_cast<int>(descriptor[2 + 2 * u] | (descriptor[3 + 2 * u] << 8));
  };
  // As the kernel's utf16s_to_utf8s reads a serial number.
  for (std::size_t u = 0; u < units; ++u) {
    int unit = unitAt(u);
    if (unit == 0) break;
    if (IsLowSurrogate(unit)) continue;
    std::uint32_t c = static_cast<std::uint32_t>(unit);
    if (IsHighSurrogate(unit)) {
      if (u + 1 >= units) break;
      if (!IsLowSurrogate(unitAt(u + 1))) continue;
      c = Combined(unit, unitAt(++u));
    }
    if (!PutUtf8(c, out, outSize, &n)) return -1;
  }
  return static_cast<int>(n);
}

}  // namespace vela
