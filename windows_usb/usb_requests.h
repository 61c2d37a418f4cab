// The printer driver's control codes (FILE_DEVICE_UNKNOWN, METHOD_BUFFERED,
// FILE_ANY_ACCESS) and the status byte they answer.
#pragma once

#include <windows.h>

#include <cstdint>

#include "printer_status.h"

namespace vela {

inline constexpr DWORD IOCTL_PRINTER_GET_STATUS = 0x22000C;    // out: 1 status byte
inline constexpr DWORD IOCTL_PRINTER_SHORT_WRITE = 0x220010;   // after a short write
inline constexpr DWORD IOCTL_PRINTER_RESET = 0x220014;
inline constexpr DWORD IOCTL_PRINTER_SET_TIMEOUTS = 0x220400;  // in: COMMTIMEOUTS

// The ENQ answer of this driver: 0x20 always, 0x04 for an error or a
// printer offline, 0x08 for paper out.
inline std::uint8_t DriverEnqFromStatus(std::uint8_t status) {
  std::uint8_t answer = 0x20;
  if ((status & kStatusNoError) == 0 || (status & kStatusOnline) == 0) answer |= kEnqError;
  if ((status & kStatusPaperOut) != 0) answer |= kEnqPaperOut;
  return answer;
}

}  // namespace vela
