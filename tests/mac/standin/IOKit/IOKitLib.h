/* Stand-in for the part of IOKitLib.h that the macOS USB library uses, with
 * Apple's names and types. IOMasterPort is marked deprecated as newer SDKs
 * mark it. Test fixture, never shipped. */
#ifndef VELA_STANDIN_IOKITLIB_H
#define VELA_STANDIN_IOKITLIB_H

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOReturn.h>
#include <mach/mach.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef mach_port_t io_object_t;
typedef io_object_t io_iterator_t;
typedef io_object_t io_service_t;

kern_return_t IOMasterPort(mach_port_t bootstrapPort, mach_port_t* masterPort)
    __attribute__((deprecated("Use IOMainPort")));
CFMutableDictionaryRef IOServiceMatching(const char* name);
kern_return_t IOServiceGetMatchingServices(mach_port_t masterPort, CFDictionaryRef matching,
                                           io_iterator_t* existing);
io_object_t IOIteratorNext(io_iterator_t iterator);
kern_return_t IOObjectRelease(io_object_t object);

#ifdef __cplusplus
}
#endif

#endif
