// Figures of the Windows USB DLL under wine, against the emulated printer
// driver: _sendData beside a plain loop of 4096-byte WriteFile calls on the
// same device, and the cost of one status query (two status requests to
// the driver). Prints figures; judges nothing. Run by the
// bench_windows_usb target.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "emulated_usb.h"
#include "bench_clock.h"
#include "jni_host.h"
#include "port_dll.h"

using vela_host::JniHost;
using vela_host::Now;
using vela_host::Seconds;
using vela_host::PortDll;

namespace {

const char kDevice[] = "QDXUSB002";

double PlainLoop(long total) {
  HANDLE h = CreateFileA("\\\\.\\QDXUSB002", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  std::vector<char> data(4096, 0x41);
  long sent = 0;
  LARGE_INTEGER a = Now();
  while (sent < total) {
    DWORD written = 0;
    WriteFile(h, data.data(), 4096, &written, nullptr);
    sent += static_cast<long>(written);
  }
  LARGE_INTEGER b = Now();
  CloseHandle(h);
  return static_cast<double>(sent) / Seconds(a, b) / 1e6;
}

}  // namespace

int main() {
  vela_host::EmulatedUsb printer(kDevice);
  JniHost host;
  PortDll dll("VelaCommPortWindowsUSB.dll", "VelaCommPortWindowsUSB",
              {"ReceiveData", "SendData", "ENQStatus", "EOTStatus", "OnlineStatus", "PowerStatus",
               "HdwrResetDevice", "RecoverPrinter"});
  if (!dll.error().empty()) {
    std::fprintf(stderr, "%s", dll.error().c_str());
    return 1;
  }
  jobject port = host.NewPort(host.NewString(kDevice));
  std::string raised;
  dll.OpenPort(host, port, host.NewString(kDevice), nullptr, &raised);

  const int calls = 5000;
  LARGE_INTEGER a = Now();
  for (int i = 0; i < calls; ++i) dll.EnqStatus(host, port, 0, &raised);
  LARGE_INTEGER b = Now();
  std::printf("status query (_getENQStatus: lookup, two status requests): %.0f us\n",
              Seconds(a, b) * 1e6 / calls);

  const long total = 32L << 20;
  const jint chunk = 40960;  // ten 4096-byte chunks per call
  jbyteArray data = host.NewByteArray(std::vector<jbyte>(chunk, 0x41));
  long sent = 0;
  a = Now();
  while (sent < total) sent += dll.SendData(host, port, data, chunk, 0, &raised);
  b = Now();
  double library = static_cast<double>(sent) / Seconds(a, b) / 1e6;
  double plain = PlainLoop(total);
  std::printf("_sendData: %.1f MB/s; plain 4096-byte WriteFile loop: %.1f MB/s\n", library, plain);
  std::printf("ratio _sendData / plain loop: %.2f\n", library / plain);
  return host.misuse().empty() && raised.empty() ? 0 : 1;
}
