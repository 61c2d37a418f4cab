#include "posix_wait.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <limits>

namespace vela {
namespace {

constexpr long kNanosPerSecond = 1000000000L;

// Far enough to be forever.
constexpr long long kLongestSeconds = 1LL << 40;

timespec Now() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now;
}

// A deadline past the end of time_t is clamped to its last second: with a
// 32-bit time_t (armhf) that is still about 68 years away, forever for any
// wait, where a wrapped sum would be no time at all.
timespec Later(timespec from, long long seconds, long nanos) {
  const long long room =
      static_cast<long long>(std::numeric_limits<time_t>::max()) - from.tv_sec - 1;
  if (seconds > kLongestSeconds) seconds = kLongestSeconds;
  if (seconds > room) seconds = room;
  from.tv_sec += static_cast<time_t>(seconds);
  from.tv_nsec += nanos;
  if (from.tv_nsec >= kNanosPerSecond) {
    from.tv_nsec -= kNanosPerSecond;
    ++from.tv_sec;
  }
  return from;
}

// Time left until the deadline, zero once it has passed.
timespec Remaining(const timespec& deadline) {
  timespec now = Now();
  timespec left = {0, 0};
  if (now.tv_sec > deadline.tv_sec ||
      (now.tv_sec == deadline.tv_sec && now.tv_nsec >= deadline.tv_nsec)) {
    return left;
  }
  left.tv_sec = deadline.tv_sec - now.tv_sec;
  left.tv_nsec = deadline.tv_nsec - now.tv_nsec;
  if (left.tv_nsec < 0) {
    left.tv_nsec += kNanosPerSecond;
    --left.tv_sec;
  }
  return left;
}

}  // namespace

Deadline DeadlineIn(long long milliseconds) {
  if (milliseconds <= 0) return {Now()};
  return {Later(Now(), milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L)};
}

Deadline DeadlineInMicroseconds(long long microseconds) {
  if (microseconds <= 0) return {Now()};
  return {Later(Now(), microseconds / 1000000, static_cast<long>(microseconds % 1000000) * 1000L)};
}

Deadline Earliest(const Deadline& a, const Deadline& b) {
  if (a.at.tv_sec != b.at.tv_sec) return a.at.tv_sec < b.at.tv_sec ? a : b;
  return a.at.tv_nsec <= b.at.tv_nsec ? a : b;
}

bool HasPassed(const Deadline& deadline) {
  const timespec left = Remaining(deadline.at);
  return left.tv_sec == 0 && left.tv_nsec == 0;
}

long long MillisecondsLeft(const Deadline& deadline) {
  const timespec left = Remaining(deadline.at);
  return static_cast<long long>(left.tv_sec) * 1000 + left.tv_nsec / 1000000L;
}

void SleepUntil(const Deadline& deadline) {
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline.at, nullptr) == EINTR) {
  }
}

short PollUntil(int fd, short events, const Deadline& deadline, int wakeFd) {
  // A negative descriptor is passed over by poll: no wake-up then.
  struct pollfd pfd[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
  int ready;
  do {
    // ppoll, not select: descriptors above FD_SETSIZE are safe.
    const timespec left = Remaining(deadline.at);
    pfd[0].revents = 0;
    pfd[1].revents = 0;
    ready = ppoll(pfd, 2, &left, nullptr);
  } while (ready < 0 && errno == EINTR);
  return ready > 0 ? pfd[0].revents : 0;
}

void SleepMicroseconds(long microseconds) {
  if (microseconds <= 0) return;
  SleepUntil(DeadlineInMicroseconds(microseconds));
}

int DrainOutput(int fd) {
  int result;
  do {
    result = tcdrain(fd);
  } while (result != 0 && errno == EINTR);
  return result;
}

ssize_t ReadRestarting(int fd, void* buffer, std::size_t count) {
  ssize_t got;
  do {
    got = read(fd, buffer, count);
  } while (got < 0 && errno == EINTR);
  return got;
}

ssize_t WriteRestarting(int fd, const void* buffer, std::size_t count) {
  ssize_t put;
  do {
    put = write(fd, buffer, count);
  } while (put < 0 && errno == EINTR);
  return put;
}

}  // namespace vela
