// The Windows executor of the hostile-input tier: runs a generated script
// of native calls against one port DLL through the JNI host, under wine,
// with the emulated printer driver re-scripted between calls, and writes
// the outcome log that the checker judges. It judges nothing itself beyond
// what only it can see: a hang (the watchdog), a crash (the exception
// filter), and the host's record of JNI misuse.
//
// usage: windows_hostile.exe SCRIPT LOG
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "handle_count.h"
#include "jni_host.h"
#include "port_dll.h"
#include "printer.h"
#include "script.h"
#include "watchdog.h"

namespace vela_hostile {
namespace {

using vela_host::JniHost;
using vela_host::PortDll;

constexpr int kPoolSize = 24;
constexpr int kSlots = 20;
// The longest any one emulated request waits (the drivers' stall cap), and
// the watchdog's allowance over a call's own wait: ten times, plus ten
// seconds for a loaded machine; two minutes at most.
constexpr DWORD kStallCapMs = 250;
constexpr unsigned long long kWatchdogCeilingMs = 120000;
// Wine hands a driver a transfer's buffer at about a gigabyte in four
// seconds (the watchdog's factor of ten is on top).
constexpr unsigned long long kBytesPerMs = 250000;

struct Library {
  std::string dll, cls;
  std::vector<std::string> capabilities;
  bool usb;
};

bool LibraryOf(const std::string& name, Library* out) {
  if (name == "WindowsUSB") {
    *out = {"VelaCommPortWindowsUSB.dll", "VelaCommPortWindowsUSB",
            {"ReceiveData", "SendData", "ENQStatus", "EOTStatus", "OnlineStatus", "PowerStatus",
             "HdwrResetDevice", "RecoverPrinter"},
            true};
    return true;
  }
  if (name == "WindowsParallel") {
    *out = {"VelaCommPortWindowsParallel.dll", "VelaCommPortWindowsParallel",
            vela_host::kContractCapabilities, false};
    return true;
  }
  return false;
}

// What one call left: a value, or an exception.
struct Outcome {
  long long value = 0;
  std::string raisedClass, message;
};

std::string gContext;
volatile long gCall = 0;

LONG WINAPI OnCrash(EXCEPTION_POINTERS* e) {
  std::fprintf(stderr, "hostile: %s call %ld: crash, exception 0x%08lx\n", gContext.c_str(), gCall,
               static_cast<unsigned long>(e->ExceptionRecord->ExceptionCode));
  std::fflush(stderr);
  ExitProcess(3);
}

class Executor {
 public:
  Executor(const Script& script, const Library& lib, FILE* log)
      : script_(script), lib_(lib), log_(log), dll_(lib.dll, lib.cls, lib.capabilities),
        printers_(lib.usb), watchdog_(gContext) {
    for (int i = 0; i < kPoolSize; ++i) pool_["p" + std::to_string(i)] = host_.NewPort(nullptr);
    pool_["nofield"] = host_.NewObjectWithoutPortName();
  }

  bool Ready(std::string* error) {
    if (!dll_.error().empty()) *error = dll_.error();
    else if (!printers_.ok()) *error = "the emulated driver's devices cannot be opened";
    return error->empty();
  }

  bool Run(std::string* error) {
    heldStart_ = Held();
    for (const Step& step : script_.steps) {
      if (!Do(step, error)) {
        *error = "call " + std::to_string(step.call) + ": " + *error;
        return false;
      }
    }
    CloseEverything();
    long heldEnd = Held();
    int misuse = 0;
    for (char c : host_.misuse()) misuse += c == '\n';
    std::fprintf(log_, "end calls=%ld held-start=%ld held-end=%ld misuse=%d crashes=0 noops=%d\n",
                 calls_, heldStart_, heldEnd, misuse, noops_);
    std::fflush(log_);
    std::fprintf(stderr,
                 "hostile %s seed=%s: calls=%ld reached-device=%ld handles=%ld->%ld "
                 "(process %ld->%ld, driver %ld->%ld) misuse=%d noops=%d\n",
                 script_.library.c_str(), script_.seed.c_str(), calls_, reached_, heldStart_,
                 heldEnd, processStart_, processEnd_, driverStart_, driverEnd_, misuse, noops_);
    if (misuse != 0) std::fprintf(stderr, "%s", host_.misuse().c_str());
    return true;
  }

 private:
  // Handles the process holds, from the system's handle table when it
  // answers; else the emulated devices' opens less closes (the devices
  // are where the libraries' handles go, though not their registry keys).
  long Held() {
    long count = ProcessHandles();
    bool counted = count >= 0;
    long driver = printers_.HandlesHeld();
    if (calls_ == 0 && !started_) {
      started_ = true;
      processStart_ = count;
      driverStart_ = driver;
    } else {
      processEnd_ = count;
      driverEnd_ = driver;
    }
    return counted ? count : driver;
  }

