#include "lpt_status.h"

#include "core_messages.h"

namespace vela {
namespace {

constexpr DWORD kIoctlParQueryInformation = 0x160004;
constexpr DWORD kIoctlParSetInformation = 0x160008;
constexpr unsigned char kParallelSelected = 0x80;
constexpr unsigned char kParallelPaperEmpty = 0x04;
constexpr unsigned char kParallelInit = 0x01;
constexpr DWORD kCePto = 0x0200, kCeIoe = 0x0400, kCeOop = 0x1000, kCeMode = 0x8000;

enum class Reading { kError, kPaperOut, kOther };

// The error word of ClearCommError, masked; a failing call reads as 0.
DWORD CommErrors(HANDLE handle) {
  DWORD errors = 0;
  ClearCommError(handle, &errors, nullptr);
  return errors & 0xFF00;
}

// The status byte of the query request; a failing request leaves the
// preset, a selected printer.
unsigned char ParallelStatus(HANDLE handle) {
  unsigned char info[16] = {kParallelSelected};
  DWORD returned = 0;
  DeviceIoControl(handle, kIoctlParQueryInformation, nullptr, 0, info, sizeof(info), &returned,
                  nullptr);
  return info[0];
}

bool KnownPlatform(const char** message) {
  if (platformId == VER_PLATFORM_WIN32_WINDOWS || platformId == VER_PLATFORM_WIN32_NT) return true;
  *message = kUnsupportedOperation;
  return false;
}

Reading ReadCondition(HANDLE handle) {
  if (platformId == VER_PLATFORM_WIN32_WINDOWS) {
    DWORD errors = CommErrors(handle);
    return errors == kCeIoe ? Reading::kError : errors == kCeOop ? Reading::kPaperOut : Reading::kOther;
  }
  unsigned char status = ParallelStatus(handle);
  return status == 0x00 ? Reading::kError
         : status == kParallelPaperEmpty ? Reading::kPaperOut
                                         : Reading::kOther;
}

}  // namespace

jboolean LptOnline(LptPort* port, const char** message) {
  if (!KnownPlatform(message)) return JNI_FALSE;
  if (platformId == VER_PLATFORM_WIN32_WINDOWS) {
    DWORD errors = CommErrors(port->handle);
    return errors == 0 || errors == kCePto || errors == kCeMode ? JNI_TRUE : JNI_FALSE;
  }
  return ParallelStatus(port->handle) == kParallelSelected ? JNI_TRUE : JNI_FALSE;
}

jbyte LptEnq(LptPort* port, const char** message) {
  if (!KnownPlatform(message)) return 0;
  switch (ReadCondition(port->handle)) {
    case Reading::kError:
      __atomic_store_n(&port->errorReported, 1, __ATOMIC_RELAXED);
      return 0x04;
    case Reading::kPaperOut:
      // Paper out comes with the error bit unless an error was reported.
      return __atomic_load_n(&port->errorReported, __ATOMIC_RELAXED) == 1 ? 0x08 : 0x0C;
    default:
      __atomic_store_n(&port->errorReported, 0, __ATOMIC_RELAXED);
      return 0x00;
  }
}

bool ResetLpt(LptPort* port, const char** message) {
  BOOL ok;
  if (platformId == VER_PLATFORM_WIN32_WINDOWS) {
    ok = EscapeCommFunction(port->handle, RESETDEV);
  } else {
    unsigned char init = kParallelInit;
    DWORD returned = 0;
    ok = DeviceIoControl(port->handle, kIoctlParSetInformation, &init, 1, nullptr, 0, &returned,
                         nullptr);
  }
  if (!ok) *message = kResetFailed;
  return ok != FALSE;
}

}  // namespace vela
