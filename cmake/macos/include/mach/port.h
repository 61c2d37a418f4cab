/* Mach port names. */
#ifndef _MACH_PORT_H_
#define _MACH_PORT_H_

#include <mach/machine/vm_types.h>

typedef natural_t mach_port_name_t;
typedef natural_t mach_port_t;

#define MACH_PORT_NULL 0

#endif
