/* Mach's call interfaces. */
#ifndef _MACH_INTERFACE_H_
#define _MACH_INTERFACE_H_

#include <mach/mach_port.h>

#endif
