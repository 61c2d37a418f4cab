#include "mac_usb_transfer.h"

#include <cstdlib>
#include <cstring>

#include "java_bytes.h"

namespace vela {

IOReturn SendVendorRequest(USBPort* port, const VendorRequest& request, void* data,
                           UInt32 completionTimeout) {
  IOUSBDevRequestTO setup;
  setup.bmRequestType = request.requestType;
  setup.bRequest = request.request;
  setup.wValue = request.value;
  setup.wIndex = request.index;
  setup.wLength = request.length;
  setup.pData = data;
  setup.wLenDone = 0;
  setup.noDataTimeout = 0;
  setup.completionTimeout = completionTimeout;
  return (*port->device)->DeviceRequestTO(port->device, &setup);
}

bool Failed(USBPort* port, IOReturn result, const char* gone, const char* otherwise,
            const char** message) {
  if (result == kIOReturnNoDevice) {
    closePortDueToNoDevice(port);
    *message = gone;
  } else if (!EndedByClose<MacUsbLibrary>(port, message)) {
    *message = otherwise;
  }
  return false;
}

jint ReceiveMacUsbData(JNIEnv* env, USBPort* port, jbyteArray buffer, jint wanted, jlong timeout,
                       const char** message) {
  jsize arrayLength = 0;
  if (!ArrayLength(env, buffer, kMacUsbLookupTexts, &arrayLength, message)) return 0;
  auto* scratch = static_cast<unsigned char*>(std::malloc(kReceiveBufferSize));
  if (scratch == nullptr) {
    *message = kMemoryAllocationFailure;
    return 0;
  }
  UInt32 ms = CompletionTimeout(timeout);
  // A reply shorter than two bytes leaves the rest of the count zero.
  std::memset(scratch, 0, 2);
  IOReturn result = SendVendorRequest(port, QDXUSB_REQUEST_BULKIN, scratch, ms);
  if (result != kIOReturnSuccess) {
    std::free(scratch);
    return Failed(port, result, kNoDeviceGone, kBulkInRequestFailed, message);
  }
  if (EndedByClose<MacUsbLibrary>(port, message)) {
    std::free(scratch);
    return 0;
  }
  // The printer's count, high byte first, asks for at most the buffer.
  UInt32 asked = static_cast<UInt32>(BulkInRequestLength(WaitingCountHighFirst(scratch)));
  UInt32 size = asked;
  UInt8 pipe = static_cast<UInt8>(port->bulkInPipe);
  result = (*port->interface)->ReadPipeTO(port->interface, pipe, scratch, &size, 0, ms);
  if (result != kIOReturnSuccess) {
    std::free(scratch);
    // A stalled pipe stays halted until cleared, at both ends: unless the
    // halt goes, every later read fails the same way. Clearing it also
    // finds a printer that has gone.
    if (result == kIOUSBPipeStalled && !CloseBegun(WatchClose<MacUsbLibrary>(port)) &&
        (*port->interface)->ClearPipeStallBothEnds(port->interface, pipe) == kIOReturnNoDevice) {
      result = kIOReturnNoDevice;
    }
    return Failed(port, result, kDeviceGone, kReadPipeFailed, message);
  }
  int n = ReceivedCount(static_cast<int>(size < asked ? size : asked), wanted, arrayLength);
  if (!CopyToArray(env, buffer, scratch, n, kMacUsbLookupTexts, message)) n = 0;
  std::free(scratch);
  return n;
}

jint SendMacUsbData(JNIEnv* env, USBPort* port, jbyteArray data, jint length, jlong timeout,
                    const char** message) {
  BorrowedBytes bytes;
  if (!BorrowBytes(env, data, kMacUsbLookupTexts, &bytes, message)) return 0;
  // A negative count sends nothing.
  jint count = ClampToArray(length, bytes.length);
  UInt32 ms = CompletionTimeout(timeout);
  UInt8 pipe = static_cast<UInt8>(port->bulkOutPipe);
  IOReturn result = kIOReturnSuccess;
  jint total = 0;
  bool closing = false;
  while (total < count && result == kIOReturnSuccess && !(closing = EndedByClose<MacUsbLibrary>(port, message))) {
    UInt32 chunk = static_cast<UInt32>(count - total < kSendChunk ? count - total : kSendChunk);
    result = (*port->interface)->WritePipeTO(port->interface, pipe, bytes.elements + total, chunk,
                                             0, ms);
    if (result == kIOReturnSuccess) total += static_cast<jint>(chunk);
  }
  ReleaseBytes(env, &bytes);
  if (closing) return 0;
  if (result == kIOReturnSuccess) return total;
  // A write the close aborted leaves the pipe to the close.
  if (result != kIOReturnNoDevice && !CloseBegun(WatchClose<MacUsbLibrary>(port)) &&
      (*port->interface)->ClearPipeStallBothEnds(port->interface, pipe) == kIOReturnNoDevice) {
    result = kIOReturnNoDevice;
  }
  return Failed(port, result, kDeviceGone, kWritePipeFailed, message);
}

}  // namespace vela
