#include <mach/mach.h>

#include "mac_usb_port.h"
#include "usb_name_form.h"
#include "usb_protocol.h"

namespace vela {

USBPort usbPorts[1];

namespace {

// The plug-in of a service, which is released here either way.
IOCFPlugInInterface** PlugInOf(io_service_t service, CFUUIDRef type) {
  IOCFPlugInInterface** plugIn = nullptr;
  SInt32 score = 0;
  kern_return_t result =
      IOCreatePlugInInterfaceForService(service, type, kIOCFPlugInInterfaceID, &plugIn, &score);
  IOObjectRelease(service);
  return result == kIOReturnSuccess ? plugIn : nullptr;
}

// The interface `id` of a plug-in, which is released here either way.
template <typename Interface>
Interface** QueryPlugIn(IOCFPlugInInterface** plugIn, CFUUIDRef id) {
  Interface** object = nullptr;
  HRESULT result =
      (*plugIn)->QueryInterface(plugIn, CFUUIDGetUUIDBytes(id), reinterpret_cast<LPVOID*>(&object));
  (*plugIn)->Release(plugIn);
  if (result == S_OK) return object;
  if (object != nullptr) (*object)->Release(object);
  return nullptr;
}

constexpr UInt32 kStringRequestTimeoutMs = 1000;

// One string descriptor of the device into `buffer`; its length, or 0.
UInt32 StringDescriptor(IOUSBDeviceInterface187** device, UInt8 index, UInt16 language,
                        unsigned char* buffer, UInt16 size) {
  IOUSBDevRequestTO request = {};
  request.bmRequestType = 0x80;  // standard, device to host
  request.bRequest = 6;          // GET_DESCRIPTOR
  request.wValue = static_cast<UInt16>(0x0300 | index);
  request.wIndex = language;
  request.wLength = size;
  request.pData = buffer;
  request.completionTimeout = kStringRequestTimeoutMs;
  if ((*device)->DeviceRequestTO(device, &request) != kIOReturnSuccess) return 0;
  return request.wLenDone;
}

// Whether the device's serial number is exactly the name's text; a device
// without one matches no usb:serial= name.
bool SerialNumberIs(IOUSBDeviceInterface187** device, const UsbNameForm& form) {
  UInt8 index = 0;
  if ((*device)->USBGetSerialNumberStringIndex(device, &index) != kIOReturnSuccess || index == 0) {
    return false;
  }
  unsigned char languages[4];
  if (StringDescriptor(device, 0, 0, languages, sizeof(languages)) < 4) return false;
  UInt16 language = static_cast<UInt16>(languages[2] | (languages[3] << 8));
  unsigned char descriptor[255];
  UInt32 length = StringDescriptor(device, index, language, descriptor, sizeof(descriptor));
  char text[3 * 127];
  int n = StringDescriptorText(descriptor, length, text, sizeof(text));
  return n >= 0 && UsbSerialIs(form, text, static_cast<std::size_t>(n));
}

// Whether the device sits in the socket a usb:port= name gives.
bool LocationIs(IOUSBDeviceInterface187** device, const UsbNameForm& form) {
  std::uint32_t wanted = 0;
  UInt32 location = 0;
  return ParseLocationId(form, &wanted) &&
         (*device)->GetLocationID(device, &location) == kIOReturnSuccess && location == wanted;
}

// The device, opened, when it is the printer the name asks for. Its
// serial number is read only once it is open: another program's printer
// is left alone.
IOUSBDeviceInterface187** OpenDeviceService(io_service_t service, SInt32 vendor, SInt32 product,
                                            const UsbNameForm& form) {
  IOCFPlugInInterface** plugIn = PlugInOf(service, kIOUSBDeviceUserClientTypeID);
  if (plugIn == nullptr) return nullptr;
  auto** device = QueryPlugIn<IOUSBDeviceInterface187>(plugIn, kIOUSBDeviceInterfaceID187);
  if (device == nullptr) return nullptr;
  UInt16 deviceVendor = 0, deviceProduct = 0;
  (*device)->GetDeviceVendor(device, &deviceVendor);
  (*device)->GetDeviceProduct(device, &deviceProduct);
  if (deviceVendor == vendor && deviceProduct == product &&
      (form.kind != UsbNameKind::kPort || LocationIs(device, form)) &&
      (*device)->USBDeviceOpen(device) == kIOReturnSuccess) {
    if (form.kind != UsbNameKind::kSerial || SerialNumberIs(device, form)) return device;
    (*device)->USBDeviceClose(device);
  }
  (*device)->Release(device);
  return nullptr;
}

struct Pipes {
  std::int32_t control, bulkOut, bulkIn;
};

// Opens an interface service when it has a control, a bulk OUT and a bulk
// IN pipe; the last pipe of each kind wins.
IOUSBInterfaceInterface190** OpenInterfaceService(io_service_t service, Pipes* pipes) {
  IOCFPlugInInterface** plugIn = PlugInOf(service, kIOUSBInterfaceUserClientTypeID);
  if (plugIn == nullptr) return nullptr;
  auto** interface = QueryPlugIn<IOUSBInterfaceInterface190>(plugIn, kIOUSBInterfaceInterfaceID190);
  if (interface == nullptr) return nullptr;
  if ((*interface)->USBInterfaceOpen(interface) != kIOReturnSuccess) {
    (*interface)->Release(interface);
    return nullptr;
  }
  UInt8 endpoints = 0;
  Pipes found = {-1, -1, -1};
  if ((*interface)->GetNumEndpoints(interface, &endpoints) == kIOReturnSuccess) {
    for (int pipe = 0; pipe <= endpoints; ++pipe) {
      UInt8 direction = 0, number = 0, type = 0, interval = 0;
      UInt16 maxPacket = 0;
      if ((*interface)->GetPipeProperties(interface, static_cast<UInt8>(pipe), &direction, &number,
                                          &type, &maxPacket, &interval) != kIOReturnSuccess) {
        break;
      }
      if (type == kUSBControl) found.control = pipe;
      if (type == kUSBBulk && direction == kUSBOut) found.bulkOut = pipe;
      if (type == kUSBBulk && direction == kUSBIn) found.bulkIn = pipe;
    }
  }
  if (found.control >= 0 && found.bulkOut >= 0 && found.bulkIn >= 0) {
    *pipes = found;
    return interface;
  }
  (*interface)->USBInterfaceClose(interface);
  (*interface)->Release(interface);
  return nullptr;
}

void CloseAndRelease(IOUSBDeviceInterface187** device) {
  (*device)->USBDeviceClose(device);
  (*device)->Release(device);
}

}  // namespace

IOUSBDeviceInterface187** openFirstDevice(mach_port_t masterPort, SInt32 vendor, SInt32 product,
                                          const UsbNameForm& form) {
  CFMutableDictionaryRef matching = IOServiceMatching(kIOUSBDeviceClassName);
  if (matching == nullptr) return nullptr;
  CFNumberRef vendorNumber = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &vendor);
  CFNumberRef productNumber = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &product);
  bool numbers = vendorNumber != nullptr && productNumber != nullptr;
  if (numbers) {
    CFDictionarySetValue(matching, CFSTR("idVendor"), vendorNumber);
    CFDictionarySetValue(matching, CFSTR("idProduct"), productNumber);
  }
  // The dictionary holds the numbers now; ours go back, so that a till
  // retrying every second does not leak two numbers a try.
  if (vendorNumber != nullptr) CFRelease(vendorNumber);
  if (productNumber != nullptr) CFRelease(productNumber);
  if (!numbers) {
    CFRelease(matching);
    return nullptr;
  }
  io_iterator_t services = 0;
  // Consumes the dictionary.
  if (IOServiceGetMatchingServices(masterPort, matching, &services) != kIOReturnSuccess ||
      services == 0) {
    return nullptr;
  }
  IOUSBDeviceInterface187** device = nullptr;
  while (device == nullptr) {
    io_service_t service = IOIteratorNext(services);
    if (service == 0) break;
    device = OpenDeviceService(service, vendor, product, form);
  }
  IOObjectRelease(services);
  return device;
}

