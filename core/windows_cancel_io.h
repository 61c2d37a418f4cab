// Ending the synchronous transfers other threads have under way on a
// Windows handle, so that a close need not wait out a read or write the
// driver would hold for its whole timeout.
#pragma once

#include <windows.h>

namespace vela {

// CancelIoEx, looked up at each use: Windows before Vista has none, and the
// DLLs must load there too (a transfer then runs to its own timeout). Every
// transfer on the handle ends, whichever thread made it; each fails with
// ERROR_OPERATION_ABORTED.
inline void CancelTransfersOn(HANDLE handle) {
  using CancelIoExFunction = BOOL(WINAPI*)(HANDLE, LPOVERLAPPED);
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  if (kernel == nullptr) return;
  auto cancel = reinterpret_cast<CancelIoExFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "CancelIoEx")));
  if (cancel != nullptr) cancel(handle, nullptr);
}

}  // namespace vela
