#include "watchdog.h"

#include <cstdio>

namespace vela_hostile {
namespace {

// How often the watchdog looks at the clock.
constexpr DWORD kPollMs = 50;

}  // namespace

Watchdog::Watchdog(const std::string& context) : context_(context) {
  InitializeCriticalSection(&lock_);
  quit_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

Watchdog::~Watchdog() {
  SetEvent(quit_);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  CloseHandle(quit_);
  DeleteCriticalSection(&lock_);
}

void Watchdog::Arm(long call, DWORD limitMs) {
  EnterCriticalSection(&lock_);
  armed_ = true;
  call_ = call;
  limit_ = limitMs;
  start_ = GetTickCount64();
  LeaveCriticalSection(&lock_);
}

void Watchdog::Disarm() {
  EnterCriticalSection(&lock_);
  armed_ = false;
  LeaveCriticalSection(&lock_);
}

DWORD WINAPI Watchdog::Run(LPVOID self) {
  Watchdog* w = static_cast<Watchdog*>(self);
  while (WaitForSingleObject(w->quit_, kPollMs) == WAIT_TIMEOUT) {
    EnterCriticalSection(&w->lock_);
    bool late = w->armed_ && GetTickCount64() - w->start_ > w->limit_;
    long call = w->call_;
    DWORD limit = w->limit_;
    LeaveCriticalSection(&w->lock_);
    if (late) {
      std::fprintf(stderr, "hostile: %s call %ld: hang, no return within %lu ms\n",
                   w->context_.c_str(), call, static_cast<unsigned long>(limit));
      std::fflush(stderr);
      ExitProcess(4);
    }
  }
  return 0;
}

}  // namespace vela_hostile
