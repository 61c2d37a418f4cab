// The test's side of an emulated USB printer: its own handle on the
// driver's device, through which it sets the printer and reads its log;
// and the registry entries that the printer maker's bus enumerator makes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "driver_handle.h"
#include "usb_control.h"

namespace vela_host {

class EmulatedUsb {
 public:
  // `device` as the driver names it, for example "QDXUSB001". The printer
  // starts fresh: online, no error, taking every byte, answering status.
  explicit EmulatedUsb(const std::string& device) : driver_("\\\\.\\" + device) {
    driver_.Request(VELA_USB_CLEAR, nullptr, 0, nullptr, 0);
  }

  bool ok() const { return driver_.ok(); }
  void Set(VelaUsbField field, int value) {
    VelaUsbSetting s = {static_cast<unsigned int>(field), value};
    driver_.Request(VELA_USB_SET, &s, sizeof(s), nullptr, 0);
  }
  // How many bytes each of the next writes takes (-1: all of them).
  void Accept(std::vector<int> takes) {
    driver_.Request(VELA_USB_ACCEPT, takes.data(),
                    static_cast<DWORD>(takes.size() * sizeof(int)), nullptr, 0);
  }
  void Feed(std::vector<char> bytes) {
    driver_.Request(VELA_USB_FEED, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, 0);
  }
  // Counters start after this handle's own open.
  VelaUsbState State() {
    VelaUsbState s = {};
    driver_.Request(VELA_USB_GET_STATE, nullptr, 0, &s, sizeof(s));
    return s;
  }
  std::vector<unsigned> Writes() {
    VelaUsbState s = State();
    return std::vector<unsigned>(s.log, s.log + (s.logged < VELA_USB_LOG ? s.logged : VELA_USB_LOG));
  }

 private:
  DriverHandle driver_;
};

// FNV-1a of bytes, as the driver sums what it takes; `h` carries on a sum.
inline unsigned TakenHash(const std::vector<signed char>& bytes, unsigned h = VELA_FNV_BASIS) {
  for (signed char b : bytes) h = (h ^ static_cast<unsigned char>(b)) * VELA_FNV_PRIME;
  return h;
}

// Registry keys under HKEY_LOCAL_MACHINE that a test adds, deleted again
// (with everything under them) when it ends.
class TestKeys {
 public:
  TestKeys() = default;
  ~TestKeys() {
    for (auto it = added_.rbegin(); it != added_.rend(); ++it) {
      RegDeleteTreeA(HKEY_LOCAL_MACHINE, it->c_str());
    }
  }
  TestKeys(const TestKeys&) = delete;
  TestKeys& operator=(const TestKeys&) = delete;

  // Creates `path` and sets its string `value` (if named) to `data`, which
  // is stored with `length` bytes (default: with its zero).
  bool Set(const std::string& path, const std::string& value, const std::string& data,
           DWORD length = 0) {
    HKEY key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, &disposition) != ERROR_SUCCESS) {
      return false;
    }
    if (disposition == REG_CREATED_NEW_KEY) added_.push_back(path);
    LONG r = ERROR_SUCCESS;
    if (!value.empty()) {
      r = RegSetValueExA(key, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         length != 0 ? length : static_cast<DWORD>(data.size() + 1));
    }
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
  }

  // The names of the subkeys of `path`, in the order the registry lists them.
  static std::vector<std::string> Subkeys(const std::string& path) {
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return names;
    }
    char name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = sizeof(name);
      if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
  }

 private:
  std::vector<std::string> added_;
};

}  // namespace vela_host
