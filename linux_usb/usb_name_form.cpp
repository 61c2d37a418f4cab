#include "usb_name_form.h"

#include <cstring>

namespace vela {
namespace {

constexpr char kSerialPrefix[] = "usb:serial=";
constexpr char kPortPrefix[] = "usb:port=";

bool StartsWith(const char* bytes, std::size_t length, const char* prefix, std::size_t prefixLength) {
  return length >= prefixLength && std::memcmp(bytes, prefix, prefixLength) == 0;
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

int StringDescriptorText(const unsigned char* descriptor, std::size_t size, char* out,
                         std::size_t outSize) {
  if (size < 2 || descriptor[1] != 3 || descriptor[0] < 2 || descriptor[0] > size) return -1;
  std::size_t units = (descriptor[0] - 2u) / 2u, n = 0;
  for (std::size_t u = 0; u < units; ++u) {
    unsigned c = descriptor[2 + 2 * u] | (descriptor[3 + 2 * u] << 8);
    // Modified UTF-8: U+0000 as two bytes, each surrogate as three.
    unsigned char bytes[3];
    std::size_t count;
    if (c != 0 && c < 0x80) {
      bytes[0] = static_cast<unsigned char>(c);
      count = 1;
    } else if (c < 0x800) {
      bytes[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
      bytes[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      count = 2;
    } else {
      bytes[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
      bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      bytes[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      count = 3;
    }
    if (n + count > outSize) return -1;
    std::memcpy(out + n, bytes, count);
    n += count;
  }
  return static_cast<int>(n);
}

}  // namespace vela
