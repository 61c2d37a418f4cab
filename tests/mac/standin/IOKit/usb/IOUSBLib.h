/* Stand-in for the part of IOKit/usb/IOUSBLib.h that the macOS USB library
 * uses, with Apple's names, UUIDs and layouts: the two interface structs
 * list every member in Apple's order, those the library never calls as
 * untyped slots. Test fixture, never shipped. */
#ifndef VELA_STANDIN_IOUSBLIB_H
#define VELA_STANDIN_IOUSBLIB_H

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOKitLib.h>
#include <IOKit/usb/USB.h>

#define kIOUSBDeviceClassName "IOUSBDevice"

#define kIOUSBDeviceUserClientTypeID                                                      \
  CFUUIDGetConstantUUIDWithBytes(NULL, 0x9d, 0xc7, 0xb7, 0x80, 0x9e, 0xc0, 0x11, 0xD4, 0xa5, \
                                 0x4f, 0x00, 0x0a, 0x27, 0x05, 0x28, 0x61)
#define kIOUSBInterfaceUserClientTypeID                                                   \
  CFUUIDGetConstantUUIDWithBytes(NULL, 0x2d, 0x97, 0x86, 0xc6, 0x9e, 0xf3, 0x11, 0xD4, 0xad, \
                                 0x51, 0x00, 0x0a, 0x27, 0x05, 0x28, 0x61)
#define kIOUSBDeviceInterfaceID187                                                        \
  CFUUIDGetConstantUUIDWithBytes(NULL, 0x3C, 0x9E, 0xE1, 0xEB, 0x24, 0x02, 0x11, 0xB2, 0x8E, \
                                 0x7E, 0x00, 0x0A, 0x27, 0x80, 0x1E, 0x86)
#define kIOUSBInterfaceInterfaceID190                                                     \
  CFUUIDGetConstantUUIDWithBytes(NULL, 0x8F, 0xDB, 0x84, 0x55, 0x74, 0xA6, 0x11, 0xD6, 0x97, \
                                 0xB1, 0x00, 0x30, 0x65, 0xD3, 0x60, 0x8E)

typedef struct IOUSBDeviceStruct187 {
  IUNKNOWN_C_GUTS;
  void* CreateDeviceAsyncEventSource;
  void* GetDeviceAsyncEventSource;
  void* CreateDeviceAsyncPort;
  void* GetDeviceAsyncPort;
  IOReturn (*USBDeviceOpen)(void* self);
  IOReturn (*USBDeviceClose)(void* self);
  void* GetDeviceClass;
  void* GetDeviceSubClass;
  void* GetDeviceProtocol;
  IOReturn (*GetDeviceVendor)(void* self, UInt16* devVendor);
  IOReturn (*GetDeviceProduct)(void* self, UInt16* devProduct);
  void* GetDeviceReleaseNumber;
  void* GetDeviceAddress;
  void* GetDeviceBusPowerAvailable;
  void* GetDeviceSpeed;
  IOReturn (*GetNumberOfConfigurations)(void* self, UInt8* numConfig);
  void* GetLocationID;
  IOReturn (*GetConfigurationDescriptorPtr)(void* self, UInt8 configIndex, IOUSBConfigurationDescriptorPtr* desc);
  void* GetConfiguration;
  IOReturn (*SetConfiguration)(void* self, UInt8 configNum);
  void* GetBusFrameNumber;
  void* ResetDevice;
  void* DeviceRequest;
  void* DeviceRequestAsync;
  IOReturn (*CreateInterfaceIterator)(void* self, IOUSBFindInterfaceRequest* req, io_iterator_t* iter);
  void* USBDeviceOpenSeize;
  IOReturn (*DeviceRequestTO)(void* self, IOUSBDevRequestTO* req);
  void* DeviceRequestAsyncTO;
  void* USBDeviceSuspend;
  void* USBDeviceAbortPipeZero;
  void* USBGetManufacturerStringIndex;
  void* USBGetProductStringIndex;
  void* USBGetSerialNumberStringIndex;
  void* USBDeviceReEnumerate;
} IOUSBDeviceInterface187;

typedef struct IOUSBInterfaceStruct190 {
  IUNKNOWN_C_GUTS;
  void* CreateInterfaceAsyncEventSource;
  void* GetInterfaceAsyncEventSource;
  void* CreateInterfaceAsyncPort;
  void* GetInterfaceAsyncPort;
  IOReturn (*USBInterfaceOpen)(void* self);
  IOReturn (*USBInterfaceClose)(void* self);
  void* GetInterfaceClass;
  void* GetInterfaceSubClass;
  void* GetInterfaceProtocol;
  void* GetDeviceVendor;
  void* GetDeviceProduct;
  void* GetDeviceReleaseNumber;
  void* GetConfigurationValue;
  void* GetInterfaceNumber;
  void* GetAlternateSetting;
  IOReturn (*GetNumEndpoints)(void* self, UInt8* intfNumEndpoints);
  void* GetLocationID;
  void* GetDevice;
  void* SetAlternateInterface;
  void* GetBusFrameNumber;
  void* ControlRequest;
  void* ControlRequestAsync;
  IOReturn (*GetPipeProperties)(void* self, UInt8 pipeRef, UInt8* direction, UInt8* number, UInt8* transferType, UInt16* maxPacketSize, UInt8* interval);
  void* GetPipeStatus;
  void* AbortPipe;
  void* ResetPipe;
  void* ClearPipeStall;
  void* ReadPipe;
  void* WritePipe;
  void* ReadPipeAsync;
  void* WritePipeAsync;
  void* ReadIsochPipeAsync;
  void* WriteIsochPipeAsync;
  void* ControlRequestTO;
  void* ControlRequestAsyncTO;
  IOReturn (*ReadPipeTO)(void* self, UInt8 pipeRef, void* buf, UInt32* size, UInt32 noDataTimeout, UInt32 completionTimeout);
  IOReturn (*WritePipeTO)(void* self, UInt8 pipeRef, void* buf, UInt32 size, UInt32 noDataTimeout, UInt32 completionTimeout);
  void* ReadPipeAsyncTO;
  void* WritePipeAsyncTO;
  void* USBInterfaceGetStringIndex;
  void* USBInterfaceOpenSeize;
  IOReturn (*ClearPipeStallBothEnds)(void* self, UInt8 pipeRef);
  void* SetPipePolicy;
  void* GetBandwidthAvailable;
  void* GetEndpointProperties;
} IOUSBInterfaceInterface190;

#endif
