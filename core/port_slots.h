// What lets calls from any thread share one library's table: per slot, how
// many calls are inside its record, whether an open or a close is under way,
// and which call has the line; per library, a lock over that bookkeeping and
// a gate that lets one device open or close work at a time.
//
// The lock is held only for a few loads and stores (never across a device
// call), so it is a flag taken with one atomic exchange: a call that meets
// no other call pays two uncontended exchanges per lock. The compiler's
// atomic builtins serve all three toolchains without a threads library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "brief_pause.h"

namespace vela {

struct SlotState {
  std::int32_t users;       // calls inside the record (a close counts itself)
  std::int32_t lineWaiters; // calls waiting for the line
  std::uint8_t opening;     // an open has taken the slot and is still working
  std::uint8_t closing;     // a close has begun: no call gets in, waiters end
  std::uint8_t exchanging;  // a call has the line
};

// Taken with an atomic exchange; a taker that finds it held sleeps briefly
// between looks.
inline void TakeFlag(std::int32_t* flag) {
  for (int spins = 0; __atomic_exchange_n(flag, 1, __ATOMIC_ACQUIRE) != 0; ++spins) {
    if (spins >= 64) PauseBriefly();
  }
}
inline void DropFlag(std::int32_t* flag) { __atomic_store_n(flag, 0, __ATOMIC_RELEASE); }

// The bookkeeping of one library, beside its table.
template <typename Lib>
struct Slots {
  static constexpr std::size_t count = sizeof(Lib::table) / sizeof(Lib::table[0]);
  static SlotState states[count];
  static std::int32_t lock;      // over `states` and the table's marks and names
  static std::int32_t openGate;  // one device open or close at a time

  static std::size_t IndexOf(const typename Lib::Record* port) {
    return static_cast<std::size_t>(port - &Lib::table[0]);
  }
  static SlotState& Of(const typename Lib::Record* port) { return states[IndexOf(port)]; }
};
template <typename Lib>
SlotState Slots<Lib>::states[Slots<Lib>::count];
template <typename Lib>
std::int32_t Slots<Lib>::lock;
template <typename Lib>
std::int32_t Slots<Lib>::openGate;

// Scoped holding of a flag.
struct FlagHold {
  explicit FlagHold(std::int32_t* f) : flag(f) { TakeFlag(flag); }
  ~FlagHold() { DropFlag(flag); }
  FlagHold(const FlagHold&) = delete;
  FlagHold& operator=(const FlagHold&) = delete;
  std::int32_t* flag;
};

// A port's close as a call inside it sees it: true once the close has begun.
// A call's waits look at it between steps and end, so that the close can go
// on; it reaches code that knows only a descriptor.
struct CloseWatch {
  const std::uint8_t* closing;
};
inline bool CloseBegun(const CloseWatch& watch) {
  return __atomic_load_n(watch.closing, __ATOMIC_ACQUIRE) != 0;
}
template <typename Lib>
CloseWatch WatchClose(const typename Lib::Record* port) {
  return {&Slots<Lib>::Of(port).closing};
}

}  // namespace vela
