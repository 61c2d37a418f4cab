#include "serial_transfer.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "java_bytes.h"
#include "serial_input_wait.h"
#include "serial_messages.h"
#include "serial_open.h"
#include "posix_wait.h"
#include "timeout.h"

namespace vela {
namespace {

constexpr long kStepMicroseconds = kSerialStepMilliseconds * 1000L;
constexpr int kFlowBlock = 256;

std::int32_t CountDown(std::int32_t remaining) {
  return remaining > kSerialStepMilliseconds ? remaining - kSerialStepMilliseconds : 0;
}

// Fills `scratch` with exactly `length` bytes once they are all queued.
// Returns the bytes read, or -1 with a message. Bytes of a device that took
// the port's descriptor number while the wait went on are not taken.
int WaitAndRead(const LineWatch& line, const SerialDeviceIdentity& identity,
                long byteNanoseconds, unsigned char* scratch, int length,
                std::int32_t timeout, const char** message) {
  const int fd = line.fd;
  switch (WaitForQueuedInput(line, length, timeout, byteNanoseconds)) {
    case InputWait::kClosed:
      *message = kSerialLookupTexts.portNotOpened;
      return -1;
    case InputWait::kCountFailed:
      *message = kFionreadFailed;
      return -1;
    case InputWait::kTimedOut:
      *message = kReadLengthNotAvailable;
      return -1;
    case InputWait::kQueued:
      break;
  }
  if (!StillSameDevice(fd, identity)) {
    *message = kReadFailed;
    return -1;
  }
  ssize_t got = ReadRestarting(fd, scratch, static_cast<std::size_t>(length));
  if (got < 0) {
    *message = kReadFailed;
    return -1;
  }
  return static_cast<int>(got);
}

enum class DsrWait { kReady, kTimedOut, kFailed, kClosed };

DsrWait WaitForDsr(int fd, const CloseWatch& close, std::int32_t* remaining) {
  while (*remaining > 0) {
    if (CloseBegun(close)) return DsrWait::kClosed;
    int lines = 0;
    if (ioctl(fd, TIOCMGET, &lines) != 0) return DsrWait::kFailed;
    if ((lines & TIOCM_DSR) != 0) return DsrWait::kReady;
    SleepMicroseconds(kStepMicroseconds);
    *remaining = CountDown(*remaining);
  }
  return DsrWait::kTimedOut;
}

// Writes what the line takes of `count` bytes. A write refused because the
// descriptor would block takes nothing: the call waits until the line has
// room, counting `remaining` down while it waits. -1 with errno EAGAIN when
// the time ran out first, -1 with another errno when the write failed.
ssize_t WriteWhenRoom(const LineWatch& line, const jbyte* data, int count,
                      std::int32_t* remaining) {
  const int fd = line.fd;
  bool roomReported = false;
  bool waiting = false;
  Deadline end = {};
  for (;;) {
    if (CloseBegun(line.close)) {
      errno = EAGAIN;
      return -1;
    }
    ssize_t put = WriteRestarting(fd, data, static_cast<std::size_t>(count));
    if (put >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return put;
    if (!waiting) {
      if (*remaining <= 0) return -1;
      end = DeadlineIn(*remaining);
      waiting = true;
    }
    // A line that reported room and still refused is given a step before
    // the next look, so that no report can make the wait spin.
    if (roomReported) SleepUntil(Earliest(DeadlineIn(kSerialStepMilliseconds), end));
    roomReported = PollUntil(fd, POLLOUT, end, line.wakeFd) != 0;
    *remaining = static_cast<std::int32_t>(MillisecondsLeft(end));
    if (!roomReported && (HasPassed(end) || CloseBegun(line.close))) {
      errno = EAGAIN;
      return -1;
    }
  }
}

// The result of a send: the bytes sent, or 0 with a message when a write
// failed, when the line never had room and nothing at all was sent, or when
// the port was closed under the send.
int SendOutcome(ssize_t last, int refusal, int sent, const CloseWatch& close,
                const char** message) {
  if (EndedByClose(close, kSerialLookupTexts, message)) return 0;
  if (last != -1 || (refusal == EAGAIN && sent > 0)) return sent;
  *message = kWriteFailed;
  return 0;
}

int SendFlowControlled(const LineWatch& line, bool watchDsr, const jbyte* data, int count,
                       std::int32_t timeout, const char** message) {
  const CloseWatch& close = line.close;
  std::int32_t remaining = timeout;
  int sent = 0;
  ssize_t last = 0;
  int refusal = 0;
  while (sent < count && remaining > 0) {
    if (watchDsr) {
      DsrWait wait = WaitForDsr(line.fd, close, &remaining);
      if (wait == DsrWait::kFailed) {
        *message = kTiocmgetFailed;
        return 0;
      }
      if (wait != DsrWait::kReady) break;
    }
    int block = count - sent;
    if (watchDsr && block > kFlowBlock) block = kFlowBlock;
    last = WriteWhenRoom(line, data + sent, block, &remaining);
    if (last == -1) {
      refusal = errno;
      break;
    }
    sent += static_cast<int>(last);
    if (DrainOutput(line.fd) != 0) break;
    if (last >= 1) remaining = timeout;
  }
  return SendOutcome(last, refusal, sent, close, message);
}

int SendOffline(const LineWatch& line, const jbyte* data, int count, std::int32_t timeout,
                const char** message) {
  const int fd = line.fd;
  const CloseWatch& close = line.close;
  std::int32_t remaining = timeout;
  int sent = 0;
  ssize_t last = 0;
  int refusal = 0;
  while (sent < count && remaining > 0 && !CloseBegun(close)) {
    last = WriteWhenRoom(line, data + sent, count - sent, &remaining);
    if (last == -1) {
      refusal = errno;
      break;
    }
    sent += static_cast<int>(last);
    if (DrainOutput(fd) != 0) break;
    if (last >= 1) {
      remaining = timeout;
    } else {
      SleepMicroseconds(kStepMicroseconds);
      remaining = CountDown(remaining);
    }
  }
  return SendOutcome(last, refusal, sent, close, message);
}

}  // namespace

jint ReceiveSerialData(JNIEnv* env, const SerialPort* port, jbyteArray buffer,
                       jint length, jlong timeout, const char** message) {
  jsize arrayLength = 0;
  if (!ArrayLength(env, buffer, kSerialLookupTexts, &arrayLength, message)) return 0;
  auto* scratch = static_cast<unsigned char*>(AllocateScratch(length, message));
  if (scratch == nullptr) return 0;
  const LineWatch line = {port->fd, port->wakeFd, WatchClose<SerialLibrary>(port)};
  int n = WaitAndRead(line, port->identity, SerialByteNanoseconds(port->settings), scratch,
                      length, LowTimeout(timeout), message);
  if (n >= 0) {
    n = ClampToArray(n, arrayLength);
    if (!CopyToArray(env, buffer, scratch, n, kSerialLookupTexts, message)) n = -1;
  }
  std::free(scratch);
  return n < 0 ? 0 : n;
}

jint SendSerialData(JNIEnv* env, const SerialPort* port, jbyteArray data,
                    jint length, jlong timeout, SerialSendMode mode,
                    const char** message) {
  BorrowedBytes bytes;
  if (!BorrowBytes(env, data, kSerialLookupTexts, &bytes, message)) return 0;
  int count = ClampToArray(length, bytes.length);
  std::int32_t ms = LowTimeout(timeout);
  int sent = 0;
  const LineWatch line = {port->fd, port->wakeFd, WatchClose<SerialLibrary>(port)};
  if (mode == SerialSendMode::kOffline) {
    sent = SendOffline(line, bytes.elements, count, ms, message);
  } else {
    sent = SendFlowControlled(line, port->settings.flowControl == 'h', bytes.elements, count,
                              ms, message);
  }
  ReleaseBytes(env, &bytes);
  return sent;
}

}  // namespace vela
