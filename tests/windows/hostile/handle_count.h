// The handles this process holds, as the system's handle table lists them
// (NtQuerySystemInformation, SystemHandleInformation): GetProcessHandleCount
// answers 0 under wine, the handle table does not.
#pragma once

namespace vela_hostile {

// -1 when the system does not answer.
long ProcessHandles();

}  // namespace vela_hostile