int setFirstDeviceConfiguration(IOUSBDeviceInterface187** device) {
  UInt8 configurations = 0;
  (*device)->GetNumberOfConfigurations(device, &configurations);
  if (configurations == 0) return -1;
  IOUSBConfigurationDescriptorPtr descriptor = nullptr;
  if ((*device)->GetConfigurationDescriptorPtr(device, 0, &descriptor) != kIOReturnSuccess ||
      descriptor == nullptr) {
    return -1;
  }
  if ((*device)->SetConfiguration(device, descriptor->bConfigurationValue) != kIOReturnSuccess) {
    return -1;
  }
  return 0;
}

IOUSBInterfaceInterface190** openDeviceInterface(IOUSBDeviceInterface187** device,
                                                 std::int32_t* controlPipe,
                                                 std::int32_t* bulkOutPipe,
                                                 std::int32_t* bulkInPipe) {
  IOUSBFindInterfaceRequest request;
  request.bInterfaceClass = kIOUSBFindInterfaceDontCare;
  request.bInterfaceSubClass = kIOUSBFindInterfaceDontCare;
  request.bInterfaceProtocol = kIOUSBFindInterfaceDontCare;
  request.bAlternateSetting = kIOUSBFindInterfaceDontCare;
  io_iterator_t interfaces = 0;
  (*device)->CreateInterfaceIterator(device, &request, &interfaces);
  if (interfaces == 0) return nullptr;
  IOUSBInterfaceInterface190** interface = nullptr;
  Pipes pipes = {-1, -1, -1};
  while (interface == nullptr) {
    io_service_t service = IOIteratorNext(interfaces);
    if (service == 0) break;
    interface = OpenInterfaceService(service, &pipes);
  }
  IOObjectRelease(interfaces);
  *controlPipe = pipes.control;
  *bulkOutPipe = pipes.bulkOut;
  *bulkInPipe = pipes.bulkIn;
  return interface;
}

