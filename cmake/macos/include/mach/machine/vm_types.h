/* Mach's natural integer types (the same on arm64 and x86_64). */
#ifndef _MACH_MACHINE_VM_TYPES_H_
#define _MACH_MACHINE_VM_TYPES_H_

typedef unsigned int natural_t;
typedef int integer_t;

#endif
