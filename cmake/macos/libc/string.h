/* What the library uses of <string.h>. */
#ifndef _STRING_H_
#define _STRING_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

void* memcpy(void* dst, const void* src, size_t n);
void* memmove(void* dst, const void* src, size_t n);
void* memset(void* b, int c, size_t len);
int memcmp(const void* s1, const void* s2, size_t n);
size_t strlen(const char* s);

#ifdef __cplusplus
}
#endif

#endif
