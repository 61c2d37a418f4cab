#include "serial_input_wait.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "posix_wait.h"

namespace vela {
namespace {

constexpr long long kStepMilliseconds = 20;
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
// bytes are queued: the wait wakes when the whole reply is there, not at
// every byte. VMIN and VTIME are the port's own again when this ends,
// whichever way the wait ends.
class WakeThreshold {
 public:
  WakeThreshold(int fd, int length) : fd_(fd) {
    if (tcgetattr(fd, &saved_) != 0) return;
    const cc_t wanted = static_cast<cc_t>(length < kMostWakeBytes ? length : kMostWakeBytes);
    if (saved_.c_cc[VMIN] == wanted && saved_.c_cc[VTIME] == 0) return;
    termios t = saved_;
    t.c_cc[VMIN] = wanted;
    t.c_cc[VTIME] = 0;
    changed_ = SetAttributes(fd, t) == 0;
  }
  ~WakeThreshold() {
    if (changed_) SetAttributes(fd_, saved_);
  }
  WakeThreshold(const WakeThreshold&) = delete;
  WakeThreshold& operator=(const WakeThreshold&) = delete;

 private:
  int fd_;
  termios saved_{};
  bool changed_ = false;
};

}  // namespace

InputWait WaitForQueuedInput(int fd, int length, std::int32_t timeout) {
  if (timeout <= 0) return length <= 0 ? InputWait::kQueued : InputWait::kTimedOut;
  int queued = 0;
  if (!CountQueued(fd, &queued)) return InputWait::kCountFailed;
  if (queued >= length) return InputWait::kQueued;
  WakeThreshold threshold(fd, length);
  Deadline idleEnd = DeadlineIn(timeout);
  bool wakeOnInput = true;
  for (;;) {
    const Deadline stepEnd = Earliest(DeadlineIn(kStepMilliseconds), idleEnd);
    if (!wakeOnInput) {
      SleepUntil(stepEnd);
    } else if (PollUntil(fd, POLLIN, stepEnd) != 0 && !HasPassed(stepEnd)) {
      int now = 0;
      if (!CountQueued(fd, &now)) return InputWait::kCountFailed;
      if (now >= length) return InputWait::kQueued;
      // Woken short of the length: more bytes wanted than VMIN holds, a
      // hang-up, or a threshold the line refused. poll() would keep
      // answering at once, so the rest of the wait goes in plain steps.
      wakeOnInput = false;
      SleepUntil(stepEnd);
    }
    const int previous = queued;
    if (!CountQueued(fd, &queued)) return InputWait::kCountFailed;
    if (queued >= length) return InputWait::kQueued;
    if (queued != previous) {
      idleEnd = DeadlineIn(timeout);  // the timeout bounds silence, not the transfer
    } else if (HasPassed(idleEnd)) {
      return InputWait::kTimedOut;
    }
  }
}

}  // namespace vela
