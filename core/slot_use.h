// Entering and leaving a slot, taking its line, and closing it, for calls
// that may run on any thread at once (see port_slots.h for the state).
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstring>

#include "core_messages.h"
#include "port_name.h"
#include "port_slots.h"
#include "port_table.h"

namespace vela {

// What a library need not say: state beyond its table, set up at load and
// given back at unload, a way to end calls blocked in the platform, and
// whether two ports may share a name.
struct PortLibrary {
  static void AtLoad() {}
  static void AtUnload() {}
  // Frees a slot whose device is closed: the whole record zero-filled.
  template <typename Record>
  static void FreeSlot(Record* record) {
    ClearRecord(record);
  }
  // Called while a close waits for the calls inside the port to leave, with
  // the device still open: ends what the platform would otherwise block on.
  template <typename Record>
  static void CutShort(Record*) {}
  // True where the name picks one device among several alike, so that a
  // second port under an open name would reach another device than every
  // lookup of that name does: such an open is refused with `nameInUse`.
  static constexpr bool exclusiveNames = false;
  static constexpr const char* nameInUse = nullptr;
};

// The object's port, entered: its users count this call until LeavePort. A
// port whose close has begun is not found. With `beginClose`, the close
// begins in the same step, so that of two closes only one finds the port.
template <typename Lib>
typename Lib::Record* EnterPort(JNIEnv* env, jobject obj, bool beginClose,
                                const char** message) {
  BorrowedName key;
  if (!BorrowPortNameField(env, obj, Lib::texts, &key, message)) return nullptr;
  typename Lib::Record* found = nullptr;
  {
    FlagHold hold(&Slots<Lib>::lock);
    for (std::size_t i = 0; i < Slots<Lib>::count && found == nullptr; ++i) {
      SlotState& state = Slots<Lib>::states[i];
      if (Lib::table[i].inUse == 0 || state.opening != 0 || state.closing != 0) continue;
      if (!NameFieldEquals(Lib::table[i].name, sizeof(Lib::table[i].name), key.bytes,
                           static_cast<std::size_t>(key.length))) {
        continue;
      }
      found = &Lib::table[i];
      ++state.users;
      if (beginClose) __atomic_store_n(&state.closing, 1, __ATOMIC_RELEASE);
    }
  }
  ReleaseName(env, &key);
  if (found == nullptr) *message = Lib::texts.portNotOpened;
  return found;
}

// True, handing back the library's port-not-opened text, once the port's
// close has begun: the call it cut short ends there and moves nothing more.
inline bool EndedByClose(const CloseWatch& close, const LookupTexts& texts,
                         const char** message) {
  if (!CloseBegun(close)) return false;
  *message = texts.portNotOpened;
  return true;
}
template <typename Lib>
bool EndedByClose(const typename Lib::Record* port, const char** message) {
  return EndedByClose(WatchClose<Lib>(port), Lib::texts, message);
}

// The last call to leave a closed port frees its slot.
template <typename Lib>
void LeavePort(typename Lib::Record* port) {
  FlagHold hold(&Slots<Lib>::lock);
  SlotState& state = Slots<Lib>::Of(port);
  if (--state.users > 0 || state.closing == 0) return;
  Lib::FreeSlot(port);
  __atomic_store_n(&state.closing, 0, __ATOMIC_RELEASE);
  state.exchanging = 0;
}

// Ends the device of a port whose close this call began: calls still inside
// are cut short until they leave, then the device is closed. The slot is
// freed when this call leaves it.
template <typename Lib>
void CloseDeviceWhenAlone(typename Lib::Record* port) {
  for (;;) {
    {
      FlagHold hold(&Slots<Lib>::lock);
      if (Slots<Lib>::Of(port).users <= 1) break;
    }
    // Again on every look: a call may have blocked after the last one.
    Lib::CutShort(port);
    PauseBriefly();
  }
  // Beside no open: opening and closing share the platform's state (a bus
  // list, descriptors kept in reserve).
  FlagHold gate(&Slots<Lib>::openGate);
  Lib::CloseDevice(port);
}

// Closes the port from inside a call that found its device gone. When a
// close has already begun elsewhere, that close ends the device.
template <typename Lib>
void ClosePort(typename Lib::Record* port) {
  {
    FlagHold hold(&Slots<Lib>::lock);
    SlotState& state = Slots<Lib>::Of(port);
    if (state.closing != 0) return;
    __atomic_store_n(&state.closing, 1, __ATOMIC_RELEASE);
  }
  CloseDeviceWhenAlone<Lib>(port);
}

enum class LineTaken { kTaken, kTimedOut, kClosed };

// A limit for calls that have no timeout of their own: they wait until the
// line is free (each holder is bounded by its own timeout) or closed.
inline constexpr long long kUntilLineFree = -1;

// Takes the port's line for one exchange, waiting at most `limitMs` for the
// exchange under way to end. `*waitedMs` is how long it waited. A free line
// goes to the calls already waiting before a newcomer, so that a thread
// sending back to back cannot keep a status poll out until its timeout.
template <typename Lib>
LineTaken TakeLine(typename Lib::Record* port, long long limitMs, long long* waitedMs) {
  const Tick start = TickNow();
  *waitedMs = 0;
  bool waiting = false;
  for (;;) {
    const bool late = limitMs >= 0 && *waitedMs >= limitMs;
    {
      FlagHold hold(&Slots<Lib>::lock);
      SlotState& state = Slots<Lib>::Of(port);
      const bool free = state.exchanging == 0 && (waiting || state.lineWaiters == 0);
      if (state.closing != 0 || free || late) {
        if (waiting) --state.lineWaiters;
        if (state.closing != 0) return LineTaken::kClosed;
        if (!free) return LineTaken::kTimedOut;
        state.exchanging = 1;
        return LineTaken::kTaken;
      }
      if (!waiting) ++state.lineWaiters;
      waiting = true;
    }
    PauseBriefly();
    *waitedMs = MillisecondsSince(start);
  }
}

template <typename Lib>
void ReleaseLine(typename Lib::Record* port) {
  FlagHold hold(&Slots<Lib>::lock);
  Slots<Lib>::Of(port).exchanging = 0;
}

// True when a port that is open, opening or closing has the name in `field`.
template <typename Lib>
bool NameHeld(const char* field) {
  FlagHold hold(&Slots<Lib>::lock);
  for (std::size_t i = 0; i < Slots<Lib>::count; ++i) {
    if (Lib::table[i].inUse != 0 &&
        NameFieldEquals(Lib::table[i].name, sizeof(Lib::table[i].name), field,
                        std::strlen(field))) {
      return true;
    }
  }
  return false;
}

}  // namespace vela
