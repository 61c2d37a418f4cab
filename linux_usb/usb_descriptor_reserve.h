// libusb-0.1 waits for a bulk transfer with select() on the device's
// descriptor, and glibc aborts the process when that descriptor is
// FD_SETSIZE (1024) or above, as it is in a VM holding a thousand files.
// So the library keeps low descriptor numbers in reserve from its load on,
// and frees one just before libusb opens the device: open() takes the
// lowest free number.
#pragma once

#include <usb.h>

namespace vela {

// Load: takes free numbers below FD_SETSIZE, one per slot of the table.
void FillDescriptorReserve();
// Unload: gives them all back.
void EmptyDescriptorReserve();

// Just before usb_open: one reserved number is freed for it.
void FreeReservedDescriptor();

// After usb_open: if another thread took the freed number first, moves the
// handle's descriptor below FD_SETSIZE. False when no low number is free
// (the open must then fail). Then tops the reserve up again.
bool KeepDescriptorSelectable(usb_dev_handle* handle, struct usb_device* dev);

}  // namespace vela
