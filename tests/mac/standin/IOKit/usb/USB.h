/* Stand-in for the part of IOKit/usb/USB.h that the macOS USB library uses,
 * with Apple's names and layouts. Test fixture, never shipped. */
#ifndef VELA_STANDIN_USB_H
#define VELA_STANDIN_USB_H

#include <CoreFoundation/CoreFoundation.h>

enum { kUSBControl = 0, kUSBIsoc = 1, kUSBBulk = 2, kUSBInterrupt = 3, kUSBAnyType = 0xFF };
enum { kUSBOut = 0, kUSBIn = 1, kUSBNone = 2, kUSBAnyDirn = 3 };

#pragma pack(1)
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
#pragma pack()
typedef struct IOUSBConfigurationDescriptor IOUSBConfigurationDescriptor;
typedef IOUSBConfigurationDescriptor* IOUSBConfigurationDescriptorPtr;

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

enum { kIOUSBFindInterfaceDontCare = 0xFFFF };

typedef struct {
  UInt16 bInterfaceClass;
  UInt16 bInterfaceSubClass;
  UInt16 bInterfaceProtocol;
  UInt16 bAlternateSetting;
} IOUSBFindInterfaceRequest;

#endif
