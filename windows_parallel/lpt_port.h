// The record of one open LPT port, the library's table and flags.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "native_method.h"
#include "windows_cancel_io.h"

namespace vela {

inline constexpr LookupTexts kLptLookupTexts = {
    "JNI_FAULT                    Unexpected JNI fault.",
    "PORT_NOT_OPENED              Port not opened.",
};
inline constexpr const char kCreateFileFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to CreateFile failed.";
inline constexpr const char kResetFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call for reset failed.";

struct LptPort {
  std::int32_t inUse;
  char name[260];  // key of the lookup and the file name opened
  HANDLE handle;
  // 1 after an ENQ answer of 0x04, 0 after 0x00; status calls of several
  // threads read and set it at once.
  std::int32_t errorReported;
};

inline constexpr std::size_t kLptSlots = 20;
inline constexpr int kTimeoutKeys = 9;

extern LptPort lptPorts[kLptSlots];
// Set at the first open of a name with that key; only a reload clears it.
extern std::int32_t timeoutsSet[kTimeoutKeys];
// dwPlatformId at load: 1 the Windows 95 family, 2 the NT family.
extern DWORD platformId;

// The key of a name: the number its bytes hold from the fifth on, read as
// atoi would; -1 when it falls outside the flags.
int TimeoutKey(const char (&name)[260]);

bool OpenLptDevice(LptPort* record, const char** message);

struct LptLibrary : PortLibrary {
  using Record = LptPort;
  static constexpr auto& table = lptPorts;
  static constexpr const LookupTexts& texts = kLptLookupTexts;
  static void CloseDevice(LptPort* port) { CloseHandle(port->handle); }
  static void ReleaseAtUnload(LptPort* port) { CloseHandle(port->handle); }
  // A read or write held by the driver under the port's timeouts ends now.
  static void CutShort(LptPort* port) { CancelTransfersOn(port->handle); }
  static void AtLoad();
};

}  // namespace vela
