#include "usb_transfer.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "java_bytes.h"
#include "timeout.h"
#include "usb_messages.h"
#include "usb_protocol.h"

namespace vela {
namespace {

int Control(USBPort* port, const VendorRequest& r, void* data, int timeoutMs) {
  return usb_control_msg(port->handle, r.requestType, r.request, r.value, r.index,
                         static_cast<char*>(data), r.length, timeoutMs);
}

// A failed call: with the device gone the port is closed here, so that the
// Java side opens it again; any other failure leaves it open.
void Failed(USBPort* port, int err, const char* failure, const char** message) {
  if (err == ENODEV) {
    ClosePort<UsbLibrary>(port);
    *message = kDeviceGone;
  } else {
    *message = failure;
  }
}

}  // namespace

jint ReceiveUsbData(JNIEnv* env, USBPort* port, jbyteArray buffer, jint wanted,
                    jlong timeout, const char** message) {
  jsize arrayLength = 0;
  if (!ArrayLength(env, buffer, kUsbLookupTexts, &arrayLength, message)) return 0;
  auto* scratch = static_cast<unsigned char*>(std::malloc(kReceiveBufferSize));
  if (scratch == nullptr) {
    *message = kMemoryAllocationFailure;
    return 0;
  }
  int ms = LowTimeout(timeout);
  // A reply shorter than two bytes leaves the rest of the count zero.
  std::memset(scratch, 0, 2);
  if (Control(port, QDXUSB_REQUEST_BULKIN, scratch, ms) < 0) {
    int err = errno;
    std::free(scratch);
    Failed(port, err, kBulkInRequestFailed, message);
    return 0;
  }
  int length = BulkInRequestLength(WaitingCountLowFirst(scratch));
  int delivered = usb_bulk_read(port->handle, port->bulkInEndpoint,
                                reinterpret_cast<char*>(scratch), length, ms);
  if (delivered < 0) {
    int err = errno;
    std::free(scratch);
    Failed(port, err, kBulkReadFailed, message);
    return 0;
  }
  int n = ReceivedCount(delivered, wanted, arrayLength);
  if (!CopyToArray(env, buffer, scratch, n, kUsbLookupTexts, message)) n = 0;
  std::free(scratch);
  return n;
}

jint SendUsbData(JNIEnv* env, USBPort* port, jbyteArray data, jint length,
                 jlong timeout, const char** message) {
  BorrowedBytes bytes;
  if (!BorrowBytes(env, data, kUsbLookupTexts, &bytes, message)) return 0;
  int n = ClampToArray(length, bytes.length);
  int ms = LowTimeout(timeout);
  int total = 0;
  int goneErr = 0;
  while (total < n) {
    int chunk = n - total < kSendChunk ? n - total : kSendChunk;
    int written = usb_bulk_write(port->handle, port->bulkOutEndpoint,
                                 reinterpret_cast<char*>(bytes.elements) + total, chunk, ms);
    if (written < 0 && errno == ENODEV) {
      goneErr = ENODEV;
      break;
    }
    if (written == chunk) {
      total += chunk;
      continue;
    }
    if (usb_clear_halt(port->handle, static_cast<unsigned>(port->bulkOutEndpoint)) < 0 &&
        errno == ENODEV) {
      goneErr = ENODEV;
    }
    break;
  }
  ReleaseBytes(env, &bytes);
  if (goneErr != 0) {
    Failed(port, goneErr, nullptr, message);
    return 0;
  }
  return total;
}

StatusRead ReadUsbStatus(USBPort* port, jlong timeout, const char* failure,
                         const char** message) {
  unsigned char byte = 0;
  if (Control(port, QDXUSB_GET_DEVICE_STATUS, &byte, LowTimeout(timeout)) < 0) {
    Failed(port, errno, failure, message);
    return {false, 0};
  }
  return {true, byte};
}

bool ResetUsbPrinter(USBPort* port, const char** message) {
  // No timeout argument reaches this call: the reset has its own.
  if (Control(port, QDXUSB_GET_RESET, nullptr, kLinuxResetTimeoutMs) < 0) {
    Failed(port, errno, kControlFailed, message);
    return false;
  }
  return true;
}

}  // namespace vela
