/* CoreFoundation plug-ins. As Apple's, it leaves CFPlugInCOM.h to the
 * header that includes it. */
#ifndef __COREFOUNDATION_CFPLUGIN__
#define __COREFOUNDATION_CFPLUGIN__ 1

#if !defined(COREFOUNDATION_CFPLUGINCOM_SEPARATE)
#define COREFOUNDATION_CFPLUGINCOM_SEPARATE 1
#endif

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFUUID.h>

#endif
