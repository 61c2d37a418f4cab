/* What the library uses of <stdlib.h>. */
#ifndef _STDLIB_H_
#define _STDLIB_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

void* malloc(size_t size);
void free(void* ptr);

#ifdef __cplusplus
}
#endif

#endif
