// Whether the driver still has a printer behind an open port, and what is
// done with a port whose printer has gone.
#pragma once

#include "printer_status.h"
#include "usb_port.h"

namespace vela {

// One status request; the byte that comes back, if any.
StatusRead ReadDriverStatus(WindowsUSBPort* port);

// Present while the driver answers the status request with a byte. When it
// does not, the port is closed (its slot freed) and the device-gone text
// handed back; when the port's close has begun meanwhile (which cancels
// the request), the port-not-opened text.
bool DeviceConnected(WindowsUSBPort* port, const char** message);

}  // namespace vela
