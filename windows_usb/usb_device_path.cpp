#include "usb_device_path.h"

#include <cstdlib>
#include <cstring>

#include "registry_walk.h"
#include "setup_api.h"

namespace vela {
namespace {

const char kDevicePrefix[] = "\\\\.\\";
const char kEnumeratorKey[] = "Enum\\QDXBUS\\USBCOM";
const char kInstancePrefix[] = "INST_0USB&VID_0F3C&PID_0002&";
const char kInstanceIdPrefix[] = "USB\\VID_0F3C&PID_0002\\";
const char kInterfaceClassKey[] =
    "System\\CurrentControlSet\\Control\\DeviceClasses\\{5e2d7a10-3b9c-4f61-a8d2-7c41e09b36af}";
const GUID kInterfaceClass = {0x5e2d7a10, 0x3b9c, 0x4f61,
                              {0xa8, 0xd2, 0x7c, 0x41, 0xe0, 0x9b, 0x36, 0xaf}};
constexpr DWORD kPortNameLimit = 17;
constexpr DWORD kInstanceLimit = 513;
// SetupDiEnumDeviceInterfaces is asked past a failing member; this bound
// keeps a list that fails at every index from spinning for ever.
constexpr DWORD kMaxInterfaceMembers = 1024;

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether the first n characters of a and b agree, ASCII case ignored;
// a string that ends before n characters agrees only with one that ends
// at the same place.
bool AsciiEqualIgnoringCase(const char* a, const char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    if (a[i] == 0) return true;
  }
  return true;
}

bool SetPath(char* path, std::size_t size, const char* rest) {
  std::size_t prefix = std::strlen(kDevicePrefix), length = std::strlen(rest);
  if (prefix + length >= size) return false;
  std::memcpy(path, kDevicePrefix, prefix);
  std::memcpy(path + prefix, rest, length + 1);
  return true;
}

// The instance ID of the enumerator port that carries `name` as its
// "PortName", in a buffer the caller frees; null when none does.
char* EnumeratorInstanceId(const char* name) {
  SubkeyWalk walk;
  if (!OpenSubkeyWalk(kEnumeratorKey, &walk)) return nullptr;
  bool found = false;
  while (!found && NextSubkey(&walk)) {
    char portName[kPortNameLimit];
    ReadStringValue(walk.key, walk.name, "PortName", portName, sizeof(portName));
    found = std::strcmp(portName, name) == 0;
  }
  char* id = nullptr;
  if (found) {
    const char* suffix = walk.name;
    std::size_t prefix = std::strlen(kInstancePrefix);
    if (AsciiEqualIgnoringCase(suffix, kInstancePrefix, prefix)) {
      suffix += prefix;
    }
    std::size_t head = std::strlen(kInstanceIdPrefix), tail = std::strlen(suffix);
    id = static_cast<char*>(std::malloc(head + tail + 1));
    if (id != nullptr) {
      std::memcpy(id, kInstanceIdPrefix, head);
      std::memcpy(id + head, suffix, tail + 1);
    }
  }
  CloseSubkeyWalk(&walk);
  return id;
}

// The "DeviceInstance" of interface key `key` when a present interface of
// the class has that key's symbolic name; empty otherwise.
void PresentInterfaceInstance(const SetupApi& api, HKEY classKey, const char* key,
                              char (&instance)[kInstanceLimit]) {
  instance[0] = 0;
  HDEVINFO set = api.getClassDevs(&kInterfaceClass, nullptr, nullptr,
                                  DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return;
  for (DWORD member = 0; member < kMaxInterfaceMembers; ++member) {
    bool noMore = false;
    char* path = InterfacePath(api, set, kInterfaceClass, member, &noMore);
    if (noMore) break;
    // The interface's path (\\?\...) and its key name (##?#...) differ in
    // their first four characters and, under some systems, in case.
    bool same = path != nullptr && std::strlen(path) >= 5 && std::strlen(key) >= 5 &&
                AsciiEqualIgnoringCase(path + 4, key + 4, static_cast<std::size_t>(-1));
    std::free(path);
    if (same) {
      ReadStringValue(classKey, key, "DeviceInstance", instance, kInstanceLimit);
      break;
    }
  }
  api.destroyDeviceInfoList(set);
}

// Points `path` at the present interface registered for `instanceId`;
// leaves it as it was when there is none.
void ResolveInterfacePath(const char* instanceId, char* path, std::size_t size) {
  SubkeyWalk walk;
  if (!OpenSubkeyWalk(kInterfaceClassKey, &walk)) return;
  SetupApi api;
  if (!LoadSetupApi(&api)) return CloseSubkeyWalk(&walk);
  bool found = false;
  while (!found && NextSubkey(&walk)) {
    char instance[kInstanceLimit];
    PresentInterfaceInstance(api, walk.key, walk.name, instance);
    found = std::strcmp(instance, instanceId) == 0;
  }
  FreeSetupApi(&api);
  // A key name too long for the path field leaves the plain path.
  if (found) SetPath(path, size, walk.name + 4);
  CloseSubkeyWalk(&walk);
}

}  // namespace

void ResolveDevicePath(const char* name, char* path, std::size_t size) {
  path[0] = 0;
  SetPath(path, size, name);
  char* instanceId = EnumeratorInstanceId(name);
  if (instanceId == nullptr) return;
  ResolveInterfacePath(instanceId, path, size);
  std::free(instanceId);
}

}  // namespace vela
