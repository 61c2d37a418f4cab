#include "serial_input_wait.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "posix_wait.h"

namespace vela {
namespace {

// The largest VMIN the terminal interface can hold.
constexpr int kMostWakeBytes = 255;

bool CountQueued(int fd, int* queued) { return ioctl(fd, FIONREAD, queued) == 0; }

int SetAttributes(int fd, const termios& t) {
  int result;
  do {
    result = tcsetattr(fd, TCSANOW, &t);
  } while (result != 0 && errno == EINTR);
  return result;
}

// In non-canonical mode with VTIME 0, poll() reports input only once VMIN
// bytes are queued, so a wait can sleep until the bytes it needs are there.
// VMIN and VTIME are the port's own again when the wait ends, whichever
// way it ends.
class WakeThreshold {
 public:
  explicit WakeThreshold(int fd) : fd_(fd) {
    known_ = tcgetattr(fd, &saved_) == 0;
    current_ = saved_;
  }
  ~WakeThreshold() {
    if (changed_) SetAttributes(fd_, saved_);
  }
  WakeThreshold(const WakeThreshold&) = delete;
  WakeThreshold& operator=(const WakeThreshold&) = delete;

  // False when the line would not take it.
  bool Set(int bytes) {
    if (!known_) return false;
    const cc_t vmin = static_cast<cc_t>(bytes);
    if (current_.c_cc[VMIN] == vmin && current_.c_cc[VTIME] == 0) return true;
    termios t = current_;
    t.c_cc[VMIN] = vmin;
    t.c_cc[VTIME] = 0;
    if (SetAttributes(fd_, t) != 0) return false;
    current_ = t;
    changed_ = true;
    return true;
  }

 private:
  int fd_;
  termios saved_{};
  termios current_{};
  bool known_ = false;
  bool changed_ = false;
};

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

InputWait WaitForQueuedInput(int fd, int length, std::int32_t timeout) {
  if (timeout <= 0) return length <= 0 ? InputWait::kQueued : InputWait::kTimedOut;
  int queued = 0;
  if (!CountQueued(fd, &queued)) return InputWait::kCountFailed;
  if (queued >= length) return InputWait::kQueued;
  WakeThreshold threshold(fd);
  Deadline idleEnd = DeadlineIn(timeout);
  // While the line is quiet the wait sleeps until its next byte or the
  // deadline; while bytes come in it looks once a step (so that a slow
  // stream costs no wake-up per byte) and wakes when the whole length is
  // there.
  bool arriving = false;
  bool pollWorks = true;
  for (;;) {
    const int wanted = arriving ? length : queued + 1;
    const int vmin = wanted < kMostWakeBytes ? wanted : kMostWakeBytes;
    Deadline wakeBy = NextLook(arriving, idleEnd);
    if (pollWorks && queued < vmin && threshold.Set(vmin)) {
      PollUntil(fd, POLLIN, wakeBy);
    } else {
      wakeBy = NextLook(true, idleEnd);
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
    // poll() answered early with no new byte: a hang-up, or a line that
    // ignores VMIN. It would answer at once again: plain steps from here.
    if (!HasPassed(wakeBy)) pollWorks = false;
    arriving = false;
  }
}

}  // namespace vela
