/* The fixed-size types that IOKit's IOTypes.h brings; the same as
 * MacTypes.h, which defines them first when both are included. */
#ifndef _OS_OSTYPES_H
#define _OS_OSTYPES_H

#ifndef __MACTYPES__
typedef unsigned char UInt8;
typedef signed char SInt8;
typedef unsigned short UInt16;
typedef signed short SInt16;
typedef unsigned int UInt32;
typedef signed int SInt32;
typedef unsigned long long UInt64;
typedef signed long long SInt64;
typedef unsigned char Boolean;
#endif

#endif
