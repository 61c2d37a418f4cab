// The test's side of an emulated LPT printer: its own handle on the
// driver's device, through which it sets the printer and reads its log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "driver_handle.h"
#include "lpt_control.h"

namespace vela_host {

class EmulatedLpt {
 public:
  // `name` as the library opens it, for example "\\\\.\\VLPT". The printer
  // starts fresh: selected, taking every byte, timeouts all zero.
  explicit EmulatedLpt(const std::string& name) : driver_(name) {
    driver_.Request(VELA_LPT_CLEAR, nullptr, 0, nullptr, 0);
  }

  bool ok() const { return driver_.ok(); }
  void Set(VelaLptField field, int value) {
    VelaLptSetting s = {static_cast<unsigned int>(field), value};
    driver_.Request(VELA_LPT_SET, &s, sizeof(s), nullptr, 0);
  }
  void Feed(const std::vector<char>& bytes) {
    driver_.Request(VELA_LPT_FEED, const_cast<char*>(bytes.data()),
                    static_cast<DWORD>(bytes.size()), nullptr, 0);
  }
  // Counters start after this handle's own open.
  VelaLptState State() {
    VelaLptState s = {};
    driver_.Request(VELA_LPT_GET_STATE, nullptr, 0, &s, sizeof(s));
    return s;
  }
  // Sets the driver's timeouts as another program might have left them.
  void SetTimeouts(COMMTIMEOUTS t) { SetCommTimeouts(driver_.get(), &t); }

 private:
  DriverHandle driver_;
};

}  // namespace vela_host
