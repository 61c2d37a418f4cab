// Waits on POSIX systems that run to their full length: a Java VM sends its
// threads signals (its own suspend signal, profilers, debuggers), and every
// call cut short by one is resumed with the time that remains.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <ctime>

namespace vela {

// A moment on the monotonic clock: a wait that a signal cuts short resumes
// towards the same moment instead of starting its time again.
struct Deadline {
  timespec at;
};

// Now plus `milliseconds` (now for 0 or less).
Deadline DeadlineIn(long long milliseconds);
// Now plus `microseconds` (now for 0 or less), for waits shorter than a
// millisecond.
Deadline DeadlineInMicroseconds(long long microseconds);
// The earlier of the two.
Deadline Earliest(const Deadline& a, const Deadline& b);
bool HasPassed(const Deadline& deadline);
// Whole milliseconds left, 0 once the deadline has passed.
long long MillisecondsLeft(const Deadline& deadline);

// Sleeps until the deadline, signals or not.
void SleepUntil(const Deadline& deadline);

// Polls one descriptor for `events` until the deadline, or until `wakeFd`
// (an eventfd, -1 for none) is signalled; the events the descriptor
// reported (POLLHUP and POLLERR included), or 0 when the deadline or the
// wake-up came first.
short PollUntil(int fd, short events, const Deadline& deadline, int wakeFd = -1);

// Sleeps the whole time, as one step of a polling loop or a line pulse.
void SleepMicroseconds(long microseconds);

// tcdrain, restarted after a signal; the result of the last attempt.
int DrainOutput(int fd);

// read and write, restarted when a signal arrives before any byte moved.
ssize_t ReadRestarting(int fd, void* buffer, std::size_t count);
ssize_t WriteRestarting(int fd, const void* buffer, std::size_t count);

}  // namespace vela
