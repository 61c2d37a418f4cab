#include "parallel_transfer.h"

#include <linux/parport.h>
#include <unistd.h>

#include <cstdlib>

#include "java_bytes.h"
#include "parallel_messages.h"
#include "parallel_port.h"
#include "parallel_status.h"
#include "posix_wait.h"
#include "timeout.h"

namespace vela {
namespace {

constexpr std::int32_t kStepMilliseconds = 50;
constexpr long kStepMicroseconds = 50000;

// A failed read or write moves nothing; it is never reported.
int Moved(ssize_t result) { return result < 0 ? 0 : static_cast<int>(result); }

// A close of the port from another thread ends the wait at the next step.
int ReadNibbles(int fd, const CloseWatch& close, unsigned char* buffer, int length,
                std::int32_t timeout) {
  int got = Moved(ReadRestarting(fd, buffer, static_cast<std::size_t>(length)));
  for (std::int32_t countdown = timeout; got < length && countdown >= kStepMilliseconds;) {
    countdown -= kStepMilliseconds;
    SleepMicroseconds(kStepMicroseconds);
    if (CloseBegun(close)) break;
    got += Moved(ReadRestarting(fd, buffer + got, static_cast<std::size_t>(length - got)));
  }
  return got;
}

int WriteWhileOnline(const ParallelPort* port, const CloseWatch& close, const jbyte* data,
                     int count, std::int32_t timeout) {
  std::int32_t countdown = timeout;
  int sent = 0;
  ssize_t last = 0;
  if (getOnlineStatus(port)) {
    last = WriteRestarting(port->fd, data, static_cast<std::size_t>(count));
    sent = Moved(last);
  }
  while (sent < count && countdown > 0) {
    // The timeout counts only while the printer takes nothing.
    if (last >= 1) {
      countdown = timeout;
    } else {
      SleepMicroseconds(kStepMicroseconds);
      countdown = countdown < kStepMilliseconds ? 0 : countdown - kStepMilliseconds;
    }
    if (CloseBegun(close)) break;
    last = 0;
    if (getOnlineStatus(port)) {
      last = WriteRestarting(port->fd, data + sent, static_cast<std::size_t>(count - sent));
      sent += Moved(last);
    }
  }
  return sent;
}

}  // namespace

jint ReceiveParallelData(JNIEnv* env, const ParallelPort* port, jbyteArray buffer,
                         jint length, jlong timeout, const char** message) {
  jsize arrayLength = 0;
  if (!ArrayLength(env, buffer, kParallelLookupTexts, &arrayLength, message)) return 0;
  // Compatibility mode first: nibble negotiation starts from there.
  NegotiateMode(port, IEEE1284_MODE_COMPAT);
  if (!NegotiateMode(port, IEEE1284_MODE_NIBBLE)) {
    *message = kNibbleNegotiationFailed;
    return 0;
  }
  auto* scratch = static_cast<unsigned char*>(AllocateScratch(length, message));
  if (scratch == nullptr) return 0;
  const CloseWatch close = WatchClose<ParallelLibrary>(port);
  int n = ClampToArray(ReadNibbles(port->fd, close, scratch, length, LowTimeout(timeout)),
                       arrayLength);
  if (EndedByClose(close, kParallelLookupTexts, message) ||
      !CopyToArray(env, buffer, scratch, n, kParallelLookupTexts, message)) {
    n = 0;
  }
  std::free(scratch);
  return n;
}

jint SendParallelData(JNIEnv* env, const ParallelPort* port, jbyteArray data,
                      jint length, jlong timeout, const char** message) {
  BorrowedBytes bytes;
  if (!BorrowBytes(env, data, kParallelLookupTexts, &bytes, message)) return 0;
  int count = ClampToArray(length, bytes.length);
  const CloseWatch close = WatchClose<ParallelLibrary>(port);
  int sent = count < 0 ? 0 : WriteWhileOnline(port, close, bytes.elements, count, LowTimeout(timeout));
  ReleaseBytes(env, &bytes);
  return EndedByClose(close, kParallelLookupTexts, message) ? 0 : sent;
}

}  // namespace vela
