// Load and unload of a library on ELF systems: its init and fini entries,
// which dlopen and dlclose run.
#pragma once

#include "native_method.h"

#define VELA_PORT_LIBRARY_LIFETIME(Lib)                                               \
  __attribute__((constructor)) static void VelaLibraryLoad() {                       \
    ::vela::ClearPortsAtLoad<Lib>();                                                 \
  }                                                                                  \
  __attribute__((destructor)) static void VelaLibraryUnload() {                      \
    ::vela::CloseAllPortsAtUnload<Lib>();                                            \
  }
