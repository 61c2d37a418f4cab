// A thread that ends the process when one native call outlives its limit,
// naming the call, so that a hang fails the run instead of stalling it.
#pragma once

#include <windows.h>

#include <string>

namespace vela_hostile {

class Watchdog {
 public:
  // `context` is printed with every report (the seed, the replay hint).
  explicit Watchdog(const std::string& context);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // Around each call: it must end within `limitMs`.
  void Arm(long call, DWORD limitMs);
  void Disarm();

 private:
  static DWORD WINAPI Run(LPVOID self);
  std::string context_;
  HANDLE quit_, thread_;
  CRITICAL_SECTION lock_;
  bool armed_ = false;
  long call_ = 0;
  DWORD limit_ = 0;
  ULONGLONG start_ = 0;
};

}  // namespace vela_hostile
