#include "lpt_timeouts.h"

#include "lpt_port.h"

namespace vela {
namespace {

constexpr DWORD kReadConstant = 200;
constexpr DWORD kWriteConstantNt = 2000;
constexpr DWORD kWriteConstant9x = 200;

COMMTIMEOUTS CurrentTimeouts(HANDLE handle) {
  COMMTIMEOUTS t;
  if (!GetCommTimeouts(handle, &t)) t = OpenTimeouts();
  return t;
}

}  // namespace

COMMTIMEOUTS OpenTimeouts() {
  COMMTIMEOUTS t;
  t.ReadIntervalTimeout = 0;
  t.ReadTotalTimeoutMultiplier = 0;
  t.ReadTotalTimeoutConstant = kReadConstant;
  t.WriteTotalTimeoutMultiplier = 10;
  t.WriteTotalTimeoutConstant = platformId == VER_PLATFORM_WIN32_NT ? kWriteConstantNt : kWriteConstant9x;
  return t;
}

void ApplyReceiveTimeout(HANDLE handle, DWORD timeout) {
  COMMTIMEOUTS t = CurrentTimeouts(handle);
  if (timeout >= kReadConstant) t.ReadTotalTimeoutConstant = timeout;
  SetCommTimeouts(handle, &t);
}

void ApplySendTimeout(HANDLE handle, DWORD timeout) {
  COMMTIMEOUTS t = CurrentTimeouts(handle);
  DWORD least = platformId == VER_PLATFORM_WIN32_NT ? kWriteConstantNt : kWriteConstant9x;
  if (timeout >= least) t.WriteTotalTimeoutConstant = timeout;
  SetCommTimeouts(handle, &t);
}

}  // namespace vela
