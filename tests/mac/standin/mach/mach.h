/* Stand-in for the Mach port calls that the macOS USB library uses, with
 * Apple's names and types. Test fixture, never shipped. */
#ifndef VELA_STANDIN_MACH_H
#define VELA_STANDIN_MACH_H

#ifdef __cplusplus
extern "C" {
#endif

typedef int kern_return_t;
typedef unsigned int natural_t;
typedef natural_t mach_port_t;
typedef natural_t mach_port_name_t;
typedef mach_port_t ipc_space_t;

#define KERN_SUCCESS 0
#define MACH_PORT_NULL ((mach_port_t)0)

extern mach_port_t mach_task_self_;
#define mach_task_self() mach_task_self_

kern_return_t mach_port_deallocate(ipc_space_t task, mach_port_name_t name);

#ifdef __cplusplus
}
#endif

#endif