  bool Do(const Step& step, std::string* error) {
    if (step.kind == Step::kName) {
      Arg name;
      auto it = pool_.find(step.object);
      if (it == pool_.end() || step.object == "nofield" || !DecodeString(step.words[0], &name)) {
        *error = "bad name step";
        return false;
      }
      host_.SetPortName(it->second, name.isNull ? nullptr : host_.NewString(name.bytes));
      return true;
    }
    if (step.kind == Step::kPrinter) {
      if (!printers_.Apply(step.what, step.words, step.call)) noops_++;
      return true;
    }
    return Call(step, error);
  }

  jstring Str(const std::string& word, bool* ok) {
    Arg a;
    *ok = *ok && DecodeString(word, &a);
    return a.isNull ? nullptr : host_.NewString(a.bytes);
  }
  jbyteArray Array(const std::string& word, bool send, bool* ok) {
    Arg a;
    *ok = *ok && DecodeArray(word, &a) && a.number <= (1 << 24);
    if (!*ok || a.isNull) return nullptr;
    std::vector<jbyte> bytes(static_cast<std::size_t>(a.number));
    for (std::size_t i = 0; send && i < bytes.size(); ++i) {
      bytes[i] = static_cast<jbyte>((gCall * 31 + static_cast<long>(i)) & 0xff);
    }
    return host_.NewByteArray(bytes);
  }
  static long long Number(const std::string& word, bool* ok) {
    long long v = 0;
    *ok = *ok && DecodeNumber(word, &v);
    return v;
  }

  // What the call may wait, in this emulation: each stalled request up to
  // the drivers' cap, the parallel send its budget (the timeout's low 32
  // bits, unsigned), and a transfer the time wine takes to hand the driver
  // a buffer of the length asked (seconds for a gigabyte).
  DWORD LimitMs(const std::string& method, long long timeout, long long length = 0) const {
    unsigned long long wait = kStallCapMs * (printers_.PendingStalls() + 1ULL);
    if (length > 0) wait += static_cast<unsigned long long>(length) / kBytesPerMs;
    if (!lib_.usb && method == "_sendData") wait += static_cast<unsigned long>(timeout & 0xffffffffLL);
    unsigned long long limit = 10 * wait + 10000;
    return static_cast<DWORD>(limit < kWatchdogCeilingMs ? limit : kWatchdogCeilingMs);
  }

