// Reading the printer driver's registry entries: walks over the subkeys of
// a key under HKEY_LOCAL_MACHINE, and string values that may lack their
// terminating zero.
#pragma once

#include <windows.h>

namespace vela {

struct SubkeyWalk {
  HKEY key;
  DWORD longest;  // the longest subkey name, as RegQueryInfoKeyA gave it
  DWORD index;
  char* name;     // the current subkey's name, longest + 9 bytes
};

// Opens `path` for reading and asks for its longest subkey name; false
// (nothing held) when either fails.
bool OpenSubkeyWalk(const char* path, SubkeyWalk* walk);
// The next subkey's name into walk->name; false once enumeration fails.
bool NextSubkey(SubkeyWalk* walk);
void CloseSubkeyWalk(SubkeyWalk* walk);

// Reads the string `value` of subkey `subkey` of `parent` into `buffer` of
// `limit` bytes, always zero-terminated. A missing subkey or value, or one
// that does not fit with its terminator, leaves the buffer empty.
void ReadStringValue(HKEY parent, const char* subkey, const char* value, char* buffer,
                     DWORD limit);

}  // namespace vela