bool OpenMacUsbDevice(USBPort* record, const char** message) {
  mach_port_t masterPort = MACH_PORT_NULL;
  // Newer SDKs deprecate IOMasterPort for IOMainPort, which older
  // systems lack; the call stays.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  kern_return_t result = IOMasterPort(MACH_PORT_NULL, &masterPort);
#pragma GCC diagnostic pop
  if (result != KERN_SUCCESS || masterPort == MACH_PORT_NULL) {
    *message = kMasterPortFailed;
    return false;
  }
  IOUSBDeviceInterface187** device = openFirstDevice(
      masterPort, kPrinterVendorId, kPrinterProductId, ParseUsbName(record->name, sizeof(record->name)));
  IOUSBInterfaceInterface190** interface = nullptr;
  if (device == nullptr) {
    *message = kCanNotOpenDevice;
  } else if (setFirstDeviceConfiguration(device) != 0) {
    CloseAndRelease(device);
    *message = kCouldNotConfigure;
  } else {
    interface = openDeviceInterface(device, &record->controlPipe, &record->bulkOutPipe,
                                    &record->bulkInPipe);
    if (interface == nullptr) {
      CloseAndRelease(device);
      *message = kCouldNotOpenInterface;
    }
  }
  mach_port_deallocate(mach_task_self(), masterPort);
  if (interface == nullptr) return false;
  record->device = device;
  record->interface = interface;
  return true;
}

void CloseMacUsbDevice(USBPort* port) {
  (*port->interface)->USBInterfaceClose(port->interface);
  (*port->interface)->Release(port->interface);
  CloseAndRelease(port->device);
}

void CutMacUsbTransfers(USBPort* port) {
  (*port->interface)->AbortPipe(port->interface, static_cast<UInt8>(port->bulkInPipe));
  (*port->interface)->AbortPipe(port->interface, static_cast<UInt8>(port->bulkOutPipe));
}

void closePortDueToNoDevice(USBPort* port) { ClosePort<MacUsbLibrary>(port); }

}  // namespace vela
