// The static table of open ports that each library keeps, over its own
// record type. A record is any struct whose first members are an in-use
// mark `inUse` and a zero-padded name field `name`.
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstring>

#include "core_messages.h"
#include "port_name.h"

namespace vela {

// Index of the lowest free slot, or -1 when every slot is in use.
template <typename Record, std::size_t Slots>
int FindFreeSlot(const Record (&table)[Slots]) {
  for (std::size_t i = 0; i < Slots; ++i) {
    if (table[i].inUse == 0) return static_cast<int>(i);
  }
  return -1;
}

// The first slot in use whose stored name is exactly the object's
// `portName`. Never raises: on failure the message to raise is handed back.
template <typename Record, std::size_t Slots>
Record* FindPortFromObj(JNIEnv* env, jobject obj, Record (&table)[Slots],
                        const LookupTexts& texts, const char** message) {
  BorrowedName key;
  if (!BorrowPortNameField(env, obj, texts, &key, message)) return nullptr;
  Record* found = nullptr;
  for (std::size_t i = 0; i < Slots && found == nullptr; ++i) {
    if (table[i].inUse != 0 &&
        NameFieldEquals(table[i].name, sizeof(table[i].name), key.bytes,
                        static_cast<std::size_t>(key.length))) {
      found = &table[i];
    }
  }
  ReleaseName(env, &key);
  if (found == nullptr) *message = texts.portNotOpened;
  return found;
}

template <typename Record>
void ClearRecord(Record* record) {
  std::memset(static_cast<void*>(record), 0, sizeof(Record));
}

template <typename Record, std::size_t Slots>
void ClearTable(Record (&table)[Slots]) {
  std::memset(static_cast<void*>(table), 0, sizeof(table));
}

}  // namespace vela
