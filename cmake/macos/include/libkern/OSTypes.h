/* The fixed-size types (LP64: SInt32 is an int), which IOKit's IOTypes.h
 * brings this way and CoreFoundation's CFBase.h through MacTypes.h. */
#ifndef _OS_OSTYPES_H
#define _OS_OSTYPES_H

typedef unsigned char UInt8;
typedef signed char SInt8;
typedef unsigned short UInt16;
typedef signed short SInt16;
typedef unsigned int UInt32;
typedef signed int SInt32;
typedef unsigned long long UInt64;
typedef signed long long SInt64;
typedef unsigned char Boolean;

typedef struct UnsignedWide {
  UInt32 lo;
  UInt32 hi;
} UnsignedWide;
typedef UnsignedWide AbsoluteTime;

#endif
