// Status lines, IEEE 1284 mode negotiation and the nInit reset pulse.
#pragma once

#include <cstdint>

#include "parallel_port.h"
#include "printer_status.h"

namespace vela {

bool NegotiateMode(const ParallelPort* port, int mode);

// Compatibility mode, then the status lines. Never raises; on failure the
// message names the step that failed.
StatusRead ReadStatusLines(const ParallelPort* port, const char** message);

// The online test that gates every write: any failure reads as offline.
bool getOnlineStatus(const ParallelPort* port);

// nInit low for at least 1 ms, then high again.
bool PulseInit(const ParallelPort* port, const char** message);

}  // namespace vela
