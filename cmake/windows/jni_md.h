/* The JNI machine definitions of 32-bit Windows, for the cross-build (the
 * JDK here carries only Linux's). JNIEXPORT is empty: the exports, in the
 * decorated form a 32-bit VM looks up, come from a generated .def file. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#define JNIEXPORT
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
