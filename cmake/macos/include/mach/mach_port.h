/* Mach port calls. Only <mach/mach.h> brings them: IOKit's headers do not. */
#ifndef _mach_port_user_
#define _mach_port_user_

#include <mach/kern_return.h>
#include <mach/mach_types.h>

#ifdef __cplusplus
extern "C" {
#endif

kern_return_t mach_port_deallocate(ipc_space_t task, mach_port_name_t name);

#ifdef __cplusplus
}
#endif

#endif
