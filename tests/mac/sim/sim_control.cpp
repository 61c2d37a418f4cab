// How a JVM test scripts the simulated IOKit and reads what the library
// did: one native method, com.kelvora.iokitsim.SimulatedIOKit.command,
// taking one command line and answering a string. Commands:
//   reset                          no printers, nothing logged or held
//   device VID PID                 a printer that matching lists
//   dev FIELD VALUE                the last printer: plugin, query, open,
//                                  configurations, descriptor, setconfig,
//                                  configvalue, product (as reported),
//                                  iterator (0: no interface iterator),
//                                  serial TEXT (the rest of the line),
//                                  location ID
//   interface PIPE...              an interface of the last printer; each
//                                  pipe control, bulk-in, bulk-out,
//                                  interrupt-in (pipe 0 first)
//   intf FIELD VALUE               the last interface: plugin, query, open,
//                                  endpoints, pipefails
//   masterport CODE|null, matching null, services CODE
//   result CALL CODE [N]           the Nth next CALL answers CODE
//   reply BREQUEST HEX...          an IN vendor request's data
//   bulkin HEX...                  what the bulk IN pipe delivers; a read
//                                  waits while it is empty
//   bulkout hold|take              the printer stops or starts taking
//                                  bytes; a write waits while it is held
//   unplug D                       printer D leaves the bus
//   io D                           vendor requests and bytes written that
//                                  reached printer D
//   log | errors | held            what happened
//   count                          calls logged since the last reset
//   written                        count and FNV-1a sum of the bytes sent
// Test fixture, never shipped.
#include <jni.h>

#include <sstream>

#include "sim_state.h"

namespace iokit_sim {
namespace {

long Number(const std::string& s) { return std::stol(s, nullptr, 0); }

std::vector<UInt8> Bytes(std::istringstream& in) {
  std::vector<UInt8> bytes;
  std::string b;
  while (in >> b) bytes.push_back(static_cast<UInt8>(std::stoul(b, nullptr, 16)));
  return bytes;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  return all;
}

std::string Held() {
  std::vector<std::string> held;
  for (const auto& t : world().objects) {
    if (t->refs > 0) held.push_back(t->name + (t->open ? " (open)" : ""));
    else if (t->open) held.push_back(t->name + " (released while open)");
  }
  return Joined(held);
}

std::string Command(const std::string& line) {
  std::istringstream in(line);
  std::string verb, field, value;
  in >> verb;
  World& w = world();
  if (verb == "reset") {
    w = World();
  } else if (verb == "device") {
    in >> field >> value;
    SimDevice d;
    d.vendor = static_cast<UInt16>(Number(field));
    d.product = d.reportedProduct = static_cast<UInt16>(Number(value));
    w.devices.push_back(d);
  } else if (verb == "dev" && !w.devices.empty()) {
    in >> field >> value;
    SimDevice& d = w.devices.back();
    if (field == "serial") {
      // The rest of the line, spaces and all.
      d.serial = line.substr(line.find("serial") + 7);
      return "";
    }
    if (field == "location") {
      d.location = static_cast<UInt32>(Number(value));
      return "";
    }
    IOReturn code = static_cast<IOReturn>(Number(value));
    if (field == "plugin") d.plugIn = code;
    else if (field == "query") d.query = code;
    else if (field == "open") d.open = code;
    else if (field == "configurations") d.configurations = static_cast<UInt8>(code);
    else if (field == "descriptor") d.descriptor = code;
    else if (field == "setconfig") d.setConfiguration = code;
    else if (field == "configvalue") d.configurationValue = static_cast<UInt8>(code);
    else if (field == "product") d.reportedProduct = static_cast<UInt16>(code);
    else if (field == "iterator") d.interfaceIterator = code != 0;
    else return "unknown field " + field;
  } else if (verb == "interface" && !w.devices.empty()) {
    SimInterface i;
    while (in >> value) {
      if (value == "control") i.pipes.push_back({kUSBControl, kUSBNone});
      else if (value == "bulk-in") i.pipes.push_back({kUSBBulk, kUSBIn});
      else if (value == "bulk-out") i.pipes.push_back({kUSBBulk, kUSBOut});
      else if (value == "interrupt-in") i.pipes.push_back({kUSBInterrupt, kUSBIn});
      else return "unknown pipe " + value;
    }
    w.devices.back().interfaces.push_back(i);
  } else if (verb == "intf" && !w.devices.empty() && !w.devices.back().interfaces.empty()) {
    in >> field >> value;
    SimInterface& i = w.devices.back().interfaces.back();
    IOReturn code = static_cast<IOReturn>(Number(value));
    if (field == "plugin") i.plugIn = code;
    else if (field == "query") i.query = code;
    else if (field == "open") i.open = code;
    else if (field == "endpoints") i.numEndpoints = code;
    else if (field == "pipefails") i.pipeFailsAt = code;
    else return "unknown field " + field;
  } else if (verb == "masterport") {
    in >> value;
    if (value == "null") w.masterPortNull = true;
    else w.masterPort = static_cast<IOReturn>(Number(value));
  } else if (verb == "matching") {
    w.matchingNull = true;
  } else if (verb == "services") {
    in >> value;
    w.matchingServices = static_cast<IOReturn>(Number(value));
  } else if (verb == "result") {
    std::string n = "1";
    in >> field >> value >> n;
    w.results[field][w.calls[field] + static_cast<int>(Number(n))] =
        static_cast<IOReturn>(Number(value));
  } else if (verb == "reply") {
    in >> value;
    w.replies[static_cast<int>(Number(value))] = Bytes(in);
  } else if (verb == "bulkin") {
    w.bulkIn = Bytes(in);
  } else if (verb == "bulkout") {
    in >> value;
    w.outHeld = value == "hold";
  } else if (verb == "unplug" || verb == "io") {
    in >> value;
    size_t d = static_cast<size_t>(Number(value));
    if (d >= w.devices.size()) return "no printer " + value;
    if (verb == "unplug") w.devices[d].unplugged = true;
    else return std::to_string(w.devices[d].vendorRequests) + " " + std::to_string(w.devices[d].written);
  } else if (verb == "count") {
    return std::to_string(w.log.size());
  } else if (verb == "log") {
    return Joined(w.log);
  } else if (verb == "errors") {
    return Joined(w.errors);
  } else if (verb == "held") {
    return Held();
  } else if (verb == "written") {
    // The count of bytes the bulk OUT pipe took and their FNV-1a sum.
    UInt32 sum = 2166136261u;
    for (UInt8 b : w.written) sum = (sum ^ b) * 16777619u;
    return std::to_string(w.written.size()) + " " + Hex(sum);
  } else {
    return "unknown command: " + line;
  }
  return "";
}

}  // namespace
}  // namespace iokit_sim

extern "C" JNIEXPORT jstring JNICALL Java_com_kelvora_iokitsim_SimulatedIOKit_command(
    JNIEnv* env, jclass, jstring line) {
  const char* chars = env->GetStringUTFChars(line, nullptr);
  std::string answer;
  {
    std::lock_guard<std::recursive_mutex> hold(iokit_sim::SimLock());
    answer = iokit_sim::Command(chars);
    // Transfers waiting on the bus look again: data, an unplug, a release.
    iokit_sim::Changed().notify_all();
  }
  env->ReleaseStringUTFChars(line, chars);
  return env->NewStringUTF(answer.c_str());
}
