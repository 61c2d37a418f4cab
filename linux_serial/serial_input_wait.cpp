#include "serial_input_wait.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

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

// The line's deliveries of input. poll() answers at once while any byte is
// queued; edge-triggered epoll wakes on each delivery, bytes queued or not,
// and on a close of the port. Set up the first time a wait needs it.
class Deliveries {
 public:
  Deliveries(int fd, int wakeFd) : fd_(fd), wakeFd_(wakeFd) {}
  ~Deliveries() {
    if (epoll_ >= 0) close(epoll_);
  }
  Deliveries(const Deliveries&) = delete;
  Deliveries& operator=(const Deliveries&) = delete;

  // False when the line cannot be watched.
  bool Watch() {
    if (epoll_ < 0 && !failed_) {
      epoll_ = epoll_create1(EPOLL_CLOEXEC);
      epoll_event event{};
      event.events = EPOLLIN | EPOLLET;
      epoll_event wake{};
      wake.events = EPOLLIN;
      if (epoll_ >= 0 && (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd_, &event) != 0 ||
                          (wakeFd_ >= 0 && epoll_ctl(epoll_, EPOLL_CTL_ADD, wakeFd_, &wake) != 0))) {
        close(epoll_);
        epoll_ = -1;
      }
      failed_ = epoll_ < 0;
    }
    return epoll_ >= 0;
  }

  // Sleeps until the next delivery or the deadline; true when epoll
  // answered. Its answer may stand for a delivery the last look counted
  // already, or, right after setup, for the bytes queued then.
  bool WaitUntil(const Deadline& deadline) {
    epoll_event event;
    int ready;
    do {
      // Rounded up: epoll counts whole milliseconds.
      const long long ms = std::min<long long>(MillisecondsLeft(deadline) + 1, std::numeric_limits<int>::max());
      ready = epoll_wait(epoll_, &event, 1, static_cast<int>(ms));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
  }

 private:
  int fd_;
  int wakeFd_;
  int epoll_ = -1;
  bool failed_ = false;
};

}  // namespace

InputWait WaitForQueuedInput(const LineWatch& line, int length, std::int32_t timeout,
                             long byteNanoseconds) {
  const int fd = line.fd;
  if (timeout <= 0) return length <= 0 ? InputWait::kQueued : InputWait::kTimedOut;
  int queued = 0;
  if (!CountQueued(fd, &queued)) return InputWait::kCountFailed;
  if (queued >= length) return InputWait::kQueued;
  bool pollWorks = PollSeesFirstByte(fd);
  Deadline idleEnd = DeadlineIn(timeout);
  Deliveries deliveries(fd, line.wakeFd);
  // While bytes come in, the next look is due when the rest would be there
  // at line speed: a reply sent byte by byte is taken within a byte time of
  // its last byte, after a look or two. A look that finds nothing new waits
  // for the line's next delivery, at most a step: a late byte is taken when
  // it comes, and a slow stream costs two looks a byte. Bytes queued before
  // the call may be the start of a reply.
  bool arriving = queued > 0;
  int emptyAnswers = 0;  // epoll answers in a row with nothing new
  for (;;) {
    if (CloseBegun(line.close)) return InputWait::kClosed;
    const bool polled = pollWorks && queued == 0;
    const bool watched = !polled && !arriving && pollWorks && deliveries.Watch();
    const long long pause = arriving ? RestAtLineSpeed(length - queued, byteNanoseconds) : kStepMicroseconds;
    Deadline wakeBy = NextLook(polled, pause, idleEnd);
    bool answered = false;
    if (polled) {
      PollUntil(fd, POLLIN, wakeBy, line.wakeFd);
    } else if (watched) {
      answered = deliveries.WaitUntil(wakeBy);
    } else {
      SleepUntil(wakeBy);
    }
    const int previous = queued;
    if (!CountQueued(fd, &queued)) return InputWait::kCountFailed;
    if (queued >= length) return InputWait::kQueued;
    if (queued != previous) {
      idleEnd = DeadlineIn(timeout);  // the timeout bounds silence, not the transfer
      arriving = true;
      emptyAnswers = 0;
      continue;
    }
    if (HasPassed(idleEnd)) return InputWait::kTimedOut;
    if (CloseBegun(line.close)) return InputWait::kClosed;  // woken by the close
    // poll() answered early with nothing queued, or epoll twice in a row
    // with nothing new: a hang-up, or a line that reports what it has not
    // got. It would answer at once again: plain steps from here.
    emptyAnswers = answered ? emptyAnswers + 1 : 0;
    if ((polled && !HasPassed(wakeBy)) || emptyAnswers == 2) pollWorks = false;
    arriving = false;
  }
}

}  // namespace vela
