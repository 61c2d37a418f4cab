#include "usb_protocol.h"

namespace vela {

std::int16_t WaitingCountLowFirst(const unsigned char reply[2]) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(reply[0] | (reply[1] << 8)));
}

std::int16_t WaitingCountHighFirst(const unsigned char reply[2]) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>((reply[0] << 8) | reply[1]));
}

int BulkInRequestLength(std::int16_t count) {
  if (count < 0) return 0;
  return count > kReceiveBufferSize ? kReceiveBufferSize : count;
}

int ReceivedCount(int delivered, int wanted, int arrayLength) {
  int n = delivered;
  if (wanted < n) n = wanted;
  if (arrayLength < n) n = arrayLength;
  return n < 0 ? 0 : n;
}

}  // namespace vela
