/* The layout of Mach error codes: system, subsystem, code. */
#ifndef _MACH_ERROR_H_
#define _MACH_ERROR_H_

#include <mach/kern_return.h>

#define err_system(x) ((signed)((((unsigned)(x)) & 0x3f) << 26))
#define err_sub(x) (((x) & 0xfff) << 14)

#endif
