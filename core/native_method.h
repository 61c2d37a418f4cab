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
// (with AtLoad() and AtUnload() where it keeps state beyond its table), and
// each entry point is then one line of its own transport work.
#pragma once

#include <jni.h>

#include <cstring>

#include "core_messages.h"
#include "port_name.h"
#include "port_table.h"
#include "raise.h"

namespace vela {

// What a library need not say: state beyond its table, set up at load and
// given back at unload.
struct PortLibrary {
  static void AtLoad() {}
  static void AtUnload() {}
  // Frees a slot whose device is closed: the whole record zero-filled.
  template <typename Record>
  static void FreeSlot(Record* record) {
    ClearRecord(record);
  }
};

// Looks the object's port up, runs `work(port, &message)` on it and raises
// the one message that lookup or work handed back; after raising, the
// neutral value (0, false) is returned whatever the work gave.
template <typename Lib, typename Work>
auto OnPort(JNIEnv* env, jobject obj, Work work) {
  using Result = decltype(work(static_cast<typename Lib::Record*>(nullptr),
                               static_cast<const char**>(nullptr)));
  const char* message = nullptr;
  typename Lib::Record* port = FindPortFromObj(env, obj, Lib::table, Lib::texts, &message);
  Result result{};
  if (port != nullptr) result = work(port, &message);
  if (message == nullptr) return result;
  Raise(env, message);
  return Result{};
}

// Takes the lowest free slot, builds the record aside (`prepare` before the
// name is copied, `open` after) and stores it only when all of it worked,
// so that a failed open leaves the table as it was.
template <typename Lib, typename Prepare, typename Open>
void OpenPortInFreeSlot(JNIEnv* env, jstring portName, Prepare prepare, Open open) {
  int slot = FindFreeSlot(Lib::table);
  if (slot < 0) return Raise(env, kTooManyPorts);
  typename Lib::Record record = {};
  record.inUse = 1;
  const char* message = nullptr;
  if (!prepare(&record, &message) ||
      !CopyNameIntoField(env, portName, record.name, sizeof(record.name), Lib::texts,
                         &message) ||
      !open(&record, &message)) {
    return Raise(env, message);
  }
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
template <typename Lib, typename Open>
void OpenPortInClaimedSlot(JNIEnv* env, jstring portName, Open open) {
  int slot = FindFreeSlot(Lib::table);
  if (slot < 0) return Raise(env, kTooManyPorts);
  typename Lib::Record& port = Lib::table[slot];
  char name[sizeof(port.name)];
  const char* message = nullptr;
  if (!CopyNameIntoField(env, portName, name, sizeof(name), Lib::texts, &message)) {
    return Raise(env, message);
  }
  port.inUse = 1;
  std::memcpy(port.name, name, sizeof(name));
  if (open(&port, &message)) return;
  Lib::FreeSlot(&port);
  Raise(env, message);
}

// Closes the port's device and frees its slot.
template <typename Lib>
void ClosePort(typename Lib::Record* port) {
  Lib::CloseDevice(port);
  Lib::FreeSlot(port);
}

// _closePort: the object's port closed, or the lookup's message raised.
template <typename Lib>
void ClosePortOfObject(JNIEnv* env, jobject obj) {
  OnPort<Lib>(env, obj, [](typename Lib::Record* port, const char**) {
    ClosePort<Lib>(port);
    return true;
  });
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
// device; the rest of the record stays as it was.
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
