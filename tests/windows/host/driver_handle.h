// The test's own handle on an emulated driver's device, through which it
// sends the driver's private control requests.
#pragma once

#include <windows.h>

#include <string>

namespace vela_host {

class DriverHandle {
 public:
  // `path` as CreateFileA takes it, for example "\\\\.\\VLPT".
  explicit DriverHandle(const std::string& path)
      : handle_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~DriverHandle() { CloseHandle(handle_); }
  DriverHandle(const DriverHandle&) = delete;
  DriverHandle& operator=(const DriverHandle&) = delete;

  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  void Request(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize) {
    DWORD returned = 0;
    DeviceIoControl(handle_, code, in, inSize, out, outSize, &returned, nullptr);
  }

 private:
  HANDLE handle_;
};

}  // namespace vela_host
