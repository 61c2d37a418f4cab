#include "serial_port.h"

namespace vela {

int SerialDeviceIndex(const char (&name)[100]) {
  const char* p = name + 9;
  const char* end = name + sizeof(name);
  while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  long value = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value >= kInitFlagCount) return -1;  // also stops any overflow
  }
  if (negative && value != 0) return -1;
  return static_cast<int>(value);
}

}  // namespace vela
