// Waits on POSIX systems that run to their full length: a Java VM sends its
// threads signals (its own suspend signal, profilers, debuggers), and every
// call cut short by one is resumed with the time that remains.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace vela {

// Sleeps the whole time, as one step of a polling loop or a line pulse.
void SleepMicroseconds(long microseconds);

// True once the descriptor has input, false when `milliseconds` pass
// without any (at once for a negative time, as select does).
bool WaitReadable(int fd, long long milliseconds);

// tcdrain, restarted after a signal; the result of the last attempt.
int DrainOutput(int fd);

// read and write, restarted when a signal arrives before any byte moved.
ssize_t ReadRestarting(int fd, void* buffer, std::size_t count);
ssize_t WriteRestarting(int fd, const void* buffer, std::size_t count);

}  // namespace vela
