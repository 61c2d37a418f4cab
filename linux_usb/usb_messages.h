// Message texts of the Linux USB library, spelled as this library raises
// them ("Netive" included).
#pragma once

#include "core_messages.h"

namespace vela {

inline constexpr LookupTexts kUsbLookupTexts = {
    "JNI_FAULT                    Unexpected JNI fault.",
    "PORT_NOT_OPENED              Port not opened",
};

inline constexpr const char kNoDeviceOnBusses[] =
    "CAN_NOT_OPEN_DEVICE          Can not find device on USB busses.";
inline constexpr const char kCanNotOpenDevice[] =
    "CAN_NOT_OPEN_DEVICE          Can not open device.";
inline constexpr const char kNoAlternateSetting[] =
    "COMM_FAILURE                 Can not find alternate setting.";
inline constexpr const char kNoEndpoints[] =
    "COMM_FAILURE                 Can not find endpoints.";
inline constexpr const char kDeviceGone[] =
    "DEVICE_CONNECTION_CLOSED     no device - attempt reopen";
inline constexpr const char kBulkInRequestFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to usb_control_msg for QDXUSB_REQUEST_BULKIN failed.";
inline constexpr const char kBulkReadFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to usb_bulk_read failed.";
inline constexpr const char kControlFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to usb_control_msg failed.";
inline constexpr const char kOnlineControlFailed[] =
    "NATIVE_FN_CALL_FAILURE       Netive call to usb_control_msg failed";

}  // namespace vela
