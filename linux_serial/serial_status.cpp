#include "serial_status.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "posix_wait.h"
#include "serial_config.h"
#include "serial_input_wait.h"
#include "serial_messages.h"
#include "serial_open.h"

namespace vela {
namespace {

// True once the reply's first byte is there; false when the time runs out
// first (at once for a negative time) or a close of the port wakes the wait.
bool WaitForReply(const LineWatch& line, jlong timeout) {
  if (timeout < 0 || CloseBegun(line.close)) return false;
  return (PollUntil(line.fd, POLLIN, DeadlineIn(timeout), line.wakeFd) & POLLIN) != 0;
}

}  // namespace

jbyte QuerySerialStatus(SerialPort* port, unsigned char request, jlong timeout,
                        const char* failure, const char** message) {
  // Worked on a copy, whose settings the query changes for a while. Nothing
  // is put on a descriptor that has come to reach another device.
  SerialPort self = *port;
  const LineWatch line = {self.fd, self.wakeFd, WatchClose<SerialLibrary>(port)};
  const CloseWatch& close = line.close;
  // Speed and character format stay; flow control goes off and stale input
  // is discarded, so the reply read is the printer's answer to this byte.
  const SerialPortSettings temporary = {0, 0, 0, 0, 'n'};
  if (!ConfigureSerialPort(&self, false, &temporary, message)) return 0;
  ssize_t outcome = WriteRestarting(self.fd, &request, 1);
  unsigned char reply = 0;
  if (outcome == 1) {
    outcome = 0;
    if (WaitForReply(line, timeout) && StillSameDevice(self.fd, self.identity)) {
      termios t;
      if (tcgetattr(self.fd, &t) == 0) {
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = static_cast<cc_t>(timeout / 100);
        tcsetattr(self.fd, TCSANOW, &t);
      }
      outcome = ReadRestarting(self.fd, &reply, 1);
    }
  }
  if (!StillSameDevice(self.fd, self.identity)) {
    *message = failure;
    return 0;
  }
  if (!RestorePortSettings(&self, message)) return 0;
  if (EndedByClose(close, kSerialLookupTexts, message)) return 0;
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
