// Status and reset of an LPT printer, by the platform family found at load.
#pragma once

#include <jni.h>

#include "lpt_port.h"

namespace vela {

// True when the printer is on line; the unsupported text on a platform
// that is neither the Windows 95 nor the NT family.
jboolean LptOnline(LptPort* port, const char** message);

// The one-byte ENQ answer (0x04 error, 0x08 paper out), keeping the port's
// error-reported flag.
jbyte LptEnq(LptPort* port, const char** message);

// EscapeCommFunction(RESETDEV) on the Windows 95 family, the parallel
// port's Init request elsewhere.
bool ResetLpt(LptPort* port, const char** message);

}  // namespace vela
