// SETUPAPI.DLL, loaded only while a port name is resolved, so that the DLL
// imports nothing beyond KERNEL32 and ADVAPI32.
#pragma once

#include <windows.h>

#include <setupapi.h>

namespace vela {

struct SetupApi {
  HMODULE module;
  decltype(&SetupDiGetClassDevsA) getClassDevs;
  decltype(&SetupDiEnumDeviceInterfaces) enumDeviceInterfaces;
  decltype(&SetupDiGetDeviceInterfaceDetailA) getDeviceInterfaceDetail;
  decltype(&SetupDiDestroyDeviceInfoList) destroyDeviceInfoList;
};

// Loads the library and its four functions; false (nothing held) when the
// library or any of them is missing.
bool LoadSetupApi(SetupApi* api);
void FreeSetupApi(SetupApi* api);

// The device path of interface `member` of `set` in a buffer the caller
// frees with std::free, or null when the interface cannot be listed; in
// `noMore`, whether the list has ended.
char* InterfacePath(const SetupApi& api, HDEVINFO set, const GUID& guid, DWORD member,
                    bool* noMore);

}  // namespace vela
