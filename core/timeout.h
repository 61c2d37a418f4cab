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

}  // namespace vela
