// Message texts of the Linux serial library.
#pragma once

#include "core_messages.h"

namespace vela {

inline constexpr LookupTexts kSerialLookupTexts = {
    "JNI_FAULT                    Unexpected JNI fault.",
    "Port not opened",
};

inline constexpr const char kSettingsForm[] =
    "PORT_SETTINGS_MALFORMED      The portSettings parameter does not have the correct form.";
inline constexpr const char kSettingsBaud[] =
    "PORT_SETTINGS_MALFORMED      The specified baud rate is not supported.";
inline constexpr const char kSettingsParity[] =
    "PORT_SETTINGS_MALFORMED      The specified parity method is not supported.";
inline constexpr const char kSettingsDataBits[] =
    "PORT_SETTINGS_MALFORMED      The specified number of data bits is not supported.";
inline constexpr const char kSettingsStopBits[] =
    "PORT_SETTINGS_MALFORMED      The specified number of stop bits is not supported.";
inline constexpr const char kSettingsFlow[] =
    "PORT_SETTINGS_MALFORMED      The specified flow control method is not supported.";

// The termios failures carry no code field.
inline constexpr const char kTcgetattrFailed[] = "Native call to tcgetattr failed.";
inline constexpr const char kCfsetospeedFailed[] = "Native call to cfsetospeed failed.";
inline constexpr const char kTcsetattrFailed[] = "Native call to tcsetattr failed.";

inline constexpr const char kOpenFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to open failed.";
inline constexpr const char kFionreadFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to FIONREAD failed.";
inline constexpr const char kReadLengthNotAvailable[] =
    "NATIVE_FN_CALL_FAILURE       Requested read length not available before timeout.";
inline constexpr const char kReadFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to read failed.";
inline constexpr const char kWriteFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to write failed.";
inline constexpr const char kTiocmgetFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to ioctl for TIOCMGET failed.";
inline constexpr const char kTiocmgetOrSetFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to ioctl for TIOCMGET or TIOCMSET failed.";
inline constexpr const char kEnqFailed[] =
    "COMM_FAILURE                 Could not get ENQ status due to communications failure.";
inline constexpr const char kEotFailed[] =
    "COMM_FAILURE                 Could not get EOT status due to communications failure.";
inline constexpr const char kOnlineWithXonXoff[] =
    "UNSUPPORTED_OPERATION        Unsupported operation - can not check online status when using xOn/xOff flow control.";

}  // namespace vela
