// Message texts of the Linux parallel library.
#pragma once

#include "core_messages.h"

namespace vela {

inline constexpr LookupTexts kParallelLookupTexts = {
    "JNI_FAULT                    Unexpected JNI fault.",
    "Port not opened",
};

inline constexpr const char kParallelOpenFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to open failed.";
inline constexpr const char kPpclaimFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to ioctl for PPCLAIM failed.";
inline constexpr const char kPprstatusFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to ioctl for PPRSTATUS failed.";
inline constexpr const char kPpfcontrolFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to ioctl for PPFCONTROL failed.";
inline constexpr const char kNibbleNegotiationFailed[] =
    "COMM_FAILURE                 Could not negotiate NIBBLE communications mode and can not read";
inline constexpr const char kCompatNegotiationFailed[] =
    "COMM_FAILURE                 Could not negotiate compatibility communications mode and can not read";

}  // namespace vela
