// Message texts that every library raises in the same spelling.
#pragma once

namespace vela {

inline constexpr const char kTooManyPorts[] =
    "TOO_MANY_PORTS_ALREADY_OPENEDToo many ports already opened.";
inline constexpr const char kUnsupportedOperation[] =
    "UNSUPPORTED_OPERATION        Unsupported operation.";
inline constexpr const char kMemoryAllocationFailure[] =
    "NATIVE_FN_CALL_FAILURE       Memory allocation failure in native method.";
// A name that does not fit the record's name field could not be found
// again by the lookup, so it is refused before anything is opened.
inline constexpr const char kPortNameTooLong[] =
    "CAN_NOT_OPEN_DEVICE          Port name too long.";

// The two lookup failures, whose spelling differs between libraries.
struct LookupTexts {
  const char* jniFault;
  const char* portNotOpened;
};

}  // namespace vela
