#include "lpt_port.h"
#include "lpt_timeouts.h"
#include "port_name.h"

namespace vela {

LptPort lptPorts[kLptSlots];
std::int32_t timeoutsSet[kTimeoutKeys];
DWORD platformId;

void LptLibrary::AtLoad() {
  for (auto& flag : timeoutsSet) flag = 0;
}

int TimeoutKey(const char (&name)[260]) { return NameNumber(name, sizeof(name), 4, kTimeoutKeys); }

bool OpenLptDevice(LptPort* record, const char** message) {
  record->handle = CreateFileA(record->name, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (record->handle == INVALID_HANDLE_VALUE) {
    *message = kCreateFileFailed;
    return false;
  }
  // A name whose key has no flag gets the open timeouts at every open.
  int key = TimeoutKey(record->name);
  if (key < 0 || timeoutsSet[key] == 0) {
    COMMTIMEOUTS t = OpenTimeouts();
    SetCommTimeouts(record->handle, &t);
    if (key >= 0) timeoutsSet[key] = 1;
  }
  return true;
}

}  // namespace vela
