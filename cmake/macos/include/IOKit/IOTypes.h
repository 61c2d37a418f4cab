/* IOKit's object handles, which are Mach ports. */
#ifndef __IOKIT_IOTYPES_H
#define __IOKIT_IOTYPES_H

#include <mach/message.h>
#include <IOKit/IOReturn.h>
#include <libkern/OSTypes.h>

typedef mach_port_t io_object_t;
typedef io_object_t io_iterator_t;
typedef io_object_t io_service_t;

#endif
