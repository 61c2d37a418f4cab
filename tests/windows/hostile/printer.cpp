#include "printer.h"

#include "script.h"

namespace vela_hostile {
namespace {

// The devices each emulated driver makes (usb_driver.c, lpt_driver.c).
const char* const kUsbDevices[] = {"QDXUSB001", "QDXUSB002", "QDXUSBLONGNAME017", "VUSBIF1",
                                   "VUSBIF2"};
const char* const kLptDevices[] = {"VLPT", "VLPT2", "1VLPT", "8VLPT", "9VLPT", "-1VLPT",
                                   "VLPTBENCH"};

constexpr char kEnumerator[] = "Enum\\QDXBUS\\USBCOM\\";
constexpr char kEnumeratedSubkey[] = "INST_0USB&VID_0F3C&PID_0002&5&1F2E3D&0&1";
constexpr char kEnumeratedPort[] = "QDXUSB0010";

// A fresh printer's status: USB no error and online; LPT selected.
constexpr unsigned kUsbFresh = 0x18, kLptFresh = 0x80;
// The bit that says on line: USB select, LPT PARALLEL_SELECTED.
constexpr unsigned kUsbOnline = 0x10, kLptOnline = 0x80;

}  // namespace

Printers::Printers(bool usb) : usb_(usb), status_(usb ? kUsbFresh : kLptFresh) {
  if (usb_) {
    for (const char* d : kUsbDevices) usbs_.emplace_back(new vela_host::EmulatedUsb(d));
    // As the maker's bus enumerator would list it: a port name that only
    // the registry walks and the Setup API resolve, to the first interface
    // device, so that every open walks them.
    keys_.Set(std::string(kEnumerator) + kEnumeratedSubkey, "PortName", kEnumeratedPort);
  } else {
    for (const char* d : kLptDevices)
      lpts_.emplace_back(new vela_host::EmulatedLpt(std::string("\\\\.\\") + d));
  }
}

bool Printers::ok() const {
  for (const auto& u : usbs_)
    if (!u->ok()) return false;
  for (const auto& l : lpts_)
    if (!l->ok()) return false;
  return true;
}

void Printers::Set(int usbField, int lptField, int value) {
  for (auto& u : usbs_) u->Set(static_cast<VelaUsbField>(usbField), value);
  for (auto& l : lpts_) l->Set(static_cast<VelaLptField>(lptField), value);
}

bool Printers::Apply(const std::string& action, const std::vector<std::string>& args, long call) {
  long long k = 1;
  std::string bytes;
  if (action == "normal") {
    status_ = usb_ ? kUsbFresh : kLptFresh;
    stalls_ = 0;
    Set(VELA_USB_FAIL, VELA_LPT_FAIL_NEXT, 0);
    Set(VELA_USB_STALL, VELA_LPT_STALL, 0);
    Set(VELA_USB_SHORT, VELA_LPT_SHORT, 0);
    Set(VELA_USB_STATUS, VELA_LPT_STATUS, static_cast<int>(status_));
    Set(VELA_USB_STATUS_ANSWERS, VELA_LPT_ACCEPT, -1);
    for (auto& u : usbs_) u->Accept({});
    for (auto& l : lpts_) {
      l->Set(VELA_LPT_COMM_ERRORS, 0);
      l->Set(VELA_LPT_FAIL_RESET, 0);
      l->Set(VELA_LPT_FAIL_STATUS, 0);
      l->Set(VELA_LPT_FAIL_GET_TIMEOUTS, 0);
    }
    for (auto& u : usbs_) u->Feed({});
    for (auto& l : lpts_) l->Feed({});
    Set(VELA_USB_PRESENT, VELA_LPT_PRESENT, 1);
  } else if (action == "fail") {
    if (!args.empty() && (!DecodeNumber(args[0], &k) || k < 0 || k > 1000000)) return false;
    Set(VELA_USB_FAIL, VELA_LPT_FAIL_NEXT, static_cast<int>(k));
  } else if (action == "short") {
    Set(VELA_USB_SHORT, VELA_LPT_SHORT, 1);
  } else if (action == "stall") {
    // Each stall replaces the last, as each fail does.
    stalls_ = 1;
    Set(VELA_USB_STALL, VELA_LPT_STALL, 1);
  } else if (action == "status" || action == "offline" || action == "online") {
    unsigned online = usb_ ? kUsbOnline : kLptOnline;
    if (action == "status") {
      if (args.empty() || !DecodeHex(args[0], &bytes) || bytes.size() != 1) return false;
      status_ = static_cast<unsigned char>(bytes[0]);
    } else {
      status_ = action == "online" ? (status_ | online) : (status_ & ~online);
    }
    Set(VELA_USB_STATUS, VELA_LPT_STATUS, static_cast<int>(status_));
    // The Windows 95 family reads the same condition as comm error bits.
    for (auto& l : lpts_) l->Set(VELA_LPT_COMM_ERRORS, static_cast<int>(status_ << 8));
  } else if (action == "reply") {
    if (args.empty() || !DecodeHex(args[0], &bytes) || bytes.size() > 8192) return false;
    std::vector<char> feed(bytes.begin(), bytes.end());
    for (auto& u : usbs_) u->Feed(feed);
    for (auto& l : lpts_) l->Feed(feed);
  } else if (action == "return") {
    Set(VELA_USB_PRESENT, VELA_LPT_PRESENT, 1);
  } else if (action == "vanish") {
    // A USB printer before an odd call goes in the middle of it: it answers
    // the call's first status request, then it is gone.
    for (auto& u : usbs_) u->Set(VELA_USB_PRESENT, call % 2 != 0 ? 2 : 0);
    for (auto& l : lpts_) l->Set(VELA_LPT_PRESENT, 0);
  } else {
    return false;
  }
  return true;
}

unsigned Printers::Requests() {
  return usb_ ? usbs_[0]->State().requests : lpts_[0]->State().requests;
}

long Printers::HandlesHeld() {
  long held = 0;
  for (auto& u : usbs_) {
    VelaUsbState s = u->State();
    held += static_cast<long>(s.creates) - static_cast<long>(s.closes);
  }
  for (auto& l : lpts_) {
    VelaLptState s = l->State();
    held += static_cast<long>(s.creates) - static_cast<long>(s.closes);
  }
  return held;
}

}  // namespace vela_hostile
