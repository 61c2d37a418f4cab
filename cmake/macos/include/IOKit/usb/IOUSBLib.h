/* IOKit's user-space USB interfaces: the plug-in types, the device and
 * interface interface IDs, and the two function tables the library calls
 * through, every member in Apple's order (a member out of place calls the
 * wrong function on a Mac). As Apple's, it does not include IOCFPlugIn.h. */
#ifndef _IOUSBLIB_H
#define _IOUSBLIB_H

#include <IOKit/usb/USB.h>
#include <IOKit/IOKitLib.h>

#include <CoreFoundation/CFRunLoop.h>
#include <CoreFoundation/CFPlugIn.h>
#if COREFOUNDATION_CFPLUGINCOM_SEPARATE
#include <CoreFoundation/CFPlugInCOM.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* 9DC7B780-9EC0-11D4-A54F-000A27052861 */
#define kIOUSBDeviceUserClientTypeID                                                   \
  CFUUIDGetConstantUUIDWithBytes(NULL, 0x9D, 0xC7, 0xB7, 0x80, 0x9E, 0xC0, 0x11, 0xD4, \
                                 0xA5, 0x4F, 0x00, 0x0A, 0x27, 0x05, 0x28, 0x61)
/* 2D9786C6-9EF3-11D4-AD51-000A27052861 */
#define kIOUSBInterfaceUserClientTypeID                                                \
  CFUUIDGetConstantUUIDWithBytes(NULL, 0x2D, 0x97, 0x86, 0xC6, 0x9E, 0xF3, 0x11, 0xD4, \
                                 0xAD, 0x51, 0x00, 0x0A, 0x27, 0x05, 0x28, 0x61)
/* 3C9EE1EB-2402-11B2-8E7E-000A27801E86 */
#define kIOUSBDeviceInterfaceID187                                                     \
  CFUUIDGetConstantUUIDWithBytes(NULL, 0x3C, 0x9E, 0xE1, 0xEB, 0x24, 0x02, 0x11, 0xB2, \
                                 0x8E, 0x7E, 0x00, 0x0A, 0x27, 0x80, 0x1E, 0x86)
/* 8FDB8455-74A6-11D6-97B1-003065D3608E */
#define kIOUSBInterfaceInterfaceID190                                                  \
  CFUUIDGetConstantUUIDWithBytes(NULL, 0x8F, 0xDB, 0x84, 0x55, 0x74, 0xA6, 0x11, 0xD6, \
                                 0x97, 0xB1, 0x00, 0x30, 0x65, 0xD3, 0x60, 0x8E)

