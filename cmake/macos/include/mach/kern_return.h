/* Mach's result type. */
#ifndef _MACH_KERN_RETURN_H_
#define _MACH_KERN_RETURN_H_

typedef int kern_return_t;

#define KERN_SUCCESS 0

#endif
