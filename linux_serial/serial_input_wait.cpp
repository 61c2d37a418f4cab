#include "serial_input_wait.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

#include "posix_wait.h"

namespace vela {
namespace {

bool CountQueued(int fd, int* queued) { return ioctl(fd, FIONREAD, queued) == 0; }

// In non-canonical mode with VTIME 0, poll() reports input only once VMIN
// bytes are queued. The wait never changes VMIN or VTIME: a process that
// dies mid-wait would leave them on the line, and the kernel keeps them
// across close. A line whose settings hide single bytes from poll() is
// looked at step by step instead.
bool PollSeesFirstByte(int fd) {
  termios t;
  if (tcgetattr(fd, &t) != 0) return false;
  return (t.c_lflag & ICANON) == 0 && (t.c_cc[VTIME] != 0 || t.c_cc[VMIN] <= 1);
}

// When the next look at the count is due: a step on while bytes come in;
// while the line is quiet, its deadline. A long poll() may end a thousandth
// of its time late, so the last step of a quiet wait is a poll of its own
// and the wait ends at its deadline.
Deadline NextLook(bool arriving, const Deadline& idleEnd) {
  if (arriving) return Earliest(DeadlineIn(kSerialStepMilliseconds), idleEnd);
  const long long left = MillisecondsLeft(idleEnd);
  return left > 2 * kSerialStepMilliseconds ? DeadlineIn(left - kSerialStepMilliseconds) : idleEnd;
}

}  // namespace

InputWait WaitForQueuedInput(const LineWatch& line, int length, std::int32_t timeout) {
  const int fd = line.fd;
  if (timeout <= 0) return length <= 0 ? InputWait::kQueued : InputWait::kTimedOut;
  int queued = 0;
  if (!CountQueued(fd, &queued)) return InputWait::kCountFailed;
  if (queued >= length) return InputWait::kQueued;
  bool pollWorks = PollSeesFirstByte(fd);
  Deadline idleEnd = DeadlineIn(timeout);
  // While the line is empty and quiet the wait sleeps until its first byte
  // or the deadline. Once bytes are queued poll() would answer at once, so
  // the wait looks once a step (a slow stream costs no wake-up per byte).
  bool arriving = false;
  for (;;) {
    if (CloseBegun(line.close)) return InputWait::kClosed;
    const bool polled = pollWorks && queued == 0;
    Deadline wakeBy = NextLook(arriving || !polled, idleEnd);
    if (polled) {
      PollUntil(fd, POLLIN, wakeBy, line.wakeFd);
    } else {
      SleepUntil(wakeBy);
    }
    const int previous = queued;
    if (!CountQueued(fd, &queued)) return InputWait::kCountFailed;
    if (queued >= length) return InputWait::kQueued;
    if (queued != previous) {
      idleEnd = DeadlineIn(timeout);  // the timeout bounds silence, not the transfer
      arriving = true;
      continue;
    }
    if (HasPassed(idleEnd)) return InputWait::kTimedOut;
    // poll() answered early with nothing queued: a hang-up, or a line that
    // reports what it has not got. It would answer at once again: plain
    // steps from here. (A close's wake-up ends the wait at the next look.)
    if (polled && !HasPassed(wakeBy)) pollWorks = false;
    arriving = false;
  }
}

}  // namespace vela
