/* The records the USB interfaces take and the descriptors they hand out,
 * in Apple's layouts: natural alignment for the request records, the
 * descriptors byte-packed as the bus sends them. */
#ifndef _USB_H
#define _USB_H

#include <IOKit/IOTypes.h>
#include <IOKit/usb/USBSpec.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 1)
struct IOUSBConfigurationDescriptor {
  UInt8 bLength;
  UInt8 bDescriptorType;
  UInt16 wTotalLength;
  UInt8 bNumInterfaces;
  UInt8 bConfigurationValue;
  UInt8 iConfiguration;
  UInt8 bmAttributes;
  UInt8 MaxPower;
};
#pragma pack(pop)
typedef struct IOUSBConfigurationDescriptor IOUSBConfigurationDescriptor;
typedef IOUSBConfigurationDescriptor* IOUSBConfigurationDescriptorPtr;

typedef UInt16 USBDeviceAddress;

typedef struct IOUSBIsocFrame {
  IOReturn frStatus;
  UInt16 frReqCount;
  UInt16 frActCount;
} IOUSBIsocFrame;

typedef struct {
  UInt8 bmRequestType;
  UInt8 bRequest;
  UInt16 wValue;
  UInt16 wIndex;
  UInt16 wLength;
  void* pData;
  UInt32 wLenDone;
} IOUSBDevRequest;

typedef struct {
  UInt8 bmRequestType;
  UInt8 bRequest;
  UInt16 wValue;
  UInt16 wIndex;
  UInt16 wLength;
  void* pData;
  UInt32 wLenDone;
  UInt32 noDataTimeout;
  UInt32 completionTimeout;
} IOUSBDevRequestTO;

typedef struct {
  UInt16 bInterfaceClass;
  UInt16 bInterfaceSubClass;
  UInt16 bInterfaceProtocol;
  UInt16 bAlternateSetting;
} IOUSBFindInterfaceRequest;

enum { kIOUSBFindInterfaceDontCare = 0xFFFF };

#define iokit_usb_err(return) (sys_iokit | sub_iokit_usb | return)
#define kIOUSBPipeStalled iokit_usb_err(0x4f)

#ifdef __cplusplus
}
#endif

#endif
