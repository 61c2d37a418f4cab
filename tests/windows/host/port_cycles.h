// A till's thread on one printer: opens its port, sends three pieces and
// closes it, again and again for a while, on a JniHost of its own. Two of
// these side by side show whether the DLL keeps each thread to its port.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "jni_host.h"
#include "port_dll.h"
#include "test_thread.h"

namespace vela_host {

struct PortCycles {
  std::string name;
  unsigned opens = 0, sent = 0;
  std::string faults;  // every message raised, and any JNI misuse
};

// Runs `cycles` on two threads for `ms`, each seeded from `seed`. A piece is
// 1 to `maxPiece` bytes of one value, sent with `timeout`; `onSent` sees
// each piece with the count the DLL reported.
inline void CycleTwoPorts(PortDll& dll, PortCycles (&cycles)[2], unsigned seed, DWORD ms,
                          unsigned maxPiece, jlong timeout,
                          const std::function<void(int, const std::vector<jbyte>&)>& onSent) {
  const DWORD began = GetTickCount();
  auto drive = [&](int which, unsigned r) {
    PortCycles* d = &cycles[which];
    JniHost h;
    while (GetTickCount() - began < ms) {
      std::size_t mark = h.Mark();
      jobject port = h.NewPort(h.NewString(d->name));
      std::string m;
      dll.OpenPort(h, port, h.NewString(d->name), nullptr, &m);
      d->faults += m;
      if (m.empty()) {
        ++d->opens;
        for (int k = 0; k < 3; ++k) {
          r = r * 1103515245u + 12345u;
          std::vector<jbyte> bytes((r >> 16) % maxPiece + 1, static_cast<jbyte>(r >> 8));
          jint n = static_cast<jint>(bytes.size());
          d->sent += dll.SendData(h, port, h.NewByteArray(bytes), n, timeout, &m);
          onSent(which, bytes);
          d->faults += m;
        }
        dll.ClosePort(h, port, &m);
        d->faults += m;
      }
      h.DropSince(mark);
    }
    d->faults += h.misuse();
  };
  TestThread a([&] { drive(0, seed); }), b([&] { drive(1, seed * 7); });
}

}  // namespace vela_host
