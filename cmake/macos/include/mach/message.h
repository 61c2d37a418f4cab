/* What IOKit's IOTypes.h takes from Mach's message header. */
#ifndef _MACH_MESSAGE_H_
#define _MACH_MESSAGE_H_

#include <mach/kern_return.h>
#include <mach/port.h>

#endif
