#include "serial_transfer.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

#include "java_bytes.h"
#include "serial_messages.h"
#include "posix_wait.h"
#include "timeout.h"

namespace vela {
namespace {

constexpr long kStepMicroseconds = 20000;
constexpr std::int32_t kStepMilliseconds = 20;
constexpr int kFlowBlock = 256;

std::int32_t CountDown(std::int32_t remaining) {
  return remaining > kStepMilliseconds ? remaining - kStepMilliseconds : 0;
}

// Fills `scratch` with exactly `length` bytes once they are all queued.
// Returns the bytes read, or -1 with a message.
int WaitAndRead(int fd, unsigned char* scratch, int length,
                std::int32_t timeout, const char** message) {
  int queued = 0;
  std::int32_t remaining = timeout;
  while (remaining > 0) {
    int previous = queued;
    if (ioctl(fd, FIONREAD, &queued) != 0) {
      *message = kFionreadFailed;
      return -1;
    }
    if (queued >= length) break;
    SleepMicroseconds(kStepMicroseconds);
    // Any new byte renews the timeout: it bounds silence, not the transfer.
    remaining = queued != previous ? timeout : CountDown(remaining);
  }
  if (queued < length) {
    *message = kReadLengthNotAvailable;
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

int SendFlowControlled(int fd, bool watchDsr, const jbyte* data, int count,
                       std::int32_t timeout, const char** message) {
  std::int32_t remaining = timeout;
  int sent = 0;
  ssize_t last = 0;
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
    last = WriteRestarting(fd, data + sent, static_cast<std::size_t>(block));
    if (last == -1) break;
    sent += static_cast<int>(last);
    if (DrainOutput(fd) != 0) break;
    if (last >= 1) remaining = timeout;
  }
  if (last == -1) {
    *message = kWriteFailed;
    return 0;
  }
  return sent;
}

int SendOffline(int fd, const jbyte* data, int count, std::int32_t timeout,
                const char** message) {
  std::int32_t remaining = timeout;
  int sent = 0;
  while (sent < count && remaining > 0) {
    ssize_t last = WriteRestarting(fd, data + sent, static_cast<std::size_t>(count - sent));
    if (last == -1) {
      *message = kWriteFailed;
      return 0;
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
  return sent;
}

}  // namespace

jint ReceiveSerialData(JNIEnv* env, const SerialPort* port, jbyteArray buffer,
                       jint length, jlong timeout, const char** message) {
  jsize arrayLength = 0;
  if (!ArrayLength(env, buffer, kSerialLookupTexts, &arrayLength, message)) return 0;
  auto* scratch = static_cast<unsigned char*>(AllocateScratch(length, message));
  if (scratch == nullptr) return 0;
  int n = WaitAndRead(port->fd, scratch, length, LowTimeout(timeout), message);
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
