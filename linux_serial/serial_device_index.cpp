#include "port_name.h"
#include "serial_port.h"

namespace vela {

int SerialDeviceIndex(const char (&name)[100]) {
  // "/dev/ttyS" is nine bytes: the number follows.
  return NameNumber(name, sizeof(name), 9, kInitFlagCount);
}

}  // namespace vela
