#include "usb_transfer.h"

#include <cstdlib>
#include <cstring>

#include "java_bytes.h"
#include "usb_connection.h"
#include "usb_requests.h"

namespace vela {
namespace {

constexpr jint kChunk = 4096;

enum class SendEnd { kDone, kGone, kClosed };

struct ChunkedSend {
  jint sent;
  SendEnd end;
};

// A close from another thread cancels the chunk under way and ends the
// send before the next; nothing is asked of the driver after it.
ChunkedSend SendInChunks(WindowsUSBPort* port, const jbyte* data, jint length) {
  const CloseWatch close = WatchClose<WindowsUsbLibrary>(port);
  jint sent = 0;
  while (sent < length) {
    if (CloseBegun(close)) return ChunkedSend{0, SendEnd::kClosed};
    DWORD chunk = static_cast<DWORD>(length - sent < kChunk ? length - sent : kChunk);
    DWORD written = 0;
    WriteFile(port->handle, data + sent, chunk, &written, nullptr);
    if (written != chunk) {
      if (CloseBegun(close)) return ChunkedSend{0, SendEnd::kClosed};
      DWORD returned = 0;
      DeviceIoControl(port->handle, IOCTL_PRINTER_SHORT_WRITE, nullptr, 0, nullptr, 0, &returned,
                      nullptr);
      const char* why = nullptr;
      if (DeviceConnected(port, &why)) return ChunkedSend{sent, SendEnd::kDone};
      return ChunkedSend{0, why == kDeviceGone ? SendEnd::kGone : SendEnd::kClosed};
    }
    sent += static_cast<jint>(chunk);
  }
  return ChunkedSend{sent, SendEnd::kDone};
}

}  // namespace

jint ReceiveUsbData(JNIEnv* env, WindowsUSBPort* port, jbyteArray buffer, jint length,
                    const char** message) {
  jsize arrayLength = 0;
  if (!ArrayLength(env, buffer, kWindowsUsbLookupTexts, &arrayLength, message)) return 0;
  if (!DeviceConnected(port, message)) return 0;
  void* scratch = AllocateScratch(length, message);
  if (scratch == nullptr) return 0;
  DWORD got = 0;
  if (!EndedByClose<WindowsUsbLibrary>(port, message)) {
    ReadFile(port->handle, scratch, static_cast<DWORD>(length), &got, nullptr);
  }
  // A read the close cut short hands nothing on.
  if (EndedByClose<WindowsUsbLibrary>(port, message)) {
    std::free(scratch);
    return 0;
  }
  jint count = got > static_cast<DWORD>(length) ? length : static_cast<jint>(got);
  count = ClampToArray(count, arrayLength);
  if (!CopyToArray(env, buffer, scratch, count, kWindowsUsbLookupTexts, message)) count = 0;
  std::free(scratch);
  return count;
}

jint SendUsbData(JNIEnv* env, WindowsUSBPort* port, jbyteArray data, jint length,
                 const char** message) {
  jsize arrayLength = 0;
  if (!ArrayLength(env, data, kWindowsUsbLookupTexts, &arrayLength, message)) return 0;
  if (!DeviceConnected(port, message)) return 0;
  BorrowedBytes bytes;
  if (!BorrowBytes(env, data, kWindowsUsbLookupTexts, &bytes, message)) return 0;
  // A negative count sends nothing.
  jint count = ClampToArray(length, bytes.length);
  ChunkedSend result = SendInChunks(port, bytes.elements, count < 0 ? 0 : count);
  ReleaseBytes(env, &bytes);
  if (result.end == SendEnd::kGone) *message = kDeviceGone;
  if (result.end == SendEnd::kClosed) *message = kWindowsUsbLookupTexts.portNotOpened;
  return result.sent;
}

}  // namespace vela
