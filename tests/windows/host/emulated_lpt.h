// The test's side of an emulated LPT printer: its own handle on the
// driver's device, through which it sets the printer and reads its log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "lpt_control.h"

namespace vela_host {

class EmulatedLpt {
 public:
  // `name` as the library opens it, for example "\\\\.\\VLPT". The printer
  // starts fresh: selected, taking every byte, timeouts all zero.
  explicit EmulatedLpt(const std::string& name) {
    handle_ = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    Request(VELA_LPT_CLEAR, nullptr, 0, nullptr, 0);
  }
  ~EmulatedLpt() { CloseHandle(handle_); }
  EmulatedLpt(const EmulatedLpt&) = delete;
  EmulatedLpt& operator=(const EmulatedLpt&) = delete;

  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Set(VelaLptField field, int value) {
    VelaLptSetting s = {static_cast<unsigned int>(field), value};
    Request(VELA_LPT_SET, &s, sizeof(s), nullptr, 0);
  }
  void Feed(const std::vector<char>& bytes) {
    Request(VELA_LPT_FEED, const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()),
            nullptr, 0);
  }
  // Counters start after this handle's own open.
  VelaLptState State() {
    VelaLptState s = {};
    Request(VELA_LPT_GET_STATE, nullptr, 0, &s, sizeof(s));
    return s;
  }
  // Sets the driver's timeouts as another program might have left them.
  void SetTimeouts(COMMTIMEOUTS t) { SetCommTimeouts(handle_, &t); }

 private:
  void Request(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize) {
    DWORD returned = 0;
    DeviceIoControl(handle_, code, in, inSize, out, outSize, &returned, nullptr);
  }
  HANDLE handle_;
};

}  // namespace vela_host
