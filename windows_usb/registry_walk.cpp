#include "registry_walk.h"

#include <cstdlib>

namespace vela {

bool OpenSubkeyWalk(const char* path, SubkeyWalk* walk) {
  walk->key = nullptr;
  walk->name = nullptr;
  walk->index = 0;
  walk->longest = 0;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &walk->key) != ERROR_SUCCESS) {
    return false;
  }
  if (RegQueryInfoKeyA(walk->key, nullptr, nullptr, nullptr, nullptr, &walk->longest, nullptr,
                       nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    walk->name = static_cast<char*>(std::malloc(walk->longest + 9u));
  }
  if (walk->name == nullptr) {
    RegCloseKey(walk->key);
    return false;
  }
  return true;
}

bool NextSubkey(SubkeyWalk* walk) {
  DWORD length = walk->longest + 1;
  if (RegEnumKeyExA(walk->key, walk->index, walk->name, &length, nullptr, nullptr, nullptr,
                    nullptr) != ERROR_SUCCESS) {
    return false;
  }
  walk->index++;
  return true;
}

void CloseSubkeyWalk(SubkeyWalk* walk) {
  std::free(walk->name);
  walk->name = nullptr;
  RegCloseKey(walk->key);
}

void ReadStringValue(HKEY parent, const char* subkey, const char* value, char* buffer,
                     DWORD limit) {
  buffer[0] = 0;
  HKEY key;
  if (RegOpenKeyExA(parent, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD size = limit;
  // Windows leaves the buffer undefined when the value does not fit, and a
  // value stored without its zero comes back without one.
  if (RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
      ERROR_SUCCESS) {
    size = 0;
  }
  RegCloseKey(key);
  DWORD end = 0;
  while (end < size && end < limit && buffer[end] != 0) ++end;
  buffer[end < limit ? end : 0] = 0;
}

}  // namespace vela
