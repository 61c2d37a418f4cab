// Load and unload of a Windows port DLL: its DllMain. Load clears the table
// and records the platform family, and refuses the load when the family
// cannot be learnt; unload closes the ports left open.
#pragma once

#include <windows.h>

#include "native_method.h"

static_assert(sizeof(OSVERSIONINFOA) == 148, "GetVersionExA is handed a 148-byte record");

#define VELA_WINDOWS_PORT_LIBRARY_LIFETIME(Lib, platformIdVariable)         \
  extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {        \
    if (reason == DLL_PROCESS_ATTACH) {                                    \
      ::vela::ClearPortsAtLoad<Lib>();                                     \
      OSVERSIONINFOA version = {};                                         \
      version.dwOSVersionInfoSize = sizeof(version);                       \
      if (!GetVersionExA(&version)) return FALSE;                          \
      platformIdVariable = version.dwPlatformId;                           \
    } else if (reason == DLL_PROCESS_DETACH) {                             \
      ::vela::CloseAllPortsAtUnload<Lib>();                                \
    }                                                                      \
    return TRUE;                                                           \
  }
