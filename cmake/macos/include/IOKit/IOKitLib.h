/* IOKit's user library: matching and walking services. As Apple's, it
 * brings mach_task_self() but not mach_port_deallocate (<mach/mach.h>).
 * IOMasterPort is marked deprecated as newer SDKs mark it. */
#ifndef _IOKIT_IOKITLIB_H
#define _IOKIT_IOKITLIB_H

#include <mach/mach_types.h>
#include <mach/mach_init.h>

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFRunLoop.h>

#include <IOKit/IOTypes.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*IOAsyncCallback1)(void* refcon, IOReturn result, void* arg0);

kern_return_t IOMasterPort(mach_port_t bootstrapPort, mach_port_t* mainPort)
    __attribute__((deprecated("Use IOMainPort")));
kern_return_t IOObjectRelease(io_object_t object);
io_object_t IOIteratorNext(io_iterator_t iterator);
/* Consumes one reference to the matching dictionary. */
kern_return_t IOServiceGetMatchingServices(mach_port_t mainPort, CFDictionaryRef matching,
                                           io_iterator_t* existing);
CFMutableDictionaryRef IOServiceMatching(const char* name);

#ifdef __cplusplus
}
#endif

#endif
