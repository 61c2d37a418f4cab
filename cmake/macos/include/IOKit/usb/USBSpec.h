/* USB's names for transfer types and directions, and the IOKit class
 * of a USB device, under the header name Apple gives them. */
#ifndef _USBSPEC_H
#define _USBSPEC_H

#ifdef __cplusplus
extern "C" {
#endif

enum { kUSBControl = 0, kUSBIsoc = 1, kUSBBulk = 2, kUSBInterrupt = 3, kUSBAnyType = 0xFF };
enum { kUSBOut = 0, kUSBIn = 1, kUSBNone = 2, kUSBAnyDirn = 3 };

#define kIOUSBDeviceClassName "IOUSBDevice"

#ifdef __cplusplus
}
#endif

#endif
