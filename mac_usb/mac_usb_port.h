// The record of the one open macOS USB port, the library's table and texts.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOCFPlugIn.h>
#include <IOKit/IOKitLib.h>
#include <IOKit/usb/IOUSBLib.h>

#include <cstddef>
#include <cstdint>

#include "native_method.h"
#include "usb_name_form.h"

namespace vela {

inline constexpr LookupTexts kMacUsbLookupTexts = {
    "JNI_FAULT                    Unexpected JNI fault.",
    "PORT_NOT_OPENED              Port not opened",
};
inline constexpr const char kMasterPortFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to IOMasterPort failed.";
inline constexpr const char kCanNotOpenDevice[] = "CAN_NOT_OPEN_DEVICE          Can not open device.";
inline constexpr const char kCouldNotConfigure[] =
    "COMM_FAILURE                 Could not configure device.";
inline constexpr const char kCouldNotOpenInterface[] =
    "COMM_FAILURE                 Could not open the device's interface.";
inline constexpr const char kDeviceGone[] = "DEVICE_CONNECTION_CLOSED     no device - attempt reopen";
// Only the waiting-count request spells it with a capital.
inline constexpr const char kNoDeviceGone[] =
    "DEVICE_CONNECTION_CLOSED     No device - attempt reopen";
inline constexpr const char kReadPipeFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to ReadPipeTO failed.";
inline constexpr const char kWritePipeFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to WritePipeTO failed.";
inline constexpr const char kBulkInRequestFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to DeviceRequestTO for QDXUSB_REQUEST_BULKIN failed.";
inline constexpr const char kStatusRequestFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to DeviceRequestTO for QDXUSB_GET_DEVICE_STATUS "
    "failed.";
inline constexpr const char kResetRequestFailed[] =
    "NATIVE_FN_CALL_FAILURE       Native call to DeviceRequestTO for QDXUSB_GET_RESET failed.";

struct USBPort {
  std::uint8_t inUse;
  char name[100];  // the key; a usb:serial= or usb:port= name also picks the printer
  IOUSBDeviceInterface187** device;        // opened and configured
  IOUSBInterfaceInterface190** interface;  // opened
  std::int32_t controlPipe;
  std::int32_t bulkOutPipe;  // its low byte is the pipe reference
  std::int32_t bulkInPipe;
};

// One printer at a time.
extern USBPort usbPorts[1];

// The steps of an open: the first matching device that opens (and that a
// usb:serial= or usb:port= name asks for), its first configuration set (0,
// or -1), and the interface with all three pipes.
IOUSBDeviceInterface187** openFirstDevice(mach_port_t masterPort, SInt32 vendor, SInt32 product,
                                          const UsbNameForm& form);
int setFirstDeviceConfiguration(IOUSBDeviceInterface187** device);
IOUSBInterfaceInterface190** openDeviceInterface(IOUSBDeviceInterface187** device,
                                                 std::int32_t* controlPipe,
                                                 std::int32_t* bulkOutPipe,
                                                 std::int32_t* bulkInPipe);

// Finds, opens and configures the printer and opens its interface; on
// failure everything it made is given back.
bool OpenMacUsbDevice(USBPort* record, const char** message);

// Closes and releases the port's interface and device; the slot is then
// cleared by the caller.
void CloseMacUsbDevice(USBPort* port);

// Aborts the transfers waiting on the port's bulk pipes.
void CutMacUsbTransfers(USBPort* port);

struct MacUsbLibrary : PortLibrary {
  using Record = USBPort;
  static constexpr auto& table = usbPorts;
  static constexpr const LookupTexts& texts = kMacUsbLookupTexts;
  static void CloseDevice(USBPort* port) { CloseMacUsbDevice(port); }
  // IOKit ends a transfer waiting on a pipe when the pipe is aborted, with
  // kIOReturnAborted; vendor requests on the control pipe are left to end
  // within their own timeouts, since aborting the device's default pipe
  // would end other programs' requests too.
  static void CutShort(USBPort* port) { CutMacUsbTransfers(port); }
};

// The port closed because its device has gone: no lookup, nothing raised.
void closePortDueToNoDevice(USBPort* port);

}  // namespace vela
