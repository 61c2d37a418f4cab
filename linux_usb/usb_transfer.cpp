#include "usb_transfer.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "java_bytes.h"
#include "posix_wait.h"
#include "timeout.h"
#include "usb_messages.h"
#include "usb_protocol.h"

namespace vela {
namespace {

int Control(USBPort* port, const VendorRequest& r, void* data, int timeoutMs) {
  return usb_control_msg(port->handle, r.requestType, r.request, r.value, r.index,
                         static_cast<char*>(data), r.length, timeoutMs);
}

// The standard GET_STATUS request: every device answers it, and it moves
// no printer state.
constexpr VendorRequest kGetStatus = {"GET_STATUS", 0x80, 0x00, 0x0000, 0x0000, 2};
constexpr int kProbeTimeoutMs = 200;
constexpr int kProbeLeastMs = 5;

// One call with the caller's timeout, from its start: the checks after its
// failure spend what remains of that timeout, not time of their own.
struct TimedCall {
  Deadline end;
  bool endless;  // a timeout of 0 or less, which the kernel never ends
};

TimedCall StartCall(int timeoutMs) { return {DeadlineIn(timeoutMs), timeoutMs <= 0}; }

// What remains of the call's timeout, at most the check's own 200 ms and
// at least a few, so that a printer asked late still can answer.
int ProbeTimeout(const TimedCall& call) {
  if (call.endless) return kProbeTimeoutMs;
  long long left = MillisecondsLeft(call.end);
  if (left < kProbeLeastMs) return kProbeLeastMs;
  return left > kProbeTimeoutMs ? kProbeTimeoutMs : static_cast<int>(left);
}

// Whether a call that failed with `err` failed because the printer left the
// bus. ENODEV says so at once. A transfer cut short by the unplug fails with
// ESHUTDOWN or completes empty, which a live printer can show too (a reset
// kills transfers in flight the same way), so one more request decides:
// the kernel refuses it with ENODEV only once the device is gone. Anything
// else keeps the printer: a live one is never taken for gone.
bool PrinterGone(USBPort* port, int err, const TimedCall& call) {
  if (err == ENODEV) return true;
  unsigned char reply[2];
  return Control(port, kGetStatus, reply, ProbeTimeout(call)) < 0 && errno == ENODEV;
}

// Clears a halt left by a failed transfer; false when the printer turns out
// to be gone. (The clearing itself runs on the kernel's own timeout.)
bool ClearHalt(USBPort* port, int endpoint, const TimedCall& call) {
  return usb_clear_halt(port->handle, static_cast<unsigned>(endpoint)) >= 0 ||
         !PrinterGone(port, errno, call);
}

// The device-gone handling: the port is closed here, so that the Java side
// opens it again.
void CloseAsGone(USBPort* port, const char** message) {
  ClosePort<UsbLibrary>(port);
  *message = kDeviceGone;
}

// A failed call: closed as gone when the printer left, else `failure`.
void Failed(USBPort* port, int err, const TimedCall& call, const char* failure,
            const char** message) {
  if (EndedByClose<UsbLibrary>(port, message)) return;
  if (PrinterGone(port, err, call)) {
    CloseAsGone(port, message);
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
  TimedCall request = StartCall(ms);
  if (Control(port, QDXUSB_REQUEST_BULKIN, scratch, ms) < 0) {
    int err = errno;
    std::free(scratch);
    Failed(port, err, request, kBulkInRequestFailed, message);
    return 0;
  }
  if (EndedByClose<UsbLibrary>(port, message)) {
    std::free(scratch);
    return 0;
  }
  int length = BulkInRequestLength(WaitingCountLowFirst(scratch));
  TimedCall read = StartCall(ms);
  int delivered = usb_bulk_read(port->handle, port->bulkInEndpoint,
                                reinterpret_cast<char*>(scratch), length, ms);
  if (delivered < 0) {
    int err = errno;
    std::free(scratch);
    Failed(port, err, read, kBulkReadFailed, message);
    return 0;
  }
  // libusb-0.1 hands back a stall, and a read cut short by an unplug, as a
  // read of nothing: with bytes announced that is a failure, not an empty
  // answer. The stalled pipe stays halted until cleared; clearing it also
  // finds a printer that is gone.
  if (delivered == 0 && length > 0) {
    std::free(scratch);
    if (EndedByClose<UsbLibrary>(port, message)) return 0;
    if (ClearHalt(port, port->bulkInEndpoint, read)) {
      *message = kBulkReadFailed;
    } else {
      CloseAsGone(port, message);
    }
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
  bool gone = false;
  bool closing = false;
  while (total < n && !(closing = EndedByClose<UsbLibrary>(port, message))) {
    int chunk = n - total < kSendChunk ? n - total : kSendChunk;
    TimedCall write = StartCall(ms);
    int written = usb_bulk_write(port->handle, port->bulkOutEndpoint,
                                 reinterpret_cast<char*>(bytes.elements) + total, chunk, ms);
    if (written == chunk) {
      total += chunk;
      continue;
    }
    // A write in flight at an unplug comes back short, often empty; the
    // halt clearing that follows any cut-short chunk finds that out.
    closing = EndedByClose<UsbLibrary>(port, message);
    gone = !closing && ((written < 0 && errno == ENODEV) ||
                        !ClearHalt(port, port->bulkOutEndpoint, write));
    break;
  }
  ReleaseBytes(env, &bytes);
  if (closing) return 0;
  if (gone) {
    CloseAsGone(port, message);
    return 0;
  }
  return total;
}

StatusRead ReadUsbStatus(USBPort* port, jlong timeout, const char* failure,
                         const char** message) {
  unsigned char byte = 0;
  int ms = LowTimeout(timeout);
  TimedCall call = StartCall(ms);
  if (Control(port, QDXUSB_GET_DEVICE_STATUS, &byte, ms) < 0) {
    Failed(port, errno, call, failure, message);
    return {false, 0};
  }
  return {true, byte};
}

bool ResetUsbPrinter(USBPort* port, const char** message) {
  // No timeout argument reaches this call: the reset has its own.
  TimedCall call = StartCall(kLinuxResetTimeoutMs);
  if (Control(port, QDXUSB_GET_RESET, nullptr, kLinuxResetTimeoutMs) < 0) {
    Failed(port, errno, call, kControlFailed, message);
    return false;
  }
  return true;
}

}  // namespace vela
