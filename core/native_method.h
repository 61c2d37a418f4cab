// The shapes every JNI entry point shares, once for all libraries. A library
// describes itself in one struct:
//
//   struct SerialLibrary : PortLibrary {
//     using Record = SerialPort;                    // record type of its table
//     static constexpr auto& table = serialPorts;   // its static table
//     static constexpr const LookupTexts& texts = kSerialLookupTexts;
//     static void CloseDevice(Record*);             // _closePort's device work
//     static void ReleaseAtUnload(Record*);         // unload's device work
//   };
//
// (with AtLoad() and AtUnload() where it keeps state beyond its table, and
// CutShort() where a close can end a call blocked in the platform), and each
// entry point is then one line of its own transport work.
//
// Every entry point may be called from any thread at any time. A call works
// on a record only from inside its slot (counted in the slot's users), so a
// close waits for the calls inside to leave before the device goes, and no
// call ever touches a descriptor or handle after it was closed.
#pragma once

#include <jni.h>

#include <cstring>

#include "core_messages.h"
#include "port_name.h"
#include "port_table.h"
#include "raise.h"
#include "slot_use.h"

namespace vela {

// Looks the object's port up, runs `work(port, &message)` on it and raises
// the one message that lookup or work handed back; after raising, the
// neutral value (0, false) is returned whatever the work gave.
template <typename Lib, typename Work>
auto OnPort(JNIEnv* env, jobject obj, Work work) {
  using Result = decltype(work(static_cast<typename Lib::Record*>(nullptr),
                               static_cast<const char**>(nullptr)));
  const char* message = nullptr;
  typename Lib::Record* port = EnterPort<Lib>(env, obj, false, &message);
  Result result{};
  if (port != nullptr) {
    result = work(port, &message);
    LeavePort<Lib>(port);
  }
  if (message == nullptr) return result;
  Raise(env, message);
  return Result{};
}

// OnPort for what puts bytes on the line or takes a reply from it: the work
// runs only while the call has the port's line, so that no status query
// lands inside a receipt and each reply reaches the call that asked for it.
// The wait for the line is bounded by `limitMs` (kUntilLineFree for calls
// without a timeout); a call that waited out its limit ends as `timedOut`
// says, and one whose port was closed meanwhile raises the port-not-opened
// text. The work gets the caller's timeout, less the time spent waiting.
template <typename Lib, typename Work, typename TimedOut>
auto OnExchange(JNIEnv* env, jobject obj, jlong timeout, long long limitMs, Work work,
                TimedOut timedOut) {
  return OnPort<Lib>(env, obj, [&](typename Lib::Record* port, const char** message) {
    using Result = decltype(work(port, timeout, message));
    long long waited = 0;
    switch (TakeLine<Lib>(port, limitMs, &waited)) {
      case LineTaken::kClosed:
        *message = Lib::texts.portNotOpened;
        return Result{};
      case LineTaken::kTimedOut:
        return static_cast<Result>(timedOut(message));
      case LineTaken::kTaken:
        break;
    }
    jlong left = timeout;
    if (waited > 0 && limitMs >= 0) left = limitMs > waited ? limitMs - waited : 0;
    Result result = work(port, left, message);
    ReleaseLine<Lib>(port);
    return result;
  });
}

// The end of a transfer that never had the line, as of one whose timeout
// ran out before anything moved: a count of 0 and no message.
inline jint NothingMoved(const char**) { return 0; }

// OnExchange for calls without a timeout of their own (a reset; the Windows
// USB transfers, which the driver's timeouts bound): `work(port, &message)`
// runs once the line is free, and a close meanwhile raises the
// port-not-opened text.
template <typename Lib, typename Work>
auto OnFreeLine(JNIEnv* env, jobject obj, Work work) {
  using Result = decltype(work(static_cast<typename Lib::Record*>(nullptr),
                               static_cast<const char**>(nullptr)));
  return OnExchange<Lib>(
      env, obj, 0, kUntilLineFree,
      [&](typename Lib::Record* port, jlong, const char** message) { return work(port, message); },
      [](const char**) { return Result{}; });
}

// The lowest free slot, or -1. Opens hold the library's gate, so the slot
// stays free until the open stores its record.
template <typename Lib>
int FreeSlotIndex() {
  FlagHold hold(&Slots<Lib>::lock);
  return FindFreeSlot(Lib::table);
}

// Takes the lowest free slot, builds the record aside (`prepare` before the
// name is copied, `open` after) and stores it only when all of it worked,
// so that a failed open leaves the table as it was. Opens of one library
// run one at a time: device scans share the platform's state.
template <typename Lib, typename Prepare, typename Open>
void OpenPortInFreeSlot(JNIEnv* env, jstring portName, Prepare prepare, Open open) {
  FlagHold gate(&Slots<Lib>::openGate);
  const int slot = FreeSlotIndex<Lib>();
  if (slot < 0) return Raise(env, kTooManyPorts);
  typename Lib::Record record = {};
  record.inUse = 1;
  const char* message = nullptr;
  if (!prepare(&record, &message) ||
      !CopyNameIntoField(env, portName, record.name, sizeof(record.name), Lib::texts,
                         &message)) {
    return Raise(env, message);
  }
  if (Lib::exclusiveNames && NameHeld<Lib>(record.name)) return Raise(env, Lib::nameInUse);
  if (!open(&record, &message)) return Raise(env, message);
  FlagHold hold(&Slots<Lib>::lock);
  Lib::table[slot] = record;
}

template <typename Lib, typename Open>
void OpenPortInFreeSlot(JNIEnv* env, jstring portName, Open open) {
  OpenPortInFreeSlot<Lib>(env, portName,
                          [](typename Lib::Record*, const char**) { return true; }, open);
}

// The other outline of _openPort: the lowest free slot is claimed in place
// (mark and name) before `open` works on it, and freed again when `open`
// fails. A name that does not fit is refused before the slot is touched.
// Lookups pass over the slot until the open has finished.
template <typename Lib, typename Open>
void OpenPortInClaimedSlot(JNIEnv* env, jstring portName, Open open) {
  FlagHold gate(&Slots<Lib>::openGate);
  const int slot = FreeSlotIndex<Lib>();
  if (slot < 0) return Raise(env, kTooManyPorts);
  typename Lib::Record& port = Lib::table[slot];
  char name[sizeof(port.name)];
  const char* message = nullptr;
  if (!CopyNameIntoField(env, portName, name, sizeof(name), Lib::texts, &message)) {
    return Raise(env, message);
  }
  if (Lib::exclusiveNames && NameHeld<Lib>(name)) return Raise(env, Lib::nameInUse);
  {
    FlagHold hold(&Slots<Lib>::lock);
    Slots<Lib>::states[slot].opening = 1;
    port.inUse = 1;
    std::memcpy(port.name, name, sizeof(name));
  }
  const bool opened = open(&port, &message);
  FlagHold hold(&Slots<Lib>::lock);
  Slots<Lib>::states[slot].opening = 0;
  if (opened) return;
  Lib::FreeSlot(&port);
  Raise(env, message);
}

// _closePort: the object's port closed, or the lookup's message raised. A
// call still inside the port is cut short and left to end first; the device
// is closed once the close is alone in the port.
template <typename Lib>
void ClosePortOfObject(JNIEnv* env, jobject obj) {
  const char* message = nullptr;
  typename Lib::Record* port = EnterPort<Lib>(env, obj, true, &message);
  if (port == nullptr) return Raise(env, message);
  CloseDeviceWhenAlone<Lib>(port);
  LeavePort<Lib>(port);
}

// Refuses an operation the transport cannot do, before any lookup.
template <typename Result>
Result Unsupported(JNIEnv* env) {
  Raise(env, kUnsupportedOperation);
  return Result{};
}

// Load: an empty table, and whatever else the library keeps.
template <typename Lib>
void ClearPortsAtLoad() {
  ClearTable(Lib::table);
  Lib::AtLoad();
}

// Unload: in slot order, each port still in use loses its mark and its
// device; the rest of the record stays as it was. No call runs any more.
template <typename Lib>
void CloseAllPortsAtUnload() {
  for (auto& port : Lib::table) {
    if (port.inUse == 0) continue;
    port.inUse = 0;
    Lib::ReleaseAtUnload(&port);
  }
  Lib::AtUnload();
}

}  // namespace vela
