// The record of one open USB port, the library's table, and finding,
// opening and closing the printer through libusb 0.1.
#pragma once

#include <usb.h>

#include <cstddef>
#include <cstdint>

#include "native_method.h"
#include "usb_messages.h"

namespace vela {

struct USBPort {
  std::uint8_t inUse;
  char name[100];  // the key; a usb:serial= or usb:port= name also picks the printer
  struct usb_bus* bus;
  struct usb_device* device;
  usb_dev_handle* handle;
  std::int32_t configurationValue;
  std::int32_t interfaceNumber;  // claimed from open to close
  std::int32_t alternateSetting;
  std::int32_t bulkInEndpoint;
  std::int32_t bulkOutEndpoint;
  // The device's numbers, by which an open tells the printers ports hold
  // (the device pointer may be stale after a rescan).
  std::int32_t busNumber;
  std::int32_t deviceNumber;
};

inline constexpr std::size_t kUsbSlots = 20;
extern USBPort usbPorts[kUsbSlots];

// The first alternate setting (in configuration, interface, setting order)
// that has endpoints. Returns 0 when found, -1 when not.
int find_first_altsetting(struct usb_device* dev, int* c, int* i, int* a);

// Address of the first endpoint of that setting with the direction bit and
// transfer type given, or -1.
int find_ep(struct usb_device* dev, int c, int i, int a, int direction, int type);

// Rescans the buses and opens the printer the record's name picks (see
// usb_name_form.h) among those with the printer's identity.
bool OpenUsbPrinter(USBPort* record, const char** message);

struct UsbLibrary : PortLibrary {
  using Record = USBPort;
  static constexpr auto& table = usbPorts;
  static constexpr const LookupTexts& texts = kUsbLookupTexts;
  // Releases the interface and closes the handle, at close and at unload.
  static void CloseDevice(USBPort* port);
  static void ReleaseAtUnload(USBPort* port) { CloseDevice(port); }
  static void AtLoad();
  static void AtUnload();
  // A name may pick one printer among several alike (the first free one,
  // by serial number or socket): a second port under an open name would
  // reach another printer than every lookup of that name does.
  static constexpr bool exclusiveNames = true;
  static constexpr const char* nameInUse = kCanNotOpenDevice;
};

}  // namespace vela
