// The record of one open Windows USB port, the library's table and texts.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "native_method.h"
#include "windows_cancel_io.h"

namespace vela {

inline constexpr LookupTexts kWindowsUsbLookupTexts = {
    "JNI_FAULT                    Unexcepted JNI fault.",
    "PORT_NOT_OPENED              Port not opened.",
};
inline constexpr const char kCreateFileFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to CreateFile failed.";
inline constexpr const char kDeviceGone[] =
    "DEVICE_CONNECTION_CLOSED     no device - attempt reopen";
inline constexpr const char kEnqFailed[] =
    "COMM_FAILURE                 Could not get ENQ status due to communications failure.";

inline constexpr std::size_t kPortNameField = 260;
// "\\.\" and either the port name or an interface key name less its first
// four characters (registry key names stop at 255).
inline constexpr std::size_t kDevicePathField = 4 + kPortNameField;

struct WindowsUSBPort {
  std::int32_t inUse;
  char name[kPortNameField];
  char devicePath[kDevicePathField];  // what CreateFileA opened
  HANDLE handle;
};

inline constexpr std::size_t kUsbSlots = 20;
extern WindowsUSBPort usbPorts[kUsbSlots];
// dwPlatformId at load: only VER_PLATFORM_WIN32_NT sets timeouts through
// SetCommTimeouts.
extern DWORD platformId;

// Resolves the name into a device path, opens it and gives it the driver
// timeouts; only a failing CreateFileA fails.
bool OpenUsbDevice(WindowsUSBPort* port, const char** message);

struct WindowsUsbLibrary : PortLibrary {
  using Record = WindowsUSBPort;
  static constexpr auto& table = usbPorts;
  static constexpr const LookupTexts& texts = kWindowsUsbLookupTexts;
  static void CloseDevice(WindowsUSBPort* port) { CloseHandle(port->handle); }
  static void ReleaseAtUnload(WindowsUSBPort* port) { CloseHandle(port->handle); }
  // A read or write the driver holds (a write may take 50 s) ends now.
  static void CutShort(WindowsUSBPort* port) { CancelTransfersOn(port->handle); }
  // Only the mark goes: name and path stay until the slot is claimed again.
  static void FreeSlot(WindowsUSBPort* port) { port->inUse = 0; }
};

}  // namespace vela
