#include "parallel_status.h"

#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include "parallel_messages.h"
#include "printer_status.h"
#include "posix_wait.h"

namespace vela {

bool NegotiateMode(const ParallelPort* port, int mode) {
  return ioctl(port->fd, PPNEGOT, &mode) == 0;
}

StatusRead ReadStatusLines(const ParallelPort* port, const char** message) {
  if (!NegotiateMode(port, IEEE1284_MODE_COMPAT)) {
    *message = kCompatNegotiationFailed;
    return {false, 0};
  }
  unsigned char lines = 0;
  if (ioctl(port->fd, PPRSTATUS, &lines) != 0) {
    *message = kPprstatusFailed;
    return {false, 0};
  }
  return {true, lines};
}

bool getOnlineStatus(const ParallelPort* port) {
  const char* ignored = nullptr;
  return OnlineAnswer(ReadStatusLines(port, &ignored)) == JNI_TRUE;
}

bool PulseInit(const ParallelPort* port, const char** message) {
  if (!NegotiateMode(port, IEEE1284_MODE_COMPAT)) {
    *message = kCompatNegotiationFailed;
    return false;
  }
  struct ppdev_frob_struct frob = {PARPORT_CONTROL_INIT, 0};
  bool ok = ioctl(port->fd, PPFCONTROL, &frob) == 0;
  if (ok) {
    SleepMicroseconds(1000);
    frob.val = PARPORT_CONTROL_INIT;
    ok = ioctl(port->fd, PPFCONTROL, &frob) == 0;
  }
  if (!ok) *message = kPpfcontrolFailed;
  return ok;
}

}  // namespace vela
