// What the kernel tells of a USB device in sysfs, where libusb-0.1 says
// nothing: the name of its socket and its serial number. Read only.
#pragma once

#include <cstddef>

namespace vela {

// A bus or device number as the kernel writes it, in decimal (usbfs pads it
// to three digits): 0 to 65535, or -1 for any other text.
int UsbNumber(const char* text);

// The folder name under /sys/bus/usb/devices (such as 1-1.4) of the device
// with these bus and device numbers; false when none has them.
bool SysfsDeviceName(int busNumber, int deviceNumber, char* name, std::size_t size);

// One attribute of that folder without its line end; false when the
// attribute is missing or does not fit `size`.
bool ReadSysfsAttribute(const char* deviceName, const char* attribute, char* value,
                        std::size_t size, std::size_t* length);

}  // namespace vela
