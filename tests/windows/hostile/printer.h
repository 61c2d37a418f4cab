// The emulated printers behind one library, re-scripted between calls by
// the script's abstract printer actions, and the counts the executor logs:
// the requests the library made of them and the device handles it holds.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "emulated_lpt.h"
#include "emulated_usb.h"

namespace vela_hostile {

class Printers {
 public:
  // `usb`: the USB driver's devices, else the LPT driver's; every action
  // goes to each device alike.
  explicit Printers(bool usb);

  // False when a device could not be opened (the driver did not start).
  bool ok() const;
  // Carries out one action before call `call`; false when it is not one
  // this emulation can honour (the caller counts it as a no-op).
  bool Apply(const std::string& action, const std::vector<std::string>& args, long call);
  // Requests the library side has made of the driver so far.
  unsigned Requests();
  // Handles the library side holds open on the devices (opens less closes).
  long HandlesHeld();
  // Transfers scripted to stall and not yet known to be over: each may
  // wait the driver's stall cap, so the watchdog allows for them.
  int PendingStalls() const { return stalls_; }

 private:
  void Set(int usbField, int lptField, int value);
  bool usb_;
  unsigned status_;
  int stalls_ = 0;
  std::vector<std::unique_ptr<vela_host::EmulatedUsb>> usbs_;
  std::vector<std::unique_ptr<vela_host::EmulatedLpt>> lpts_;
  vela_host::TestKeys keys_;
};

}  // namespace vela_hostile
