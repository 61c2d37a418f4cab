/* Mach's object types. */
#ifndef _MACH_MACH_TYPES_H_
#define _MACH_MACH_TYPES_H_

#include <mach/port.h>

typedef mach_port_t task_t;
typedef mach_port_t ipc_space_t;

#endif
