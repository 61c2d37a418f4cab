// A test body run on a thread of its own, made with CreateThread (the
// i686 toolchain has no std::thread). Each such thread gives the DLL its
// own JniHost, as a VM gives each thread its own JNIEnv. Test fixture.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

namespace vela_host {

class TestThread {
 public:
  explicit TestThread(std::function<void()> body)
      : body_(std::move(body)), handle_(CreateThread(nullptr, 0, &Run, this, 0, nullptr)) {}
  // A thread still running at the end is waited for: the test lets go of
  // whatever holds it first.
  ~TestThread() {
    Join(INFINITE);
    CloseHandle(handle_);
  }
  TestThread(const TestThread&) = delete;
  TestThread& operator=(const TestThread&) = delete;

  // True once the body has returned, waiting at most `ms`.
  bool Join(DWORD ms) { return WaitForSingleObject(handle_, ms) == WAIT_OBJECT_0; }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<TestThread*>(self)->body_();
    return 0;
  }
  std::function<void()> body_;
  HANDLE handle_;
};

// Looks at `done` until it holds, at most `ms`; whether it came to hold.
inline bool WaitUntil(const std::function<bool()>& done, DWORD ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    Sleep(1);
  }
  return true;
}

}  // namespace vela_host
