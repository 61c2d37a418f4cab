// Figures of the Windows parallel DLL under wine, against the emulated LPT
// driver: the cost of a capability call and of a port-bound call through
// the JNI host, and _sendData beside a plain loop making the same WriteFile
// and FlushFileBuffers calls on the same device. Prints figures; judges
// nothing. Run by the bench_windows_parallel target.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "emulated_lpt.h"
#include "bench_clock.h"
#include "jni_host.h"
#include "port_dll.h"

using vela_host::JniHost;
using vela_host::Now;
using vela_host::Seconds;
using vela_host::PortDll;

namespace {

const char kDevice[] = "\\\\.\\VLPTBENCH";

double PlainLoop(long total) {
  HANDLE h = CreateFileA(kDevice, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  std::vector<char> data(4096, 0x41);
  long sent = 0;
  LARGE_INTEGER a = Now();
  while (sent < total) {
    DWORD written = 0;
    WriteFile(h, data.data(), 4096, &written, nullptr);
    FlushFileBuffers(h);
    sent += static_cast<long>(written);
  }
  LARGE_INTEGER b = Now();
  CloseHandle(h);
  return static_cast<double>(sent) / Seconds(a, b) / 1e6;
}

}  // namespace

int main() {
  vela_host::EmulatedLpt printer(kDevice);
  JniHost host;
  PortDll dll("VelaCommPortWindowsParallel.dll", "VelaCommPortWindowsParallel");
  if (!dll.error().empty()) {
    std::fprintf(stderr, "%s", dll.error().c_str());
    return 1;
  }
  jobject port = host.NewPort(host.NewString(kDevice));
  std::string raised;
  dll.OpenPort(host, port, host.NewString(kDevice), nullptr, &raised);

  const int calls = 20000;
  LARGE_INTEGER a = Now();
  for (int i = 0; i < calls / 8; ++i) dll.Capabilities(host, port);
  LARGE_INTEGER b = Now();
  std::printf("capability call: %.0f ns\n", Seconds(a, b) * 1e9 / calls);

  a = Now();
  for (int i = 0; i < calls; ++i) dll.EnqStatus(host, port, 0, &raised);
  b = Now();
  std::printf("port-bound call (lookup, ENQ status request to the driver): %.0f ns\n",
              Seconds(a, b) * 1e9 / calls);

  const long total = 8L << 20;
  const jint chunk = 40960;  // ten 4096-byte pieces per call
  jbyteArray data = host.NewByteArray(std::vector<jbyte>(chunk, 0x41));
  long sent = 0;
  a = Now();
  while (sent < total) sent += dll.SendData(host, port, data, chunk, 5000, &raised);
  b = Now();
  double library = static_cast<double>(sent) / Seconds(a, b) / 1e6;
  double plain = PlainLoop(total);
  std::printf("_sendData: %.1f MB/s; plain WriteFile+FlushFileBuffers loop: %.1f MB/s\n", library,
              plain);
  std::printf("ratio _sendData / plain loop: %.2f\n", library / plain);
  return host.misuse().empty() ? 0 : 1;
}
