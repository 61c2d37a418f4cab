// Compiled (not run) for each Mac target the shipped library is built for:
// the stand-in framework headers keep Apple's layouts and values. Slots are
// counted from Apple's IOUSBLib.h (the three IUnknown calls after a reserved
// pointer, then the interface's own calls in order); the UUIDs are IOKit's
// published ones. A member moved, dropped or added in the stand-in, or a
// mistyped byte, fails this compile where it would call the wrong function
// on a Mac.
#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOCFPlugIn.h>
#include <IOKit/IOKitLib.h>
#include <IOKit/usb/IOUSBLib.h>

#include <cstddef>
#include <cstdint>

namespace {

struct Uuid {
  std::uint8_t bytes[16];
};

constexpr bool operator==(const Uuid& a, const Uuid& b) {
  for (int i = 0; i < 16; ++i) {
    if (a.bytes[i] != b.bytes[i]) return false;
  }
  return true;
}

constexpr int Hex(char c) {
  return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c - 'a' + 10;
}

// "9DC7B780-9EC0-11D4-A54F-000A27052861", as IOKit documents them.
constexpr Uuid Parse(const char* text) {
  Uuid u{};
  int n = 0;
  for (int i = 0; text[i] != 0 && n < 16; ++i) {
    if (text[i] == '-') continue;
    u.bytes[n++] = static_cast<std::uint8_t>(Hex(text[i]) * 16 + Hex(text[i + 1]));
    ++i;
  }
  return u;
}

}  // namespace

// The headers' UUID macros, read as the bytes they pass.
#undef CFUUIDGetConstantUUIDWithBytes
#define CFUUIDGetConstantUUIDWithBytes(allocator, ...) (Uuid{{__VA_ARGS__}})

static_assert(kIOUSBDeviceUserClientTypeID == Parse("9DC7B780-9EC0-11D4-A54F-000A27052861"), "");
static_assert(kIOUSBInterfaceUserClientTypeID == Parse("2D9786C6-9EF3-11D4-AD51-000A27052861"), "");
static_assert(kIOCFPlugInInterfaceID == Parse("C244E858-109C-11D4-91D4-0050E4C6426F"), "");
static_assert(kIOUSBDeviceInterfaceID187 == Parse("3C9EE1EB-2402-11B2-8E7E-000A27801E86"), "");
static_assert(kIOUSBInterfaceInterfaceID190 == Parse("8FDB8455-74A6-11D6-97B1-003065D3608E"), "");

#define SLOT(type, member, n) static_assert(offsetof(type, member) == (n) * sizeof(void*), #member)

SLOT(IOUSBDeviceInterface187, QueryInterface, 1);
SLOT(IOUSBDeviceInterface187, Release, 3);
SLOT(IOUSBDeviceInterface187, USBDeviceOpen, 8);
SLOT(IOUSBDeviceInterface187, USBDeviceClose, 9);
SLOT(IOUSBDeviceInterface187, GetDeviceVendor, 13);
SLOT(IOUSBDeviceInterface187, GetDeviceProduct, 14);
SLOT(IOUSBDeviceInterface187, GetNumberOfConfigurations, 19);
SLOT(IOUSBDeviceInterface187, GetConfigurationDescriptorPtr, 21);
SLOT(IOUSBDeviceInterface187, SetConfiguration, 23);
SLOT(IOUSBDeviceInterface187, CreateInterfaceIterator, 28);
SLOT(IOUSBDeviceInterface187, DeviceRequestTO, 30);
SLOT(IOUSBDeviceInterface187, USBDeviceReEnumerate, 37);
static_assert(sizeof(IOUSBDeviceInterface187) == 38 * sizeof(void*), "");

SLOT(IOUSBInterfaceInterface190, USBInterfaceOpen, 8);
SLOT(IOUSBInterfaceInterface190, USBInterfaceClose, 9);
SLOT(IOUSBInterfaceInterface190, GetNumEndpoints, 19);
SLOT(IOUSBInterfaceInterface190, GetPipeProperties, 26);
SLOT(IOUSBInterfaceInterface190, ReadPipeTO, 39);
SLOT(IOUSBInterfaceInterface190, WritePipeTO, 40);
SLOT(IOUSBInterfaceInterface190, USBInterfaceOpenSeize, 44);
SLOT(IOUSBInterfaceInterface190, ClearPipeStallBothEnds, 45);
SLOT(IOUSBInterfaceInterface190, GetEndpointProperties, 48);
static_assert(sizeof(IOUSBInterfaceInterface190) == 49 * sizeof(void*), "");

SLOT(IOCFPlugInInterface, QueryInterface, 1);
SLOT(IOCFPlugInInterface, Release, 3);
static_assert(offsetof(IOCFPlugInInterface, revision) == 34, "");
SLOT(IOCFPlugInInterface, Probe, 5);
SLOT(IOCFPlugInInterface, Stop, 7);

static_assert(offsetof(IOUSBDevRequestTO, bRequest) == 1, "");
static_assert(offsetof(IOUSBDevRequestTO, wValue) == 2, "");
static_assert(offsetof(IOUSBDevRequestTO, wIndex) == 4, "");
static_assert(offsetof(IOUSBDevRequestTO, wLength) == 6, "");
static_assert(offsetof(IOUSBDevRequestTO, pData) == 8, "");
static_assert(offsetof(IOUSBDevRequestTO, wLenDone) == 16, "");
static_assert(offsetof(IOUSBDevRequestTO, noDataTimeout) == 20, "");
static_assert(offsetof(IOUSBDevRequestTO, completionTimeout) == 24, "");
static_assert(sizeof(IOUSBDevRequestTO) == 32, "");

static_assert(offsetof(IOUSBFindInterfaceRequest, bInterfaceSubClass) == 2, "");
static_assert(offsetof(IOUSBFindInterfaceRequest, bInterfaceProtocol) == 4, "");
static_assert(offsetof(IOUSBFindInterfaceRequest, bAlternateSetting) == 6, "");
static_assert(sizeof(IOUSBFindInterfaceRequest) == 8, "");
static_assert(kIOUSBFindInterfaceDontCare == 0xFFFF, "");

static_assert(offsetof(IOUSBConfigurationDescriptor, wTotalLength) == 2, "");
static_assert(offsetof(IOUSBConfigurationDescriptor, bConfigurationValue) == 5, "");
static_assert(sizeof(IOUSBConfigurationDescriptor) == 9, "");

static_assert(kUSBControl == 0 && kUSBBulk == 2 && kUSBOut == 0 && kUSBIn == 1, "");
static_assert(static_cast<std::uint32_t>(kIOReturnNoDevice) == 0xE00002C0u, "");
static_assert(static_cast<std::uint32_t>(kIOUSBPipeStalled) == 0xE000404Fu, "");
static_assert(static_cast<std::uint32_t>(kIOReturnAborted) == 0xE00002EBu, "");
static_assert(kIOReturnSuccess == 0 && KERN_SUCCESS == 0 && MACH_PORT_NULL == 0, "");
static_assert(kCFNumberSInt32Type == 3, "");
static_assert(sizeof(CFUUIDBytes) == 16 && sizeof(SInt32) == 4 && sizeof(CFIndex) == 8, "");
static_assert(sizeof(mach_port_t) == 4 && sizeof(IOReturn) == 4, "");
