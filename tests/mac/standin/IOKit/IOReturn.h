/* Stand-in for IOKit's return codes that the macOS USB library uses.
 * Test fixture, never shipped. */
#ifndef VELA_STANDIN_IORETURN_H
#define VELA_STANDIN_IORETURN_H

#include <mach/mach.h>

typedef kern_return_t IOReturn;

#define sys_iokit (((unsigned)(0x38 & 0x3f)) << 26)
#define sub_iokit_common (((unsigned)(0 & 0xfff)) << 14)
#define iokit_common_err(return) ((IOReturn)(sys_iokit | sub_iokit_common | (return)))

#define kIOReturnSuccess KERN_SUCCESS
#define kIOReturnError iokit_common_err(0x2bc)
#define kIOReturnNoDevice iokit_common_err(0x2c0)
#define kIOReturnTimeout iokit_common_err(0x2d6)
#define kIOReturnExclusiveAccess iokit_common_err(0x2c5)

#endif
