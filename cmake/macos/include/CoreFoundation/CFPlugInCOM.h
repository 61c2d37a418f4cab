/* The COM layout of plug-in interfaces: IUnknown's three calls first. */
#ifndef __COREFOUNDATION_CFPLUGINCOM__
#define __COREFOUNDATION_CFPLUGINCOM__ 1

#include <CoreFoundation/CFPlugIn.h>

typedef SInt32 HRESULT;
typedef UInt32 ULONG;
typedef void* LPVOID;
typedef CFUUIDBytes REFIID;

#define S_OK ((HRESULT)0x00000000L)
#define E_NOINTERFACE ((HRESULT)0x80000004L)

#define STDMETHODCALLTYPE

#define IUNKNOWN_C_GUTS                                                                   \
  void* _reserved;                                                                        \
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(void* thisPointer, REFIID iid, LPVOID* ppv); \
  ULONG(STDMETHODCALLTYPE* AddRef)(void* thisPointer);                                    \
  ULONG(STDMETHODCALLTYPE* Release)(void* thisPointer)

#endif
