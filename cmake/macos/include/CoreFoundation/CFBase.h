/* CoreFoundation's base types, the allocator and CFRelease. */
#ifndef __COREFOUNDATION_CFBASE__
#define __COREFOUNDATION_CFBASE__ 1

#include <MacTypes.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef signed long CFIndex;
typedef const void* CFTypeRef;
typedef const struct __CFString* CFStringRef;
typedef struct __CFString* CFMutableStringRef;
typedef const struct __CFAllocator* CFAllocatorRef;

extern const CFAllocatorRef kCFAllocatorDefault;
extern const CFAllocatorRef kCFAllocatorSystemDefault;

void CFRelease(CFTypeRef cf);

#ifdef __cplusplus
}
#endif

#endif