  bool Call(const Step& step, std::string* error) {
    auto it = pool_.find(step.object);
    if (it == pool_.end()) {
      *error = "unknown object " + step.object;
      return false;
    }
    jobject port = it->second;
    gCall = step.call;
    calls_++;
    const std::string& m = step.what;
    const std::vector<std::string>& w = step.words;
    std::size_t mark = host_.Mark();
    bool ok = true;
    Outcome out;
    // Each native call below is the last thing its branch does, so t1,
    // taken after the branches, is its end.
    std::string& raised = out.message;
    LARGE_INTEGER t0, t1, f;
    unsigned before = printers_.Requests();
    bool armed = false;
    auto arm = [&](long long timeout, long long length = 0) {
      armed = true;
      watchdog_.Arm(step.call, LimitMs(m, timeout, length));
      QueryPerformanceCounter(&t0);
    };
    auto args = [&](std::size_t n) { ok = ok && w.size() == n; return ok; };
    if (m == "_openPort" && args(2)) {
      Arg opened;
      bool named = DecodeString(w[0], &opened) && !opened.isNull;
      jstring name = Str(w[0], &ok), settings = Str(w[1], &ok);
      if (ok) { arm(0); dll_.OpenPort(host_, port, name, settings, &raised); }
      if (ok && named && raised.empty()) openedNames_.push_back(opened.bytes);
    } else if (m == "_closePort" && args(0)) {
      arm(0);
      dll_.ClosePort(host_, port, &raised);
    } else if ((m == "_receiveData" || m == "_sendData" || m == "_sendDataOffline") && args(3)) {
      jbyteArray a = Array(w[0], m != "_receiveData", &ok);
      jint n = static_cast<jint>(Number(w[1], &ok));
      jlong t = Number(w[2], &ok);
      if (ok) {
        arm(t, n);
        if (m == "_receiveData") out.value = dll_.ReceiveData(host_, port, a, n, t, &raised);
        else if (m == "_sendData") out.value = dll_.SendData(host_, port, a, n, t, &raised);
        else out.value = dll_.SendDataOffline(host_, port, a, n, t, &raised);
      }
    } else if (m.compare(0, 4, "_get") == 0 && m.compare(0, 7, "_getCap") != 0 && args(1)) {
      jlong t = Number(w[0], &ok);
      if (ok) {
        arm(t);
        if (m == "_getENQStatus") out.value = dll_.EnqStatus(host_, port, t, &raised);
        else if (m == "_getEOTStatus") out.value = dll_.EotStatus(host_, port, t, &raised);
        else if (m == "_getOnlineStatus") out.value = dll_.OnlineStatus(host_, port, t, &raised);
        else if (m == "_getPowerStatus") out.value = dll_.PowerStatus(host_, port, t, &raised);
        else ok = false;
      }
    } else if (m == "_hdwrResetDevice" && args(0)) {
      arm(0);
      dll_.HdwrReset(host_, port, &raised);
    } else if (m.compare(0, 7, "_getCap") == 0 && args(0)) {
      bool known = false;
      arm(0);
      out.value = dll_.Capability(host_, port, m.substr(7), &known, &raised);
      ok = known;
    } else {
      ok = false;
    }
    if (armed) {
      QueryPerformanceCounter(&t1);
      watchdog_.Disarm();
    }
    if (!ok) {
      *error = "cannot make the call " + m;
      return false;
    }
    out.raisedClass = host_.raisedClass();
    host_.DropSince(mark);
    unsigned reached = printers_.Requests() - before;
    if (reached != 0) reached_++;
    QueryPerformanceFrequency(&f);
    long long ms = (t1.QuadPart - t0.QuadPart) * 1000 / f.QuadPart;
    if (raised.empty()) {
      std::fprintf(log_, "%ld ret %lld\n", step.call, out.value);
    } else {
      // One line a fact: a newline in a message is written as \n.
      std::string line;
      for (char c : raised) line += c == '\n' ? std::string("\\n") : std::string(1, c);
      std::fprintf(log_, "%ld raise %s %s\n", step.call, out.raisedClass.c_str(), line.c_str());
    }
    std::fprintf(log_, "%ld dev %u\n%ld ms %lld\n", step.call, reached, step.call, ms);
    std::fflush(log_);
    return true;
  }

  // Outside the numbered calls: every pool object closed until its lookup
  // fails, then whatever no pool name reaches any more, through each name
  // an open succeeded with (only the exact name finds a port).
  void CloseEverything() {
    gCall = script_.calls + 1;
    std::vector<jobject> closers;
    for (int i = 0; i < kPoolSize; ++i) closers.push_back(pool_["p" + std::to_string(i)]);
    for (const std::string& name : openedNames_) closers.push_back(host_.NewPort(host_.NewString(name)));
    for (jobject port : closers) {
      for (int i = 0; i <= kSlots; ++i) {
        std::string raised;
        watchdog_.Arm(gCall, LimitMs("_closePort", 0));
        dll_.ClosePort(host_, port, &raised);
        watchdog_.Disarm();
        if (!raised.empty()) break;
      }
    }
  }

  const Script& script_;
  std::vector<std::string> openedNames_;
  Library lib_;
  FILE* log_;
  JniHost host_;
  PortDll dll_;
  Printers printers_;
  Watchdog watchdog_;
  std::map<std::string, jobject> pool_;
  long calls_ = 0, reached_ = 0, heldStart_ = 0;
  int noops_ = 0;
  bool started_ = false;
  long processStart_ = 0, processEnd_ = 0;
  long driverStart_ = 0, driverEnd_ = 0;
};

}  // namespace
}  // namespace vela_hostile

int main(int argc, char** argv) {
  using namespace vela_hostile;
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SCRIPT LOG\n", argv[0]);
    return 2;
  }
  Script script;
  Library lib;
  std::string error;
  if (!ReadScript(argv[1], &script, &error) || !LibraryOf(script.library, &lib)) {
    std::fprintf(stderr, "hostile: %s\n", error.empty() ? "not a Windows library" : error.c_str());
    return 2;
  }
  gContext = "seed " + script.seed;
  SetUnhandledExceptionFilter(OnCrash);
  FILE* log = std::fopen(argv[2], "wb");
  if (log == nullptr) {
    std::fprintf(stderr, "hostile: cannot write %s\n", argv[2]);
    return 2;
  }
  int status = 0;
  {
    Executor executor(script, lib, log);
    if (!executor.Ready(&error) || !executor.Run(&error)) {
      std::fprintf(stderr, "hostile: %s: %s\n", gContext.c_str(), error.c_str());
      status = 2;
    }
  }
  std::fclose(log);
  return status;
}
