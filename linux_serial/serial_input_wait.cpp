#include "serial_input_wait.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>

#include "posix_wait.h"

namespace vela {
namespace {

constexpr long long kStepMicroseconds = kSerialStepMilliseconds * 1000LL;

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

// How long the missing bytes take at line speed, at most a step.
long long RestAtLineSpeed(int missing, long byteNanoseconds) {
  const long long nanos = static_cast<long long>(missing) * byteNanoseconds;
  return std::clamp((nanos + 999) / 1000, 1LL, kStepMicroseconds);
}

// When the next look at the count is due. With bytes queued poll() would
// answer at once, so the wait sleeps for `pause`. On an empty line that
// poll() watches, the wait sleeps until the first byte or its deadline; a
// long poll() may end a thousandth of its time late, so the last step of a
// quiet wait is a poll of its own and the wait ends at its deadline.
Deadline NextLook(bool polled, long long pauseMicroseconds, const Deadline& idleEnd) {
  if (!polled) return Earliest(DeadlineInMicroseconds(pauseMicroseconds), idleEnd);
  const long long left = MillisecondsLeft(idleEnd);
  return left > 2 * kSerialStepMilliseconds ? DeadlineIn(left - kSerialStepMilliseconds) : idleEnd;
}

}  // namespace

InputWait WaitForQueuedInput(int fd, int length, std::int32_t timeout, long byteNanoseconds) {
  if (timeout <= 0) return length <= 0 ? InputWait::kQueued : InputWait::kTimedOut;
  int queued = 0;
  if (!CountQueued(fd, &queued)) return InputWait::kCountFailed;
  if (queued >= length) return InputWait::kQueued;
  bool pollWorks = PollSeesFirstByte(fd);
  Deadline idleEnd = DeadlineIn(timeout);
  // Once bytes come in, the next look is due when the rest would be there
  // at line speed: a reply sent byte by byte is taken within a byte time
  // of its last byte, with a look or two for the whole reply. While the
  // count stands still the next look waits as long again as the line has
  // been quiet, up to a step: a byte after a pause is taken within that
  // pause's length, and a slow stream costs a few looks per byte, not one
  // per byte time. Bytes queued before the call may be the start of a reply.
  long long pause = queued > 0 ? RestAtLineSpeed(length - queued, byteNanoseconds) : kStepMicroseconds;
  long long quiet = 0;  // slept since the count last changed
  for (;;) {
    const bool polled = pollWorks && queued == 0;
    Deadline wakeBy = NextLook(polled, pause, idleEnd);
    if (polled) {
      PollUntil(fd, POLLIN, wakeBy);
    } else {
      SleepUntil(wakeBy);
    }
    const int previous = queued;
    if (!CountQueued(fd, &queued)) return InputWait::kCountFailed;
    if (queued >= length) return InputWait::kQueued;
    if (queued != previous) {
      idleEnd = DeadlineIn(timeout);  // the timeout bounds silence, not the transfer
      pause = RestAtLineSpeed(length - queued, byteNanoseconds);
      quiet = 0;
      continue;
    }
    if (HasPassed(idleEnd)) return InputWait::kTimedOut;
    // poll() answered early with nothing queued: a hang-up, or a line that
    // reports what it has not got. It would answer at once again: plain
    // steps from here.
    if (polled && !HasPassed(wakeBy)) pollWorks = false;
    quiet += pause;
    pause = std::min(quiet, kStepMicroseconds);
  }
}

}  // namespace vela
