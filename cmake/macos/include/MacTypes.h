/* MacTypes.h: the same fixed-size types as libkern/OSTypes.h, which is
 * their one home here. */
#ifndef __MACTYPES__
#define __MACTYPES__

#include <libkern/OSTypes.h>

#endif
