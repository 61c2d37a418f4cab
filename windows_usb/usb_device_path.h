// Where the printer maker's driver can be opened for a port name.
#pragma once

#include <cstddef>

namespace vela {

// Writes into `path` (of `size` bytes) "\\.\" and the name, or, when the
// driver's bus enumerator carries the name and a present device interface
// belongs to its device, "\\.\" and that interface's symbolic name. Every
// registry or Setup API failure leaves the plain path; nothing is raised.
void ResolveDevicePath(const char* name, char* path, std::size_t size);

}  // namespace vela
