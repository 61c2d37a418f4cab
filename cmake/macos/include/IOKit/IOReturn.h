/* IOKit's return codes. As Apple's, it brings only <mach/error.h>. */
#ifndef __IOKIT_IORETURN_H
#define __IOKIT_IORETURN_H

#include <mach/error.h>

typedef kern_return_t IOReturn;

#define sys_iokit err_system(0x38)
#define sub_iokit_common err_sub(0)
#define sub_iokit_usb err_sub(1)
#define iokit_common_err(return) (sys_iokit | sub_iokit_common | return)

#define kIOReturnSuccess KERN_SUCCESS
#define kIOReturnError iokit_common_err(0x2bc)
#define kIOReturnNoDevice iokit_common_err(0x2c0)
#define kIOReturnExclusiveAccess iokit_common_err(0x2c5)
#define kIOReturnNotOpen iokit_common_err(0x2cd)
#define kIOReturnTimeout iokit_common_err(0x2d6)
#define kIOReturnAborted iokit_common_err(0x2eb)

#endif
