/* CoreFoundation dictionaries: what a matching dictionary needs. */
#ifndef __COREFOUNDATION_CFDICTIONARY__
#define __COREFOUNDATION_CFDICTIONARY__ 1

#include <CoreFoundation/CFBase.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef const struct __CFDictionary* CFDictionaryRef;
typedef struct __CFDictionary* CFMutableDictionaryRef;

/* Retains key and value. */
void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value);

#ifdef __cplusplus
}
#endif

#endif
