// A port library DLL loaded as a 32-bit VM loads it: LoadLibraryA, then
// each native method by its decorated name, called through a JniHost.
#pragma once

#include <windows.h>

#include <jni.h>

#include <string>
#include <vector>

#include "jni_host.h"

namespace vela_host {

// The platform family this process runs as, which the DLLs learn at load.
inline DWORD Platform() {
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof(v);
  GetVersionExA(&v);
  return v.dwPlatformId;
}

// The capability methods of the contract, in its order.
extern const std::vector<std::string> kContractCapabilities;

class PortDll {
 public:
  // Loads PATH and binds every method of CLASS, with the capability
  // methods named; a missing one is an error().
  PortDll(const std::string& path, const std::string& cls,
          const std::vector<std::string>& capabilities = kContractCapabilities);
  ~PortDll();
  PortDll(const PortDll&) = delete;
  PortDll& operator=(const PortDll&) = delete;

  const std::string& error() const { return error_; }
  // Unloads the DLL now, as the VM does when its class loader goes.
  void Unload();

  // Each call returns the exception message it left ("" for none) through
  // `raised`, and fails the host's misuse checks where it misbehaved.
  void OpenPort(JniHost& h, jobject port, jstring name, jstring settings, std::string* raised);
  void ClosePort(JniHost& h, jobject port, std::string* raised);
  jint ReceiveData(JniHost& h, jobject port, jbyteArray buf, jint n, jlong t, std::string* raised);
  jint SendData(JniHost& h, jobject port, jbyteArray data, jint n, jlong t, std::string* raised);
  jint SendDataOffline(JniHost& h, jobject port, jbyteArray d, jint n, jlong t, std::string* raised);
  jbyte EnqStatus(JniHost& h, jobject port, jlong t, std::string* raised);
  jbyte EotStatus(JniHost& h, jobject port, jlong t, std::string* raised);
  jboolean OnlineStatus(JniHost& h, jobject port, jlong t, std::string* raised);
  jboolean PowerStatus(JniHost& h, jobject port, jlong t, std::string* raised);
  void HdwrReset(JniHost& h, jobject port, std::string* raised);
  // The capability answers in the order given to the constructor, as T
  // and F.
  std::string Capabilities(JniHost& h, jobject port);
  // One capability method by its name after "getCap"; false with `known`
  // false when the constructor was not given it.
  jboolean Capability(JniHost& h, jobject port, const std::string& name, bool* known,
                      std::string* raised);

 private:
  FARPROC Bind(const std::string& method, int argumentBytes);

  HMODULE dll_ = nullptr;
  std::string cls_;
  std::string error_;
  FARPROC open_, close_, receive_, send_, sendOffline_, enq_, eot_, online_, power_, reset_;
  std::vector<std::string> capNames_;
  std::vector<FARPROC> caps_;
};

}  // namespace vela_host
