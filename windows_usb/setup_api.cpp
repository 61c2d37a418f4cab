#include "setup_api.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace vela {

#ifndef _WIN64
// The record sizes the 32-bit driver interface is built on.
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "SP_DEVICE_INTERFACE_DATA");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5, "SP_DEVICE_INTERFACE_DETAIL_DATA_A");
#endif

namespace {

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return *function != nullptr;
}

}  // namespace

bool LoadSetupApi(SetupApi* api) {
  api->module = LoadLibraryA("SETUPAPI.DLL");
  if (api->module == nullptr) return false;
  if (Resolve(api->module, "SetupDiGetClassDevsA", &api->getClassDevs) &&
      Resolve(api->module, "SetupDiEnumDeviceInterfaces", &api->enumDeviceInterfaces) &&
      Resolve(api->module, "SetupDiGetDeviceInterfaceDetailA", &api->getDeviceInterfaceDetail) &&
      Resolve(api->module, "SetupDiDestroyDeviceInfoList", &api->destroyDeviceInfoList)) {
    return true;
  }
  FreeSetupApi(api);
  return false;
}

void FreeSetupApi(SetupApi* api) {
  FreeLibrary(api->module);
  api->module = nullptr;
}

char* InterfacePath(const SetupApi& api, HDEVINFO set, const GUID& guid, DWORD member,
                    bool* noMore) {
  *noMore = false;
  SP_DEVICE_INTERFACE_DATA data = {};
  data.cbSize = sizeof(data);
  if (!api.enumDeviceInterfaces(set, nullptr, &guid, member, &data)) {
    *noMore = GetLastError() == ERROR_NO_MORE_ITEMS;
    return nullptr;
  }
  DWORD required = 0;
  api.getDeviceInterfaceDetail(set, &data, nullptr, 0, &required, nullptr);
  if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return nullptr;
  // One byte more than asked for, kept zero: the path always ends.
  auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(std::calloc(required + 1u, 1));
  if (detail == nullptr) return nullptr;
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  char* path = nullptr;
  if (api.getDeviceInterfaceDetail(set, &data, detail, required, nullptr, nullptr)) {
    std::size_t length = std::strlen(detail->DevicePath);
    path = static_cast<char*>(std::malloc(length + 1));
    if (path != nullptr) std::memcpy(path, detail->DevicePath, length + 1);
  }
  std::free(detail);
  return path;
}

}  // namespace vela
