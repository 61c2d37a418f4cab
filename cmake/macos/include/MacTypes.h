/* The fixed-size types of MacTypes.h (LP64: SInt32 is an int). */
#ifndef __MACTYPES__
#define __MACTYPES__

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
