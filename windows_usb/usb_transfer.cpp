#include "usb_transfer.h"

#include <cstdlib>
#include <cstring>

#include "java_bytes.h"
#include "usb_connection.h"
#include "usb_requests.h"

namespace vela {
namespace {

constexpr jint kChunk = 4096;

struct ChunkedSend {
  jint sent;
  bool gone;
};

ChunkedSend SendInChunks(WindowsUSBPort* port, const jbyte* data, jint length) {
  jint sent = 0;
  while (sent < length) {
    DWORD chunk = static_cast<DWORD>(length - sent < kChunk ? length - sent : kChunk);
    DWORD written = 0;
    WriteFile(port->handle, data + sent, chunk, &written, nullptr);
    if (written != chunk) {
      DWORD returned = 0;
      DeviceIoControl(port->handle, IOCTL_PRINTER_SHORT_WRITE, nullptr, 0, nullptr, 0, &returned,
                      nullptr);
      const char* gone = nullptr;
      if (DeviceConnected(port, &gone)) return ChunkedSend{sent, false};
      return ChunkedSend{0, true};
    }
    sent += static_cast<jint>(chunk);
  }
  return ChunkedSend{sent, false};
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
  ReadFile(port->handle, scratch, static_cast<DWORD>(length), &got, nullptr);
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
  if (result.gone) *message = kDeviceGone;
  return result.gone ? 0 : result.sent;
}

}  // namespace vela
