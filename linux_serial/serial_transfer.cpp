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
int WaitAndRead(int fd, const SerialDeviceIdentity& identity, long byteNanoseconds,
                unsigned char* scratch, int length, std::int32_t timeout, const char** message) {
  switch (WaitForQueuedInput(fd, length, timeout, byteNanoseconds)) {
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

enum class DsrWait { kReady, kTimedOut, kFailed };

DsrWait WaitForDsr(int fd, std::int32_t* remaining) {
  while (*remaining > 0) {
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
ssize_t WriteWhenRoom(int fd, const jbyte* data, int count, std::int32_t* remaining) {
  bool roomReported = false;
  for (;;) {
    ssize_t put = WriteRestarting(fd, data, static_cast<std::size_t>(count));
    if (put >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return put;
    if (*remaining <= 0) return -1;
    const Deadline end = DeadlineIn(*remaining);
    // A line that reported room and still refused is given a step before
    // the next look, so that no report can make the wait spin.
    if (roomReported) SleepUntil(Earliest(DeadlineIn(kSerialStepMilliseconds), end));
    roomReported = PollUntil(fd, POLLOUT, end) != 0;
    *remaining = static_cast<std::int32_t>(MillisecondsLeft(end));
    if (!roomReported) {
      errno = EAGAIN;
      return -1;
    }
  }
}

// The result of a send: the bytes sent, or 0 with a message when a write
// failed, or when the line never had room and nothing at all was sent.
int SendOutcome(ssize_t last, int refusal, int sent, const char** message) {
  if (last != -1 || (refusal == EAGAIN && sent > 0)) return sent;
  *message = kWriteFailed;
  return 0;
}

int SendFlowControlled(int fd, bool watchDsr, const jbyte* data, int count,
                       std::int32_t timeout, const char** message) {
  std::int32_t remaining = timeout;
  int sent = 0;
  ssize_t last = 0;
  int refusal = 0;
  while (sent < count && remaining > 0) {
    if (watchDsr) {
      DsrWait wait = WaitForDsr(fd, &remaining);
      if (wait == DsrWait::kFailed) {
        *message = kTiocmgetFailed;
        return 0;
      }
      if (wait == DsrWait::kTimedOut) break;
    }
    int block = count - sent;
    if (watchDsr && block > kFlowBlock) block = kFlowBlock;
    last = WriteWhenRoom(fd, data + sent, block, &remaining);
    if (last == -1) {
      refusal = errno;
      break;
    }
    sent += static_cast<int>(last);
    if (DrainOutput(fd) != 0) break;
    if (last >= 1) remaining = timeout;
  }
  return SendOutcome(last, refusal, sent, message);
}

int SendOffline(int fd, const jbyte* data, int count, std::int32_t timeout,
                const char** message) {
  std::int32_t remaining = timeout;
  int sent = 0;
  ssize_t last = 0;
  int refusal = 0;
  while (sent < count && remaining > 0) {
    last = WriteWhenRoom(fd, data + sent, count - sent, &remaining);
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
  return SendOutcome(last, refusal, sent, message);
}

}  // namespace

jint ReceiveSerialData(JNIEnv* env, const SerialPort* port, jbyteArray buffer,
                       jint length, jlong timeout, const char** message) {
  jsize arrayLength = 0;
  if (!ArrayLength(env, buffer, kSerialLookupTexts, &arrayLength, message)) return 0;
  auto* scratch = static_cast<unsigned char*>(AllocateScratch(length, message));
  if (scratch == nullptr) return 0;
  // Copied before the wait: a close from another thread clears the record.
  const int fd = port->fd;
  const SerialDeviceIdentity identity = port->identity;
  const long byteNanoseconds = SerialByteNanoseconds(port->settings);
  int n = WaitAndRead(fd, identity, byteNanoseconds, scratch, length, LowTimeout(timeout), message);
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
  if (mode == SerialSendMode::kOffline) {
    sent = SendOffline(port->fd, bytes.elements, count, ms, message);
  } else {
    sent = SendFlowControlled(port->fd, port->settings.flowControl == 'h',
                              bytes.elements, count, ms, message);
  }
  ReleaseBytes(env, &bytes);
  return sent;
}

}  // namespace vela
