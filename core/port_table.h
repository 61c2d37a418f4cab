// The static table of open ports that each library keeps, over its own
// record type. A record is any struct whose first members are an in-use
// mark `inUse` and a zero-padded name field `name`.
#pragma once

#include <cstddef>
#include <cstring>

namespace vela {

// Index of the lowest free slot, or -1 when every slot is in use.
template <typename Record, std::size_t Slots>
int FindFreeSlot(const Record (&table)[Slots]) {
  for (std::size_t i = 0; i < Slots; ++i) {
    if (table[i].inUse == 0) return static_cast<int>(i);
  }
  return -1;
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
