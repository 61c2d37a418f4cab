/* jni.h includes <stdio.h> but uses nothing of it. */
#ifndef _STDIO_H_
#define _STDIO_H_

#endif
