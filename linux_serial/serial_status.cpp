#include "serial_status.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "serial_config.h"
#include "serial_messages.h"
#include "timeout.h"

namespace vela {
namespace {

// Waits for the reply as a select with timeout/1000 s and the rest in
// microseconds would, but through ppoll so that descriptors above
// FD_SETSIZE are safe. A negative time fails, as select does.
bool WaitReadable(int fd, jlong timeout) {
  struct timespec ts;
  ts.tv_sec = static_cast<time_t>(timeout / 1000);
  ts.tv_nsec = static_cast<long>(timeout % 1000) * 1000000L;
  if (ts.tv_sec < 0 || ts.tv_nsec < 0) return false;
  struct pollfd pfd = {fd, POLLIN, 0};
  return ppoll(&pfd, 1, &ts, nullptr) == 1 && (pfd.revents & POLLIN) != 0;
}

}  // namespace

jbyte QuerySerialStatus(SerialPort* port, unsigned char request, jlong timeout,
                        const char* failure, const char** message) {
  // Speed and character format stay; flow control goes off and stale input
  // is discarded, so the reply read is the printer's answer to this byte.
  const SerialPortSettings temporary = {0, 0, 0, 0, 'n'};
  if (!ConfigureSerialPort(port, false, &temporary, message)) return 0;
  ssize_t outcome = write(port->fd, &request, 1);
  unsigned char reply = 0;
  if (outcome == 1) {
    outcome = 0;
    if (WaitReadable(port->fd, timeout)) {
      termios t;
      if (tcgetattr(port->fd, &t) == 0) {
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = static_cast<cc_t>(timeout / 100);
        tcsetattr(port->fd, TCSANOW, &t);
      }
      outcome = read(port->fd, &reply, 1);
    }
  }
  if (!RestorePortSettings(port, message)) return 0;
  if (outcome != 1) {
    *message = failure;
    return 0;
  }
  return static_cast<jbyte>(reply);
}

bool SerialOnline(const SerialPort* port, const char** message) {
  if (port->settings.flowControl == 'x') {
    *message = kOnlineWithXonXoff;
    return false;
  }
  int lines = 0;
  if (ioctl(port->fd, TIOCMGET, &lines) != 0) {
    *message = kTiocmgetFailed;
    return false;
  }
  return (lines & TIOCM_DSR) != 0;
}

bool PulseDtr(const SerialPort* port, const char** message) {
  int lines = 0;
  bool ok = ioctl(port->fd, TIOCMGET, &lines) == 0;
  if (ok) {
    lines &= ~TIOCM_DTR;
    ok = ioctl(port->fd, TIOCMSET, &lines) == 0;
  }
  if (ok) {
    SleepMicroseconds(10000);
    lines |= TIOCM_DTR;
    ok = ioctl(port->fd, TIOCMSET, &lines) == 0;
  }
  if (!ok) *message = kTiocmgetOrSetFailed;
  return ok;
}

}  // namespace vela
