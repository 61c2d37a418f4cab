// Waiting for a number of input bytes to be queued on a serial line.
#pragma once

#include <cstdint>

#include "port_slots.h"

namespace vela {

// The serial library's polling step: how often a wait looks at a line
// whose input stands still, or whose DSR is low.
inline constexpr std::int32_t kSerialStepMilliseconds = 20;

// The line a wait looks at: its descriptor, the eventfd a close of the port
// signals, and that close.
struct LineWatch {
  int fd;
  int wakeFd;
  CloseWatch close;
};

enum class InputWait { kQueued, kTimedOut, kCountFailed, kClosed };

// Waits until at least `length` bytes are queued, without taking any, and
// leaves the line's settings as it found them. The timeout is an idle
// timeout: every change in the queued count seen at a look starts it again.
// The wait sleeps through silence on an empty line until its first byte.
// Once bytes come in it looks again when the missing ones would be there
// at `byteNanoseconds` each; while the count stands still it sleeps until
// the line delivers more, looking at least once per 20 ms step. It gives
// up at its deadline; a timeout of 0 or less gives up at once. A close of the
// port ends the wait at once.
InputWait WaitForQueuedInput(const LineWatch& line, int length, std::int32_t timeout,
                             long byteNanoseconds);

}  // namespace vela
