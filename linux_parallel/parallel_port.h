// The record of one open parallel port and the library's table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "native_method.h"
#include "parallel_messages.h"

namespace vela {

struct ParallelPort {
  std::uint8_t inUse;
  char name[100];  // key of the lookup and the ppdev path
  std::int32_t fd;  // claimed from open to close
};

inline constexpr std::size_t kParallelSlots = 20;
extern ParallelPort parallelPorts[kParallelSlots];

// Opens the record's device non-blocking and claims the port.
bool OpenParallelDevice(ParallelPort* record, const char** message);

struct ParallelLibrary : PortLibrary {
  using Record = ParallelPort;
  static constexpr auto& table = parallelPorts;
  static constexpr const LookupTexts& texts = kParallelLookupTexts;
  // Releases the claim and closes the descriptor, at close and at unload.
  static void CloseDevice(ParallelPort* port);
  static void ReleaseAtUnload(ParallelPort* port) { CloseDevice(port); }
};

}  // namespace vela
