/* Mach's umbrella header. */
#ifndef _MACH_H_
#define _MACH_H_

#include <mach/mach_types.h>
#include <mach/mach_interface.h>
#include <mach/mach_init.h>

#endif
