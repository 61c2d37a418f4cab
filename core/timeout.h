// Java timeouts are longs of milliseconds; the Linux transports count with
// their low 32 bits taken as a signed number.
#pragma once

#include <jni.h>

#include <cstdint>

namespace vela {

inline std::int32_t LowTimeout(jlong timeout) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(
      static_cast<std::uint64_t>(timeout) & 0xFFFFFFFFu));
}

// How long a call with this timeout waits for another call's exchange on
// its line: the low 32 bits, none for 0 or less.
inline long long LineWaitOf(jlong timeout) {
  const std::int32_t ms = LowTimeout(timeout);
  return ms > 0 ? ms : 0;
}

}  // namespace vela