typedef struct IOUSBDeviceStruct187 {
  IUNKNOWN_C_GUTS;
  IOReturn (*CreateDeviceAsyncEventSource)(void* self, CFRunLoopSourceRef* source);
  CFRunLoopSourceRef (*GetDeviceAsyncEventSource)(void* self);
  IOReturn (*CreateDeviceAsyncPort)(void* self, mach_port_t* port);
  mach_port_t (*GetDeviceAsyncPort)(void* self);
  IOReturn (*USBDeviceOpen)(void* self);
  IOReturn (*USBDeviceClose)(void* self);
  IOReturn (*GetDeviceClass)(void* self, UInt8* devClass);
  IOReturn (*GetDeviceSubClass)(void* self, UInt8* devSubClass);
  IOReturn (*GetDeviceProtocol)(void* self, UInt8* devProtocol);
  IOReturn (*GetDeviceVendor)(void* self, UInt16* devVendor);
  IOReturn (*GetDeviceProduct)(void* self, UInt16* devProduct);
  IOReturn (*GetDeviceReleaseNumber)(void* self, UInt16* devRelNum);
  IOReturn (*GetDeviceAddress)(void* self, USBDeviceAddress* addr);
  IOReturn (*GetDeviceBusPowerAvailable)(void* self, UInt32* powerAvailable);
  IOReturn (*GetDeviceSpeed)(void* self, UInt8* devSpeed);
  IOReturn (*GetNumberOfConfigurations)(void* self, UInt8* numConfig);
  IOReturn (*GetLocationID)(void* self, UInt32* locationID);
  IOReturn (*GetConfigurationDescriptorPtr)(void* self, UInt8 configIndex,
                                            IOUSBConfigurationDescriptorPtr* desc);
  IOReturn (*GetConfiguration)(void* self, UInt8* configNum);
  IOReturn (*SetConfiguration)(void* self, UInt8 configNum);
  IOReturn (*GetBusFrameNumber)(void* self, UInt64* frame, AbsoluteTime* atTime);
  IOReturn (*ResetDevice)(void* self);
  IOReturn (*DeviceRequest)(void* self, IOUSBDevRequest* req);
  IOReturn (*DeviceRequestAsync)(void* self, IOUSBDevRequest* req, IOAsyncCallback1 callback,
                                 void* refCon);
  IOReturn (*CreateInterfaceIterator)(void* self, IOUSBFindInterfaceRequest* req,
                                      io_iterator_t* iter);
  IOReturn (*USBDeviceOpenSeize)(void* self);
  IOReturn (*DeviceRequestTO)(void* self, IOUSBDevRequestTO* req);
  IOReturn (*DeviceRequestAsyncTO)(void* self, IOUSBDevRequestTO* req, IOAsyncCallback1 callback,
                                   void* refCon);
  IOReturn (*USBDeviceSuspend)(void* self, Boolean suspend);
  IOReturn (*USBDeviceAbortPipeZero)(void* self);
  IOReturn (*USBGetManufacturerStringIndex)(void* self, UInt8* msi);
  IOReturn (*USBGetProductStringIndex)(void* self, UInt8* psi);
  IOReturn (*USBGetSerialNumberStringIndex)(void* self, UInt8* snsi);
  IOReturn (*USBDeviceReEnumerate)(void* self, UInt32 options);
} IOUSBDeviceInterface187;

