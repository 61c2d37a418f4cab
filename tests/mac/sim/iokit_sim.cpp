// The simulated IOKit, CoreFoundation and Mach calls behind the stand-in
// headers: each call is logged with its arguments, answers as the test
// scripted, and counts the references the library takes and gives back.
// Test fixture, never shipped.
#include <chrono>
#include <cstring>
#include <sstream>

#include "sim_state.h"

namespace iokit_sim {

World& world() {
  static World* w = new World;
  return *w;
}

std::recursive_mutex& SimLock() {
  static auto* m = new std::recursive_mutex;
  return *m;
}

std::condition_variable_any& Changed() {
  static auto* c = new std::condition_variable_any;
  return *c;
}

void Log(const std::string& line) { world().log.push_back(line); }
void Error(const std::string& line) { world().errors.push_back(line); }

IOReturn Result(const std::string& call) {
  int n = ++world().calls[call];
  auto& scripted = world().results[call];
  auto it = scripted.find(n);
  return it == scripted.end() ? kIOReturnSuccess : it->second;
}

std::string Hex(unsigned value) {
  std::ostringstream s;
  s << "0x" << std::hex << std::uppercase << value;
  return s.str();
}

namespace {

using Hold = std::lock_guard<std::recursive_mutex>;

// A function-table entry that holds the lock for the length of the call.
template <auto F>
struct Locked;
template <typename R, typename... A, R (*F)(A...)>
struct Locked<F> {
  static R Call(A... a) {
    Hold hold(SimLock());
    return F(a...);
  }
};

// A transaction takes a frame of the bus, during which other calls go on.
void OnTheBus() {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
  while (Changed().wait_until(SimLock(), end) == std::cv_status::no_timeout) {
  }
}

// Objects are never freed: a library holding a stale pointer meets a
// released object, which is reported, not freed memory.
Tracked* Track(const std::string& name) {
  auto* t = new Tracked;
  t->name = name;
  world().objects.push_back(t);
  return t;
}

bool Alive(Tracked* t, const char* call) {
  if (t->refs > 0) return true;
  Error(std::string(call) + " on released " + t->name);
  return false;
}

void Drop(Tracked* t, const char* how) {
  Log(std::string(how) + " " + t->name);
  t->releases++;
  if (--t->refs < 0) Error("over-released " + t->name);
}

// --- CoreFoundation objects ---

struct CFObject {
  Tracked* t;
  bool isNumber;
  CFNumberType type;
  long long value;
  std::map<std::string, CFObject*> entries;  // a dictionary's
};

std::map<const void*, CFObject*>& cfObjects() {
  static auto* m = new std::map<const void*, CFObject*>;
  return *m;
}

void ReleaseCF(CFObject* o, bool byLibrary, const char* how) {
  if (byLibrary) {
    Drop(o->t, how);
  } else if (--o->t->refs < 0) {
    Error("over-released " + o->t->name);
  }
  if (o->t->refs == 0) {
    for (auto& e : o->entries) ReleaseCF(e.second, false, "");
    o->entries.clear();
  }
}

// --- io_object_t handles ---

enum class Kind { MasterPort, Iterator, DeviceService, InterfaceService };

struct Handle {
  Tracked* t;
  Kind kind;
  int device = -1, interface = -1;
  std::vector<io_object_t> pending;  // an iterator's services
};

std::map<io_object_t, Handle>& handles() {
  static auto* m = new std::map<io_object_t, Handle>;
  return *m;
}

io_object_t NewHandle(Kind kind, const std::string& name, int device = -1, int interface = -1) {
  static io_object_t next = 100;
  Handle h;
  h.t = Track(name);
  h.kind = kind;
  h.device = device;
  h.interface = interface;
  handles()[++next] = h;
  return next;
}

Handle* Find(io_object_t object, const char* call) {
  auto it = handles().find(object);
  if (it == handles().end()) {
    Error(std::string(call) + " on unknown object " + std::to_string(object));
    return nullptr;
  }
  return Alive(it->second.t, call) ? &it->second : nullptr;
}

std::string DeviceName(int d) { return "device" + std::to_string(d); }
std::string InterfaceName(int d, int i) { return DeviceName(d) + ".interface" + std::to_string(i); }

// --- the plug-in, device and interface objects ---

struct PlugInObject {
  IOCFPlugInInterface* vtbl;
  Tracked* t;
  int device, interface;  // interface -1: a device's plug-in
};
struct DeviceObject {
  IOUSBDeviceInterface187* vtbl;
  Tracked* t;
  int device;
  int requests = 0;  // vendor requests on the bus
};
struct InterfaceObject {
  IOUSBInterfaceInterface190* vtbl;
  Tracked* t;
  int device, interface;
  std::vector<SimPipe> pipes;
  std::map<int, unsigned> aborts;  // AbortPipe calls, by pipe
  int waiting = 0;                 // transfers waiting on the bus
};

bool SameUUID(const CFUUIDBytes& a, CFUUIDRef b) {
  CFUUIDBytes bb = CFUUIDGetUUIDBytes(b);
  return std::memcmp(&a, &bb, sizeof(a)) == 0;
}

// A printer of an earlier script, reset since, answers as a plain one.
SimDevice& DeviceOf(int d) {
  static SimDevice gone;
  if (static_cast<size_t>(d) < world().devices.size()) return world().devices[static_cast<size_t>(d)];
  Error("call on a printer of an earlier script");
  return gone;
}

ULONG Release(Tracked* t) {
  Drop(t, "Release");
  return static_cast<ULONG>(t->refs < 0 ? 0 : t->refs);
}

HRESULT PlugInQuery(void* self, REFIID iid, LPVOID* ppv);
ULONG PlugInAddRef(void* self) { return static_cast<ULONG>(++static_cast<PlugInObject*>(self)->t->refs); }
ULONG PlugInRelease(void* self) { return Release(static_cast<PlugInObject*>(self)->t); }

IOCFPlugInInterface kPlugInTable = {nullptr, Locked<PlugInQuery>::Call, Locked<PlugInAddRef>::Call,
                                    Locked<PlugInRelease>::Call, 1, 0, nullptr, nullptr, nullptr};

// Device methods.
DeviceObject* Dev(void* self, const char* call) {
  auto* d = static_cast<DeviceObject*>(self);
  return Alive(d->t, call) ? d : nullptr;
}
ULONG DevAddRef(void* self) { return static_cast<ULONG>(++static_cast<DeviceObject*>(self)->t->refs); }
ULONG DevRelease(void* self) {
  auto* d = static_cast<DeviceObject*>(self);
  if (d->requests > 0) Error("Release while a request is on the bus for " + d->t->name);
  return Release(d->t);
}
IOReturn DevOpen(void* self) {
  DeviceObject* d = Dev(self, "USBDeviceOpen");
  if (d == nullptr) return kIOReturnError;
  Log("USBDeviceOpen " + d->t->name);
  SimDevice& dev = DeviceOf(d->device);
  if (dev.open != kIOReturnSuccess) return dev.open;
  if (dev.opened) return kIOReturnExclusiveAccess;
  dev.opened = d->t->open = true;
  return kIOReturnSuccess;
}
IOReturn DevClose(void* self) {
  DeviceObject* d = Dev(self, "USBDeviceClose");
  if (d == nullptr) return kIOReturnError;
  Log("USBDeviceClose " + d->t->name);
  if (!d->t->open) Error("USBDeviceClose of a device not open: " + d->t->name);
  else DeviceOf(d->device).opened = false;
  d->t->open = false;
  return kIOReturnSuccess;
}
IOReturn DevVendor(void* self, UInt16* v) {
  DeviceObject* d = Dev(self, "GetDeviceVendor");
  if (d != nullptr) *v = DeviceOf(d->device).vendor;
  return kIOReturnSuccess;
}
IOReturn DevProduct(void* self, UInt16* p) {
  DeviceObject* d = Dev(self, "GetDeviceProduct");
  if (d != nullptr) *p = DeviceOf(d->device).reportedProduct;
  return kIOReturnSuccess;
}
IOReturn DevConfigurations(void* self, UInt8* n) {
  DeviceObject* d = Dev(self, "GetNumberOfConfigurations");
  if (d != nullptr) *n = DeviceOf(d->device).configurations;
  return kIOReturnSuccess;
}
IOReturn DevDescriptor(void* self, UInt8 index, IOUSBConfigurationDescriptorPtr* desc) {
  DeviceObject* d = Dev(self, "GetConfigurationDescriptorPtr");
  if (d == nullptr) return kIOReturnError;
  Log("GetConfigurationDescriptorPtr " + d->t->name + " " + std::to_string(index));
  SimDevice& dev = DeviceOf(d->device);
  if (dev.descriptor != kIOReturnSuccess) return dev.descriptor;
  auto* c = new IOUSBConfigurationDescriptor();  // owned by the device, as IOKit's
  c->bLength = 9;
  c->bDescriptorType = 2;
  c->bConfigurationValue = dev.configurationValue;
  *desc = c;
  return kIOReturnSuccess;
}
IOReturn DevSetConfiguration(void* self, UInt8 value) {
  DeviceObject* d = Dev(self, "SetConfiguration");
  if (d == nullptr) return kIOReturnError;
  Log("SetConfiguration " + d->t->name + " " + std::to_string(value));
  OnTheBus();
  if (!d->t->open) Error("SetConfiguration on a device not open");
  return DeviceOf(d->device).setConfiguration;
}
IOReturn DevInterfaces(void* self, IOUSBFindInterfaceRequest* req, io_iterator_t* iter) {
  DeviceObject* d = Dev(self, "CreateInterfaceIterator");
  if (d == nullptr) return kIOReturnError;
  Log("CreateInterfaceIterator " + d->t->name + " " + Hex(req->bInterfaceClass) + " " +
      Hex(req->bInterfaceSubClass) + " " + Hex(req->bInterfaceProtocol) + " " +
      Hex(req->bAlternateSetting));
  SimDevice& dev = DeviceOf(d->device);
  if (!dev.interfaceIterator) return kIOReturnError;
  io_object_t it = NewHandle(Kind::Iterator, "interfaces:" + d->t->name);
  for (size_t i = 0; i < dev.interfaces.size(); ++i) {
    handles()[it].pending.push_back(NewHandle(Kind::InterfaceService,
                                              "service:" + InterfaceName(d->device, static_cast<int>(i)),
                                              d->device, static_cast<int>(i)));
  }
  *iter = it;
  return kIOReturnSuccess;
}
// UTF-8 text (the modified UTF-8 of a Java string too: a surrogate as
// three bytes) as the UTF-16 units a string descriptor carries.
std::vector<UInt16> Utf16(const std::string& text) {
  std::vector<UInt16> units;
  for (size_t i = 0; i < text.size();) {
    auto b = static_cast<unsigned char>(text[i]);
    size_t more = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
    UInt32 c = more == 0 ? b : b & (0x3F >> more);
    for (size_t k = 1; k <= more && i + k < text.size(); ++k) c = (c << 6) | (text[i + k] & 0x3F);
    i += more + 1;
    if (c > 0xFFFF) {
      units.push_back(static_cast<UInt16>(0xD800 + ((c - 0x10000) >> 10)));
      units.push_back(static_cast<UInt16>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<UInt16>(c));
    }
  }
  return units;
}

// GET_DESCRIPTOR of a string: the language list, or the serial number at
// index 3 of a printer that has one; anything else stalls, as a device does.
IOReturn StringRequest(const SimDevice& dev, IOUSBDevRequestTO* req) {
  std::vector<UInt8> reply;
  if (req->wValue == 0x0300) {
    reply = {4, 3, 0x09, 0x04};
  } else if (req->wValue == 0x0303 && !dev.serial.empty()) {
    reply = {0, 3};
    for (UInt16 unit : Utf16(dev.serial)) {
      reply.insert(reply.end(), {static_cast<UInt8>(unit), static_cast<UInt8>(unit >> 8)});
    }
    reply[0] = static_cast<UInt8>(reply.size());
  } else {
    return kIOUSBPipeStalled;
  }
  size_t n = reply.size() < req->wLength ? reply.size() : req->wLength;
  std::memcpy(req->pData, reply.data(), n);
  req->wLenDone = static_cast<UInt32>(n);
  return kIOReturnSuccess;
}
IOReturn DevLocation(void* self, UInt32* location) {
  DeviceObject* d = Dev(self, "GetLocationID");
  if (d == nullptr) return kIOReturnError;
  *location = DeviceOf(d->device).location;
  return kIOReturnSuccess;
}
IOReturn DevSerialIndex(void* self, UInt8* index) {
  DeviceObject* d = Dev(self, "USBGetSerialNumberStringIndex");
  if (d == nullptr) return kIOReturnError;
  *index = DeviceOf(d->device).serial.empty() ? 0 : 3;
  return kIOReturnSuccess;
}
IOReturn DevRequest(void* self, IOUSBDevRequestTO* req) {
  DeviceObject* d = Dev(self, "DeviceRequestTO");
  if (d == nullptr) return kIOReturnError;
  Log("DeviceRequestTO " + Hex(req->bmRequestType) + " " + Hex(req->bRequest) + " " +
      Hex(req->wValue) + " " + Hex(req->wIndex) + " " + std::to_string(req->wLength) + " " +
      std::to_string(req->noDataTimeout) + " " + std::to_string(req->completionTimeout));
  IOReturn r = Result("DeviceRequestTO");
  if (r != kIOReturnSuccess) return r;
  SimDevice& dev = DeviceOf(d->device);
  if (dev.unplugged) return kIOReturnNoDevice;
  d->requests++;
  OnTheBus();
  d->requests--;
  if (req->bmRequestType == 0x80 && req->bRequest == 6) return StringRequest(dev, req);
  dev.vendorRequests++;
  if ((req->bmRequestType & 0x80) != 0) {
    const std::vector<UInt8>& reply = world().replies[req->bRequest];
    size_t n = reply.size() < req->wLength ? reply.size() : req->wLength;
    if (n > 0) std::memcpy(req->pData, reply.data(), n);
    req->wLenDone = static_cast<UInt32>(n);
  }
  return kIOReturnSuccess;
}

IOUSBDeviceInterface187 MakeDeviceTable() {
  IOUSBDeviceInterface187 t = {};
  t.AddRef = Locked<DevAddRef>::Call;
  t.Release = Locked<DevRelease>::Call;
  t.USBDeviceOpen = Locked<DevOpen>::Call;
  t.USBDeviceClose = Locked<DevClose>::Call;
  t.GetDeviceVendor = Locked<DevVendor>::Call;
  t.GetDeviceProduct = Locked<DevProduct>::Call;
  t.GetNumberOfConfigurations = Locked<DevConfigurations>::Call;
  t.GetConfigurationDescriptorPtr = Locked<DevDescriptor>::Call;
  t.SetConfiguration = Locked<DevSetConfiguration>::Call;
  t.CreateInterfaceIterator = Locked<DevInterfaces>::Call;
  t.DeviceRequestTO = Locked<DevRequest>::Call;
  t.GetLocationID = Locked<DevLocation>::Call;
  t.USBGetSerialNumberStringIndex = Locked<DevSerialIndex>::Call;
  return t;
}
IOUSBDeviceInterface187 kDeviceTable = MakeDeviceTable();

// Interface methods.
InterfaceObject* Intf(void* self, const char* call) {
  auto* i = static_cast<InterfaceObject*>(self);
  return Alive(i->t, call) ? i : nullptr;
}
SimInterface& InterfaceOf(InterfaceObject* i) {
  static SimInterface gone;
  SimDevice& d = DeviceOf(i->device);
  if (static_cast<size_t>(i->interface) < d.interfaces.size()) {
    return d.interfaces[static_cast<size_t>(i->interface)];
  }
  return gone;
}
ULONG IntfAddRef(void* self) { return static_cast<ULONG>(++static_cast<InterfaceObject*>(self)->t->refs); }
// Closing or releasing an interface under a waiting transfer is a close
// that did not wait for the call to leave.
void NoneWaiting(InterfaceObject* i, const char* call) {
  if (i->waiting > 0) Error(std::string(call) + " while a transfer waits on " + i->t->name);
}
ULONG IntfRelease(void* self) {
  NoneWaiting(static_cast<InterfaceObject*>(self), "Release");
  return Release(static_cast<InterfaceObject*>(self)->t);
}
IOReturn IntfOpen(void* self) {
  InterfaceObject* i = Intf(self, "USBInterfaceOpen");
  if (i == nullptr) return kIOReturnError;
  Log("USBInterfaceOpen " + i->t->name);
  SimInterface& s = InterfaceOf(i);
  if (s.open != kIOReturnSuccess) return s.open;
  if (s.opened) return kIOReturnExclusiveAccess;
  s.opened = i->t->open = true;
  return kIOReturnSuccess;
}
IOReturn IntfClose(void* self) {
  InterfaceObject* i = Intf(self, "USBInterfaceClose");
  if (i == nullptr) return kIOReturnError;
  Log("USBInterfaceClose " + i->t->name);
  if (!i->t->open) Error("USBInterfaceClose of an interface not open: " + i->t->name);
  else InterfaceOf(i).opened = false;
  NoneWaiting(i, "USBInterfaceClose");
  i->t->open = false;
  return kIOReturnSuccess;
}
IOReturn IntfEndpoints(void* self, UInt8* n) {
  InterfaceObject* i = Intf(self, "GetNumEndpoints");
  if (i == nullptr) return kIOReturnError;
  SimInterface& s = InterfaceOf(i);
  *n = static_cast<UInt8>(s.pipes.empty() ? 0 : s.pipes.size() - 1);
  return s.numEndpoints;
}
IOReturn IntfPipe(void* self, UInt8 pipe, UInt8* direction, UInt8* number, UInt8* type,
                  UInt16* maxPacket, UInt8* interval) {
  InterfaceObject* i = Intf(self, "GetPipeProperties");
  if (i == nullptr) return kIOReturnError;
  Log("GetPipeProperties " + i->t->name + " " + std::to_string(pipe));
  SimInterface& s = InterfaceOf(i);
  if (pipe >= s.pipes.size() || (s.pipeFailsAt >= 0 && pipe >= s.pipeFailsAt)) {
    return kIOReturnError;
  }
  *direction = s.pipes[pipe].direction;
  *type = s.pipes[pipe].type;
  *number = pipe;
  *maxPacket = 64;
  *interval = 0;
  return kIOReturnSuccess;
}
// What a bulk transfer on the pipe answers, given its scripted result: a
// stall halts the pipe, and a halted pipe stalls every transfer until its
// halt is cleared at both ends (ClearPipeStallBothEnds), as on a Mac.
IOReturn Transfer(InterfaceObject* i, UInt8 pipe, IOReturn scripted) {
  SimInterface& s = InterfaceOf(i);
  if (scripted == kIOUSBPipeStalled) s.halted.insert(pipe);
  if (scripted != kIOReturnSuccess) return scripted;
  if (DeviceOf(i->device).unplugged) return kIOReturnNoDevice;
  return s.halted.count(pipe) != 0 ? kIOUSBPipeStalled : kIOReturnSuccess;
}
// A bulk transfer on the bus: it waits until `moves` says the printer moves
// its bytes (then takes a frame), its completion timeout passes (0: none, as IOKit's), AbortPipe
// ends it (kIOReturnAborted) or the printer leaves. The pipes of an
// interface not open do not exist.
template <typename Moves>
IOReturn Await(InterfaceObject* i, UInt8 pipe, UInt32 completionMs, Moves moves) {
  if (!i->t->open) {
    Error("transfer on " + i->t->name + ", which is not open");
    return kIOReturnNotOpen;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(completionMs);
  const unsigned aborts = i->aborts[pipe];
  i->waiting++;
  IOReturn r = kIOReturnSuccess;
  while (!moves()) {
    if (DeviceOf(i->device).unplugged) r = kIOReturnNoDevice;
    else if (i->aborts[pipe] != aborts) r = kIOReturnAborted;
    else if (completionMs != 0 && std::chrono::steady_clock::now() >= deadline) r = kIOReturnTimeout;
    if (r != kIOReturnSuccess) break;
    if (completionMs == 0) Changed().wait(SimLock());
    else Changed().wait_until(SimLock(), deadline);
  }
  if (r == kIOReturnSuccess) OnTheBus();
  i->waiting--;
  return r;
}
IOReturn IntfRead(void* self, UInt8 pipe, void* buf, UInt32* size, UInt32 noData, UInt32 done) {
  InterfaceObject* i = Intf(self, "ReadPipeTO");
  if (i == nullptr) return kIOReturnError;
  Log("ReadPipeTO " + std::to_string(pipe) + " " + std::to_string(*size) + " " +
      std::to_string(noData) + " " + std::to_string(done));
  IOReturn r = Transfer(i, pipe, Result("ReadPipeTO"));
  if (r != kIOReturnSuccess) return r;
  std::vector<UInt8>& in = world().bulkIn;
  r = Await(i, pipe, done, [&] { return *size == 0 || !in.empty(); });
  if (r != kIOReturnSuccess) return r;
  size_t n = in.size() < *size ? in.size() : *size;
  if (n > 0) std::memcpy(buf, in.data(), n);
  in.erase(in.begin(), in.begin() + static_cast<long>(n));
  *size = static_cast<UInt32>(n);
  return kIOReturnSuccess;
}
IOReturn IntfWrite(void* self, UInt8 pipe, void* buf, UInt32 size, UInt32 noData, UInt32 done) {
  InterfaceObject* i = Intf(self, "WritePipeTO");
  if (i == nullptr) return kIOReturnError;
  Log("WritePipeTO " + std::to_string(pipe) + " " + std::to_string(size) + " " +
      std::to_string(noData) + " " + std::to_string(done));
  IOReturn r = Transfer(i, pipe, Result("WritePipeTO"));
  if (r != kIOReturnSuccess) return r;
  r = Await(i, pipe, done, [] { return !world().outHeld; });
  if (r != kIOReturnSuccess) return r;
  DeviceOf(i->device).written += size;
  const UInt8* b = static_cast<const UInt8*>(buf);
  world().written.insert(world().written.end(), b, b + size);
  return kIOReturnSuccess;
}
IOReturn IntfClearStall(void* self, UInt8 pipe) {
  InterfaceObject* i = Intf(self, "ClearPipeStallBothEnds");
  if (i == nullptr) return kIOReturnError;
  Log("ClearPipeStallBothEnds " + std::to_string(pipe));
  IOReturn r = Result("ClearPipeStallBothEnds");
  if (r == kIOReturnSuccess && DeviceOf(i->device).unplugged) r = kIOReturnNoDevice;
  if (r == kIOReturnSuccess) InterfaceOf(i).halted.erase(pipe);
  return r;
}

IOReturn IntfAbort(void* self, UInt8 pipe) {
  InterfaceObject* i = Intf(self, "AbortPipe");
  if (i == nullptr) return kIOReturnError;
  Log("AbortPipe " + std::to_string(pipe));
  if (!i->t->open) {
    Error("AbortPipe on " + i->t->name + ", which is not open");
    return kIOReturnNotOpen;
  }
  i->aborts[pipe]++;
  InterfaceOf(i).halted.erase(pipe);  // an abort clears the halt, as Apple documents
  Changed().notify_all();
  return kIOReturnSuccess;
}

IOUSBInterfaceInterface190 MakeInterfaceTable() {
  IOUSBInterfaceInterface190 t = {};
  t.AddRef = Locked<IntfAddRef>::Call;
  t.Release = Locked<IntfRelease>::Call;
  t.USBInterfaceOpen = Locked<IntfOpen>::Call;
  t.USBInterfaceClose = Locked<IntfClose>::Call;
  t.GetNumEndpoints = Locked<IntfEndpoints>::Call;
  t.GetPipeProperties = Locked<IntfPipe>::Call;
  t.AbortPipe = Locked<IntfAbort>::Call;
  t.ReadPipeTO = Locked<IntfRead>::Call;
  t.WritePipeTO = Locked<IntfWrite>::Call;
  t.ClearPipeStallBothEnds = Locked<IntfClearStall>::Call;
  return t;
}
IOUSBInterfaceInterface190 kInterfaceTable = MakeInterfaceTable();

HRESULT PlugInQuery(void* self, REFIID iid, LPVOID* ppv) {
  auto* p = static_cast<PlugInObject*>(self);
  *ppv = nullptr;
  if (!Alive(p->t, "QueryInterface")) return E_NOINTERFACE;
  Log("QueryInterface " + p->t->name);
  if (p->interface < 0) {
    if (!SameUUID(iid, kIOUSBDeviceInterfaceID187)) {
      Error("device plug-in asked for another interface");
      return E_NOINTERFACE;
    }
    if (DeviceOf(p->device).query != S_OK) return DeviceOf(p->device).query;
    auto* d = new DeviceObject{&kDeviceTable, Track(DeviceName(p->device)), p->device, 0};
    *ppv = &d->vtbl;
    return S_OK;
  }
  if (!SameUUID(iid, kIOUSBInterfaceInterfaceID190)) {
    Error("interface plug-in asked for another interface");
    return E_NOINTERFACE;
  }
  SimDevice& dev = DeviceOf(p->device);
  if (dev.interfaces[static_cast<size_t>(p->interface)].query != S_OK) {
    return dev.interfaces[static_cast<size_t>(p->interface)].query;
  }
  auto* i = new InterfaceObject{&kInterfaceTable, Track(InterfaceName(p->device, p->interface)),
                                p->device, p->interface, {}, {}, 0};
  *ppv = &i->vtbl;
  return S_OK;
}

struct UUIDObject {
  CFUUIDBytes bytes;
};

}  // namespace
}  // namespace iokit_sim

using namespace iokit_sim;

extern "C" {

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFAllocatorRef kCFAllocatorSystemDefault = nullptr;
mach_port_t mach_task_self_ = 7;

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType type, const void* valuePtr) {
  Hold hold(SimLock());
  auto* o = new CFObject{nullptr, true, type, 0, {}};
  if (type == kCFNumberSInt32Type) o->value = *static_cast<const SInt32*>(valuePtr);
  else if (type == kCFNumberSInt16Type) o->value = *static_cast<const int16_t*>(valuePtr);
  else if (type == kCFNumberSInt64Type) o->value = *static_cast<const int64_t*>(valuePtr);
  else o->value = *static_cast<const int8_t*>(valuePtr);
  o->t = Track("number" + std::to_string(o->value));
  Log("CFNumberCreate " + std::to_string(type) + " " + std::to_string(o->value));
  cfObjects()[o] = o;
  return reinterpret_cast<CFNumberRef>(o);
}

CFStringRef __CFStringMakeConstantString(const char* cStr) {
  Hold hold(SimLock());
  static auto* strings = new std::map<std::string, std::string*>;
  std::string*& s = (*strings)[cStr];
  if (s == nullptr) s = new std::string(cStr);
  return reinterpret_cast<CFStringRef>(s);
}

void CFDictionarySetValue(CFMutableDictionaryRef dict, const void* key, const void* value) {
  Hold hold(SimLock());
  auto d = cfObjects().find(dict);
  auto v = cfObjects().find(value);
  if (d == cfObjects().end() || v == cfObjects().end()) {
    Error("CFDictionarySetValue with an unknown dictionary or value");
    return;
  }
  const std::string& k = *reinterpret_cast<const std::string*>(key);
  Log("CFDictionarySetValue " + k + " " + v->second->t->name);
  if (!Alive(d->second->t, "CFDictionarySetValue") || !Alive(v->second->t, "CFDictionarySetValue"))
    return;
  v->second->t->refs++;  // the dictionary's own reference
  auto& slot = d->second->entries[k];
  if (slot != nullptr) ReleaseCF(slot, false, "");
  slot = v->second;
}

void CFRelease(CFTypeRef cf) {
  Hold hold(SimLock());
  auto it = cfObjects().find(cf);
  if (it == cfObjects().end()) {
    Error("CFRelease of an object not created");
    return;
  }
  if (Alive(it->second->t, "CFRelease")) ReleaseCF(it->second, true, "CFRelease");
}

CFUUIDRef CFUUIDGetConstantUUIDWithBytes(CFAllocatorRef, UInt8 b0, UInt8 b1, UInt8 b2, UInt8 b3,
                                         UInt8 b4, UInt8 b5, UInt8 b6, UInt8 b7, UInt8 b8,
                                         UInt8 b9, UInt8 b10, UInt8 b11, UInt8 b12, UInt8 b13,
                                         UInt8 b14, UInt8 b15) {
  Hold hold(SimLock());
  static auto* constants = new std::vector<UUIDObject*>;
  CFUUIDBytes bytes = {b0, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12, b13, b14, b15};
  for (UUIDObject* u : *constants) {
    if (std::memcmp(&u->bytes, &bytes, sizeof(bytes)) == 0) return reinterpret_cast<CFUUIDRef>(u);
  }
  constants->push_back(new UUIDObject{bytes});
  return reinterpret_cast<CFUUIDRef>(constants->back());
}

CFUUIDBytes CFUUIDGetUUIDBytes(CFUUIDRef uuid) {
  Hold hold(SimLock());
  return reinterpret_cast<const UUIDObject*>(uuid)->bytes;
}

kern_return_t mach_port_deallocate(ipc_space_t task, mach_port_name_t name) {
  Hold hold(SimLock());
  if (task != mach_task_self_) Error("mach_port_deallocate in another task");
  Handle* h = Find(name, "mach_port_deallocate");
  if (h == nullptr) return KERN_SUCCESS;
  if (h->kind != Kind::MasterPort) Error("mach_port_deallocate of " + h->t->name);
  Drop(h->t, "mach_port_deallocate");
  return KERN_SUCCESS;
}

kern_return_t IOMasterPort(mach_port_t bootstrap, mach_port_t* master) {
  Hold hold(SimLock());
  Log("IOMasterPort " + std::to_string(bootstrap));
  if (world().masterPort != KERN_SUCCESS) return world().masterPort;
  *master = world().masterPortNull ? MACH_PORT_NULL : NewHandle(Kind::MasterPort, "masterport");
  return KERN_SUCCESS;
}

CFMutableDictionaryRef IOServiceMatching(const char* name) {
  Hold hold(SimLock());
  Log(std::string("IOServiceMatching ") + name);
  if (world().matchingNull) return nullptr;
  auto* o = new CFObject{Track("matching"), false, 0, 0, {}};
  cfObjects()[o] = o;
  return reinterpret_cast<CFMutableDictionaryRef>(o);
}

kern_return_t IOServiceGetMatchingServices(mach_port_t master, CFDictionaryRef matching,
                                           io_iterator_t* existing) {
  Hold hold(SimLock());
  Log("IOServiceGetMatchingServices");
  Handle* m = Find(master, "IOServiceGetMatchingServices");
  if (m != nullptr && m->kind != Kind::MasterPort) Error("matching through " + m->t->name);
  auto it = cfObjects().find(matching);
  if (it == cfObjects().end()) {
    Error("matching with an unknown dictionary");
    return kIOReturnError;
  }
  CFObject* dict = it->second;
  // Only SInt32 numbers match, as IOKit compares the property's type.
  auto number = [&](const char* key, long long* value) {
    auto e = dict->entries.find(key);
    if (e == dict->entries.end() || !e->second->isNumber) return false;
    if (e->second->type != kCFNumberSInt32Type) {
      Error(std::string(key) + " is not an SInt32 number");
      return false;
    }
    *value = e->second->value;
    return true;
  };
  long long vendor = -1, product = -1;
  bool complete = number("idVendor", &vendor) && number("idProduct", &product);
  // The call consumes the dictionary, whatever it answers.
  ReleaseCF(dict, false, "");
  if (world().matchingServices != KERN_SUCCESS) return world().matchingServices;
  io_object_t iterator = NewHandle(Kind::Iterator, "services");
  for (size_t d = 0; d < world().devices.size() && complete; ++d) {
    const SimDevice& dev = world().devices[d];
    if (dev.vendor == vendor && dev.product == product && !dev.unplugged) {
      handles()[iterator].pending.push_back(NewHandle(Kind::DeviceService,
                                                      "service:" + DeviceName(static_cast<int>(d)),
                                                      static_cast<int>(d)));
    }
  }
  *existing = iterator;
  return KERN_SUCCESS;
}

io_object_t IOIteratorNext(io_iterator_t iterator) {
  Hold hold(SimLock());
  Handle* h = Find(iterator, "IOIteratorNext");
  if (h == nullptr || h->pending.empty()) return 0;
  io_object_t next = h->pending.front();
  h->pending.erase(h->pending.begin());
  return next;
}

kern_return_t IOObjectRelease(io_object_t object) {
  Hold hold(SimLock());
  Handle* h = Find(object, "IOObjectRelease");
  if (h == nullptr) return kIOReturnError;
  if (h->kind == Kind::MasterPort) Error("IOObjectRelease of the master port");
  Drop(h->t, "IOObjectRelease");
  // Services an iterator still holds go with it.
  if (h->t->refs == 0) {
    for (io_object_t s : h->pending) handles()[s].t->refs--;
    h->pending.clear();
  }
  return KERN_SUCCESS;
}

kern_return_t IOCreatePlugInInterfaceForService(io_service_t service, CFUUIDRef pluginType,
                                                CFUUIDRef interfaceType,
                                                IOCFPlugInInterface*** theInterface,
                                                SInt32* theScore) {
  Hold hold(SimLock());
  Handle* h = Find(service, "IOCreatePlugInInterfaceForService");
  if (h == nullptr) return kIOReturnError;
  Log("IOCreatePlugInInterfaceForService " + h->t->name);
  bool isDevice = h->kind == Kind::DeviceService;
  CFUUIDRef expected = isDevice ? kIOUSBDeviceUserClientTypeID : kIOUSBInterfaceUserClientTypeID;
  if (pluginType != expected || interfaceType != kIOCFPlugInInterfaceID) {
    Error("plug-in of the wrong type for " + h->t->name);
    return kIOReturnError;
  }
  SimDevice& dev = DeviceOf(h->device);
  IOReturn r = isDevice ? dev.plugIn : dev.interfaces[static_cast<size_t>(h->interface)].plugIn;
  if (r != kIOReturnSuccess) return r;
  std::string name = "plugin:" + (isDevice ? DeviceName(h->device) : InterfaceName(h->device, h->interface));
  auto* p = new PlugInObject{&kPlugInTable, Track(name), h->device, isDevice ? -1 : h->interface};
  *theInterface = &p->vtbl;
  *theScore = 0;
  return kIOReturnSuccess;
}

}  // extern "C"
