// The clock and the short sleep of the port bookkeeping, on each platform the
// libraries run on: a call that finds another call in its way sleeps a
// millisecond and looks again. Such waits only happen under contention, and
// polling keeps one implementation for all three platforms (the oldest
// Windows the DLLs load on has no condition variables).
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <time.h>
#endif

namespace vela {

#if defined(_WIN32)
using Tick = DWORD;
inline Tick TickNow() { return GetTickCount(); }
// Unsigned difference: right across the tick count's wrap every 49 days.
inline long long MillisecondsSince(Tick start) {
  return static_cast<long long>(static_cast<DWORD>(GetTickCount() - start));
}
inline void PauseBriefly() { Sleep(1); }
#else
using Tick = long long;
inline Tick TickNow() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000L;
}
inline long long MillisecondsSince(Tick start) { return TickNow() - start; }
inline void PauseBriefly() {
  const timespec step = {0, 1000000L};
  nanosleep(&step, nullptr);
}
#endif

}  // namespace vela
