/* The task's own port: what IOKitLib.h brings of Mach's calls. */
#ifndef _MACH_INIT_
#define _MACH_INIT_ 1

#include <mach/mach_types.h>

#ifdef __cplusplus
extern "C" {
#endif

extern mach_port_t mach_task_self_;
#define mach_task_self() mach_task_self_

#ifdef __cplusplus
}
#endif

#endif
