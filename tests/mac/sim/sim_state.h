// The simulated IOKit's world: the printers a test scripts, every object
// handed to the library with its reference count, and the log of calls.
// Test fixture, never shipped.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOCFPlugIn.h>
#include <IOKit/usb/IOUSBLib.h>
#include <mach/mach.h>

#include <condition_variable>
#include <map>
#include <set>
#include <mutex>
#include <string>
#include <vector>

namespace iokit_sim {

// An object the library holds references to.
struct Tracked {
  std::string name;
  int refs = 1;
  int releases = 0;
  bool open = false;  // a device or interface between its open and close
};

struct SimPipe {
  UInt8 type, direction;
};

struct SimInterface {
  std::vector<SimPipe> pipes;  // by pipe reference; 0 is the control pipe
  IOReturn plugIn = kIOReturnSuccess;
  HRESULT query = S_OK;
  IOReturn open = kIOReturnSuccess;
  IOReturn numEndpoints = kIOReturnSuccess;
  int pipeFailsAt = -1;  // GetPipeProperties fails from this reference on
  std::set<int> halted;  // pipes that stalled, until cleared at both ends
  bool opened = false;   // through some interface object: opens are exclusive
};

struct SimDevice {
  UInt16 vendor, product;        // what matching sees
  UInt16 reportedProduct;        // what GetDeviceProduct answers
  IOReturn plugIn = kIOReturnSuccess;
  HRESULT query = S_OK;
  IOReturn open = kIOReturnSuccess;
  UInt8 configurations = 1;
  IOReturn descriptor = kIOReturnSuccess;
  IOReturn setConfiguration = kIOReturnSuccess;
  UInt8 configurationValue = 1;
  bool interfaceIterator = true;
  std::vector<SimInterface> interfaces;
  std::string serial;      // the serial number string; empty: none
  UInt32 location = 0;     // its socket's location ID
  bool unplugged = false;  // matching skips it, its calls answer kIOReturnNoDevice
  int vendorRequests = 0;  // that reached it
  size_t written = 0;      // bytes its bulk OUT pipe took
  bool opened = false;     // through some device object: opens are exclusive
};

struct World {
  std::vector<SimDevice> devices;
  IOReturn masterPort = KERN_SUCCESS;
  bool masterPortNull = false;
  bool matchingNull = false;
  IOReturn matchingServices = KERN_SUCCESS;
  std::map<std::string, std::map<int, IOReturn>> results;  // call -> ordinal -> result
  std::map<std::string, int> calls;
  std::map<int, std::vector<UInt8>> replies;  // bRequest -> IN data
  std::vector<UInt8> bulkIn;
  bool outHeld = false;  // the printer takes no bytes: writes wait
  std::vector<UInt8> written;
  std::vector<std::string> log;
  std::vector<std::string> errors;  // misuse of the frameworks
  std::vector<Tracked*> objects;  // never freed: see Track()
};

World& world();
// Calls come from any thread, as IOKit's do: every call and command holds
// this lock; a transfer waiting on the bus sleeps on `Changed()`, which
// every command and abort wakes.
std::recursive_mutex& SimLock();
std::condition_variable_any& Changed();
void Log(const std::string& line);
void Error(const std::string& line);
// The scripted result of this call of `call`, counting it.
IOReturn Result(const std::string& call);
std::string Hex(unsigned value);

}  // namespace iokit_sim
