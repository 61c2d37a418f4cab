// The printer's status byte, laid out like a parallel port's status
// register, as the USB printer reports it and the parallel port reads it.
#pragma once

#include <jni.h>

#include <cstdint>

namespace vela {

inline constexpr std::uint8_t kStatusNoError = 0x08;  // nFault inactive
inline constexpr std::uint8_t kStatusOnline = 0x10;   // Select
inline constexpr std::uint8_t kStatusPaperOut = 0x20;  // PError

inline constexpr std::uint8_t kEnqError = 0x04;
inline constexpr std::uint8_t kEnqPaperOut = 0x08;

inline bool OnlineFromStatus(std::uint8_t status) {
  return (status & kStatusOnline) != 0;
}

// The one-byte ENQ answer: error and paper out only, never the online bit.
inline std::uint8_t EnqFromStatus(std::uint8_t status) {
  std::uint8_t answer = 0;
  if ((status & kStatusNoError) == 0) answer |= kEnqError;
  if ((status & kStatusPaperOut) != 0) answer |= kEnqPaperOut;
  return answer;
}

// A status byte as a port's reader got it; `ok` false when the reader
// handed back a message instead.
struct StatusRead {
  bool ok;
  std::uint8_t status;
};

inline jbyte EnqAnswer(StatusRead read) {
  return read.ok ? static_cast<jbyte>(EnqFromStatus(read.status)) : 0;
}

inline jboolean OnlineAnswer(StatusRead read) {
  return read.ok && OnlineFromStatus(read.status) ? JNI_TRUE : JNI_FALSE;
}

}  // namespace vela
