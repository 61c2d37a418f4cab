// What the USB libraries know of the printer as a USB device: its identity,
// its three vendor requests, the meaning of its replies and the bounds of
// the receive sequence. No I/O here.
#pragma once

#include <cstdint>

#include "printer_status.h"

namespace vela {

inline constexpr std::uint16_t kPrinterVendorId = 0x0F3C;
inline constexpr std::uint16_t kPrinterProductId = 0x0002;

struct VendorRequest {
  const char* name;
  std::uint8_t requestType;
  std::uint8_t request;
  std::uint16_t value;
  std::uint16_t index;
  std::uint16_t length;
};

// Reads the status byte (parallel status register layout).
inline constexpr VendorRequest QDXUSB_GET_DEVICE_STATUS = {
    "QDXUSB_GET_DEVICE_STATUS", 0xC0, 0x01, 0x0000, 0x0000, 1};
// Makes the printer reset itself; an OUT request without data.
inline constexpr VendorRequest QDXUSB_GET_RESET = {
    "QDXUSB_GET_RESET", 0x40, 0x02, 0x0000, 0x0000, 0};
// Two bytes: how many bytes the printer holds for the bulk IN pipe.
inline constexpr VendorRequest QDXUSB_REQUEST_BULKIN = {
    "QDXUSB_REQUEST_BULKIN", 0xC0, 0x03, 0x0100, 0x0000, 2};

inline constexpr int kLinuxResetTimeoutMs = 500;
inline constexpr int kMacResetTimeoutMs = 1000;
inline constexpr int kSendChunk = 4096;
inline constexpr int kReceiveBufferSize = 256;

// The waiting-bytes reply as a signed 16-bit number; the Linux library
// reads the low-order byte first, the macOS library the high-order byte.
std::int16_t WaitingCountLowFirst(const unsigned char reply[2]);
std::int16_t WaitingCountHighFirst(const unsigned char reply[2]);

// The length the bulk IN read asks for: the printer's count, kept within
// the receive buffer; a negative count asks for nothing.
int BulkInRequestLength(std::int16_t count);

// Bytes handed to the caller: what the read delivered, lowered to the
// number wanted and to the array's length, never negative.
int ReceivedCount(int delivered, int wanted, int arrayLength);

}  // namespace vela
