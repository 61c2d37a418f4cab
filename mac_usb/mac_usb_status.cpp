#include "mac_usb_status.h"

#include "mac_usb_transfer.h"
#include "printer_status.h"

namespace vela {
namespace {

StatusRead ReadStatus(USBPort* port, jlong timeout, const char** message) {
  std::uint8_t status = 0;
  IOReturn result =
      SendVendorRequest(port, QDXUSB_GET_DEVICE_STATUS, &status, CompletionTimeout(timeout));
  if (result == kIOReturnSuccess) return StatusRead{true, status};
  return StatusRead{Failed(port, result, kDeviceGone, kStatusRequestFailed, message), 0};
}

}  // namespace

jbyte MacUsbEnq(USBPort* port, jlong timeout, const char** message) {
  return EnqAnswer(ReadStatus(port, timeout, message));
}

jboolean MacUsbOnline(USBPort* port, jlong timeout, const char** message) {
  return OnlineAnswer(ReadStatus(port, timeout, message));
}

bool ResetMacUsb(USBPort* port, const char** message) {
  // No timeout comes with a reset: a second, whatever the other calls use.
  IOReturn result = SendVendorRequest(port, QDXUSB_GET_RESET, nullptr, kMacResetTimeoutMs);
  return result == kIOReturnSuccess ||
         Failed(port, result, kDeviceGone, kResetRequestFailed, message);
}

}  // namespace vela
