#include "handle_count.h"

#include <windows.h>

#include <vector>

namespace vela_hostile {
namespace {

// SYSTEM_HANDLE_INFORMATION as the native API fills it.
struct HandleEntry {
  ULONG processId;
  UCHAR objectType;
  UCHAR flags;
  USHORT handle;
  PVOID object;
  ACCESS_MASK access;
};
struct HandleTable {
  ULONG count;
  HandleEntry entries[1];
};

using QuerySystem = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);

}  // namespace

long ProcessHandles() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (ntdll == nullptr) return -1;
  auto query = reinterpret_cast<QuerySystem>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
  if (query == nullptr) return -1;
  std::vector<char> buffer(1 << 16);
  LONG status;
  for (;;) {
    ULONG needed = 0;
    status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status != kLengthMismatch || buffer.size() > (1u << 26)) break;
    buffer.resize(needed > buffer.size() ? needed + 4096 : buffer.size() * 2);
  }
  if (status != 0) return -1;
  const HandleTable* table = reinterpret_cast<const HandleTable*>(buffer.data());
  const ULONG self = GetCurrentProcessId();
  long held = 0;
  for (ULONG i = 0; i < table->count; ++i) held += table->entries[i].processId == self;
  return held;
}

}  // namespace vela_hostile
