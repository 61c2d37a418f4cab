#include "watchdog.h"

#include <cstdio>

namespace vela_hostile {

Watchdog::Watchdog(const std::string& context) : context_(context) {
  armed_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  done_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

Watchdog::~Watchdog() {
  quit_ = true;
  SetEvent(armed_);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  CloseHandle(armed_);
  CloseHandle(done_);
}

void Watchdog::Arm(long call, DWORD limitMs) {
  call_ = call;
  limit_ = limitMs;
  SetEvent(armed_);
}

void Watchdog::Disarm() { SetEvent(done_); }

DWORD WINAPI Watchdog::Run(LPVOID self) {
  Watchdog* w = static_cast<Watchdog*>(self);
  for (;;) {
    WaitForSingleObject(w->armed_, INFINITE);
    if (w->quit_) return 0;
    if (WaitForSingleObject(w->done_, w->limit_) == WAIT_TIMEOUT) {
      std::fprintf(stderr, "hostile: %s call %ld: hang, no return within %lu ms\n",
                   w->context_.c_str(), w->call_, static_cast<unsigned long>(w->limit_));
      std::fflush(stderr);
      ExitProcess(4);
    }
  }
}

}  // namespace vela_hostile
