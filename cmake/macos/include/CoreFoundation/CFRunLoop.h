/* CoreFoundation run loops: only the source type the USB interfaces name. */
#ifndef __COREFOUNDATION_CFRUNLOOP__
#define __COREFOUNDATION_CFRUNLOOP__ 1

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFString.h>
#include <mach/port.h>

typedef struct __CFRunLoopSource* CFRunLoopSourceRef;

#endif
