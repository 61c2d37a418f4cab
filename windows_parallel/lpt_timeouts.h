// The communication timeouts of an LPT port: what an open sets, and what
// a receive or a send changes.
#pragma once

#include <windows.h>

#include <jni.h>

namespace vela {

static_assert(sizeof(COMMTIMEOUTS) == 20, "COMMTIMEOUTS as the driver reads it");

// Java timeouts count with their low 32 bits, unsigned.
inline DWORD LowUnsigned(jlong timeout) { return static_cast<DWORD>(timeout & 0xFFFFFFFF); }

COMMTIMEOUTS OpenTimeouts();

// The port's timeouts (the open ones when they cannot be read), with the
// read constant raised to a timeout of 200 or more.
void ApplyReceiveTimeout(HANDLE handle, DWORD timeout);

// The same for the write constant: from 2000 on on the NT family, from 200
// on otherwise.
void ApplySendTimeout(HANDLE handle, DWORD timeout);

}  // namespace vela
