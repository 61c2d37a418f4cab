#include <cerrno>
#include <cstring>

#include "usb_descriptor_reserve.h"
#include "usb_name_form.h"
#include "usb_port.h"
#include "usb_protocol.h"
#include "usb_sysfs.h"

namespace vela {

USBPort usbPorts[kUsbSlots];

namespace {

constexpr int kBulkTransfer = 2;
constexpr int kDirectionIn = 0x80;
constexpr int kDirectionOut = 0x00;

struct usb_interface_descriptor* Setting(struct usb_device* dev, int c, int i, int a) {
  return &dev->config[c].interface[i].altsetting[a];
}

bool IsPrinter(const struct usb_device* dev) {
  return dev->descriptor.idVendor == kPrinterVendorId &&
         dev->descriptor.idProduct == kPrinterProductId;
}

// Whether a port already open uses the device with these numbers.
bool Held(int busNumber, int deviceNumber) {
  for (const USBPort& port : usbPorts) {
    if (port.inUse != 0 && port.busNumber == busNumber && port.deviceNumber == deviceNumber) {
      return true;
    }
  }
  return false;
}

// Whether the device is the one a usb:serial= or usb:port= name asks for.
bool Named(const UsbNameForm& form, int busNumber, int deviceNumber) {
  char device[256];
  if (!SysfsDeviceName(busNumber, deviceNumber, device, sizeof(device))) return false;
  if (form.kind == UsbNameKind::kPort) return UsbNameTextIs(form, device, std::strlen(device));
  // The kernel's bytes as they stand, spaces and all.
  char serial[256];
  std::size_t length = 0;
  return ReadSysfsAttribute(device, "serial", serial, sizeof(serial), &length) &&
         UsbSerialIs(form, serial, length);
}

// In bus order: the printer a usb: name asks for; for any other name the
// first printer no open port holds, else the first one, so that a second
// printer of the same model is reached by a second name.
struct usb_device* FindPrinter(const UsbNameForm& form) {
  struct usb_device* first = nullptr;
  for (struct usb_bus* bus = usb_busses; bus != nullptr; bus = bus->next) {
    for (struct usb_device* dev = bus->devices; dev != nullptr; dev = dev->next) {
      if (!IsPrinter(dev)) continue;
      // libusb-0.1 names buses and devices by their usbfs folder and file.
      int busNumber = UsbNumber(bus->dirname), deviceNumber = UsbNumber(dev->filename);
      if (form.kind != UsbNameKind::kAny) {
        if (Named(form, busNumber, deviceNumber)) return dev;
        continue;
      }
      if (!Held(busNumber, deviceNumber)) return dev;
      if (first == nullptr) first = dev;
    }
  }
  return first;
}

}  // namespace

int find_first_altsetting(struct usb_device* dev, int* c, int* i, int* a) {
  if (dev->config == nullptr) return -1;
  for (int ci = 0; ci < dev->descriptor.bNumConfigurations; ++ci) {
    struct usb_config_descriptor* config = &dev->config[ci];
    for (int ii = 0; ii < config->bNumInterfaces; ++ii) {
      for (int ai = 0; ai < config->interface[ii].num_altsetting; ++ai) {
        if (Setting(dev, ci, ii, ai)->bNumEndpoints != 0) {
          *c = ci;
          *i = ii;
          *a = ai;
          return 0;
        }
      }
    }
  }
  return -1;
}

int find_ep(struct usb_device* dev, int c, int i, int a, int direction, int type) {
  if (dev->config == nullptr) return -1;
  struct usb_interface_descriptor* setting = Setting(dev, c, i, a);
  for (int e = 0; e < setting->bNumEndpoints; ++e) {
    struct usb_endpoint_descriptor* ep = &setting->endpoint[e];
    if ((ep->bEndpointAddress & 0x80) == direction && (ep->bmAttributes & 0x03) == type) {
      return ep->bEndpointAddress;
    }
  }
  return -1;
}

bool OpenUsbPrinter(USBPort* record, const char** message) {
  // Printers come and go: the buses are scanned again on every open.
  usb_init();
  usb_find_busses();
  usb_find_devices();
  struct usb_device* dev = FindPrinter(ParseUsbName(record->name, sizeof(record->name)));
  if (dev == nullptr) {
    *message = kNoDeviceOnBusses;
    return false;
  }
  int c = 0, i = 0, a = 0;
  if (find_first_altsetting(dev, &c, &i, &a) != 0) {
    *message = kNoAlternateSetting;
    return false;
  }
  record->configurationValue = dev->config[c].bConfigurationValue;
  record->interfaceNumber = Setting(dev, c, i, a)->bInterfaceNumber;
  record->alternateSetting = Setting(dev, c, i, a)->bAlternateSetting;
  record->bulkInEndpoint = find_ep(dev, c, i, a, kDirectionIn, kBulkTransfer);
  record->bulkOutEndpoint = find_ep(dev, c, i, a, kDirectionOut, kBulkTransfer);
  if (record->bulkInEndpoint == -1 || record->bulkOutEndpoint == -1) {
    *message = kNoEndpoints;
    return false;
  }
  FreeReservedDescriptor();
  usb_dev_handle* handle = usb_open(dev);
  if (handle == nullptr) {
    FillDescriptorReserve();
    *message = kCanNotOpenDevice;
    return false;
  }
  if (!KeepDescriptorSelectable(handle, dev)) {
    usb_close(handle);
    *message = kCanNotOpenDevice;
    return false;
  }
  // Without the claim no bulk transfer reaches the printer: the kernel
  // refuses them with EBUSY while another handle (another slot, another
  // program) holds the interface, and a handle libusb-0.1 made for a device
  // file it could not open fails every call with EBADF. Such a port would
  // take the caller's bytes and send none, so the open fails instead.
  if (usb_claim_interface(handle, record->interfaceNumber) < 0) {
    usb_close(handle);
    FillDescriptorReserve();
    *message = kCanNotOpenDevice;
    return false;
  }
  record->bus = dev->bus;
  record->device = dev;
  record->busNumber = UsbNumber(dev->bus->dirname);
  record->deviceNumber = UsbNumber(dev->filename);
  record->handle = handle;
  return true;
}

void UsbLibrary::CloseDevice(USBPort* port) {
  usb_release_interface(port->handle, port->interfaceNumber);
  usb_close(port->handle);
  // The low number just given back is kept for the next open.
  FillDescriptorReserve();
}

void UsbLibrary::AtLoad() { FillDescriptorReserve(); }
void UsbLibrary::AtUnload() { EmptyDescriptorReserve(); }

}  // namespace vela
