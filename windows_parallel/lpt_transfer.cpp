#include "lpt_transfer.h"

#include "java_bytes.h"
#include "lpt_timeouts.h"

namespace vela {
namespace {

constexpr DWORD kPiece = 4096;
constexpr DWORD kIdleSleepMs = 20;

// A close from another thread ends the send at the next step; a write the
// driver holds is cancelled by the close itself, and nothing follows it.
DWORD WriteWithinBudget(HANDLE handle, const CloseWatch& close, const jbyte* data, DWORD length,
                        DWORD budget) {
  DWORD sent = 0;
  while (budget > 0 && !CloseBegun(close)) {
    DWORD start = GetTickCount();
    DWORD piece = length - sent < kPiece ? length - sent : kPiece;
    DWORD written = 0;
    WriteFile(handle, data + sent, piece, &written, nullptr);
    sent += written;
    if (CloseBegun(close)) break;
    FlushFileBuffers(handle);
    if (written == 0) {
      Sleep(kIdleSleepMs);
      DWORD elapsed = GetTickCount() - start;
      budget = elapsed > budget ? 0 : budget - elapsed;
    }
    if (sent >= length) break;
  }
  return sent;
}

}  // namespace

jint ReceiveLptData(JNIEnv* env, LptPort* port, jbyteArray buffer, jint length, jlong timeout,
                    const char** message) {
  const CloseWatch close = WatchClose<LptLibrary>(port);
  ApplyReceiveTimeout(port->handle, LowUnsigned(timeout));
  BorrowedBytes bytes;
  if (!BorrowBytes(env, buffer, kLptLookupTexts, &bytes, message)) return 0;
  jint wanted = ClampToArray(length, bytes.length);
  DWORD got = 0;
  if (wanted > 0 && !CloseBegun(close)) {
    ReadFile(port->handle, bytes.elements, static_cast<DWORD>(wanted), &got, nullptr);
  }
  ReleaseBytes(env, &bytes);
  return EndedByClose(close, kLptLookupTexts, message) ? 0 : static_cast<jint>(got);
}

jint SendLptData(JNIEnv* env, LptPort* port, jbyteArray data, jint length, jlong timeout,
                 const char** message) {
  BorrowedBytes bytes;
  if (!BorrowBytes(env, data, kLptLookupTexts, &bytes, message)) return 0;
  jint count = ClampToArray(length, bytes.length);
  const CloseWatch close = WatchClose<LptLibrary>(port);
  ApplySendTimeout(port->handle, LowUnsigned(timeout));
  DWORD sent = count > 0 ? WriteWithinBudget(port->handle, close, bytes.elements,
                                             static_cast<DWORD>(count), LowUnsigned(timeout))
                         : 0;
  ReleaseBytes(env, &bytes);
  return EndedByClose(close, kLptLookupTexts, message) ? 0 : static_cast<jint>(sent);
}

}  // namespace vela