typedef struct IOUSBInterfaceStruct190 {
  IUNKNOWN_C_GUTS;
  IOReturn (*CreateInterfaceAsyncEventSource)(void* self, CFRunLoopSourceRef* source);
  CFRunLoopSourceRef (*GetInterfaceAsyncEventSource)(void* self);
  IOReturn (*CreateInterfaceAsyncPort)(void* self, mach_port_t* port);
  mach_port_t (*GetInterfaceAsyncPort)(void* self);
  IOReturn (*USBInterfaceOpen)(void* self);
  IOReturn (*USBInterfaceClose)(void* self);
  IOReturn (*GetInterfaceClass)(void* self, UInt8* intfClass);
  IOReturn (*GetInterfaceSubClass)(void* self, UInt8* intfSubClass);
  IOReturn (*GetInterfaceProtocol)(void* self, UInt8* intfProtocol);
  IOReturn (*GetDeviceVendor)(void* self, UInt16* devVendor);
  IOReturn (*GetDeviceProduct)(void* self, UInt16* devProduct);
  IOReturn (*GetDeviceReleaseNumber)(void* self, UInt16* devRelNum);
  IOReturn (*GetConfigurationValue)(void* self, UInt8* configVal);
  IOReturn (*GetInterfaceNumber)(void* self, UInt8* intfNumber);
  IOReturn (*GetAlternateSetting)(void* self, UInt8* intfAltSetting);
  IOReturn (*GetNumEndpoints)(void* self, UInt8* intfNumEndpoints);
  IOReturn (*GetLocationID)(void* self, UInt32* locationID);
  IOReturn (*GetDevice)(void* self, io_service_t* device);
  IOReturn (*SetAlternateInterface)(void* self, UInt8 alternateSetting);
  IOReturn (*GetBusFrameNumber)(void* self, UInt64* frame, AbsoluteTime* atTime);
  IOReturn (*ControlRequest)(void* self, UInt8 pipeRef, IOUSBDevRequest* req);
  IOReturn (*ControlRequestAsync)(void* self, UInt8 pipeRef, IOUSBDevRequest* req,
                                  IOAsyncCallback1 callback, void* refCon);
  IOReturn (*GetPipeProperties)(void* self, UInt8 pipeRef, UInt8* direction, UInt8* number,
                                UInt8* transferType, UInt16* maxPacketSize, UInt8* interval);
  IOReturn (*GetPipeStatus)(void* self, UInt8 pipeRef);
  IOReturn (*AbortPipe)(void* self, UInt8 pipeRef);
  IOReturn (*ResetPipe)(void* self, UInt8 pipeRef);
  IOReturn (*ClearPipeStall)(void* self, UInt8 pipeRef);
  IOReturn (*ReadPipe)(void* self, UInt8 pipeRef, void* buf, UInt32* size);
  IOReturn (*WritePipe)(void* self, UInt8 pipeRef, void* buf, UInt32 size);
  IOReturn (*ReadPipeAsync)(void* self, UInt8 pipeRef, void* buf, UInt32 size,
                            IOAsyncCallback1 callback, void* refcon);
  IOReturn (*WritePipeAsync)(void* self, UInt8 pipeRef, void* buf, UInt32 size,
                             IOAsyncCallback1 callback, void* refcon);
  IOReturn (*ReadIsochPipeAsync)(void* self, UInt8 pipeRef, void* buf, UInt64 frameStart,
                                 UInt32 numFrames, IOUSBIsocFrame* frameList,
                                 IOAsyncCallback1 callback, void* refcon);
  IOReturn (*WriteIsochPipeAsync)(void* self, UInt8 pipeRef, void* buf, UInt64 frameStart,
                                  UInt32 numFrames, IOUSBIsocFrame* frameList,
                                  IOAsyncCallback1 callback, void* refcon);
  IOReturn (*ControlRequestTO)(void* self, UInt8 pipeRef, IOUSBDevRequestTO* req);
  IOReturn (*ControlRequestAsyncTO)(void* self, UInt8 pipeRef, IOUSBDevRequestTO* req,
                                    IOAsyncCallback1 callback, void* refCon);
  IOReturn (*ReadPipeTO)(void* self, UInt8 pipeRef, void* buf, UInt32* size,
                         UInt32 noDataTimeout, UInt32 completionTimeout);
  IOReturn (*WritePipeTO)(void* self, UInt8 pipeRef, void* buf, UInt32 size,
                          UInt32 noDataTimeout, UInt32 completionTimeout);
  IOReturn (*ReadPipeAsyncTO)(void* self, UInt8 pipeRef, void* buf, UInt32 size,
                              UInt32 noDataTimeout, UInt32 completionTimeout,
                              IOAsyncCallback1 callback, void* refcon);
  IOReturn (*WritePipeAsyncTO)(void* self, UInt8 pipeRef, void* buf, UInt32 size,
                               UInt32 noDataTimeout, UInt32 completionTimeout,
                               IOAsyncCallback1 callback, void* refcon);
  IOReturn (*USBInterfaceGetStringIndex)(void* self, UInt8* si);
  IOReturn (*USBInterfaceOpenSeize)(void* self);
  IOReturn (*ClearPipeStallBothEnds)(void* self, UInt8 pipeRef);
  IOReturn (*SetPipePolicy)(void* self, UInt8 pipeRef, UInt16 maxPacketSize, UInt8 maxInterval);
  IOReturn (*GetBandwidthAvailable)(void* self, UInt32* bandwidth);
  IOReturn (*GetEndpointProperties)(void* self, UInt8 alternateSetting, UInt8 endpointNumber,
                                    UInt8 direction, UInt8* transferType, UInt16* maxPacketSize,
                                    UInt8* interval);
} IOUSBInterfaceInterface190;

#ifdef __cplusplus
}
#endif

#endif
