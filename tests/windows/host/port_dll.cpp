#include "port_dll.h"

namespace vela_host {
namespace {

using VoidStr2 = void(JNICALL*)(JNIEnv*, jobject, jstring, jstring);
using Void0 = void(JNICALL*)(JNIEnv*, jobject);
using IntArr = jint(JNICALL*)(JNIEnv*, jobject, jbyteArray, jint, jlong);
using ByteLong = jbyte(JNICALL*)(JNIEnv*, jobject, jlong);
using BoolLong = jboolean(JNICALL*)(JNIEnv*, jobject, jlong);
using Bool0 = jboolean(JNICALL*)(JNIEnv*, jobject);

}  // namespace

const std::vector<std::string> kContractCapabilities = {
    "ReceiveData", "SendData",     "SendDataOffline", "ENQStatus",
    "EOTStatus",   "OnlineStatus", "PowerStatus",     "HdwrResetDevice"};

PortDll::PortDll(const std::string& path, const std::string& cls,
                 const std::vector<std::string>& capabilities)
    : cls_(cls), capNames_(capabilities) {
  dll_ = LoadLibraryA(path.c_str());
  if (dll_ == nullptr) {
    error_ = "LoadLibraryA failed: " + path;
    return;
  }
  open_ = Bind("openPort", 16);
  close_ = Bind("closePort", 8);
  receive_ = Bind("receiveData", 24);
  send_ = Bind("sendData", 24);
  sendOffline_ = Bind("sendDataOffline", 24);
  enq_ = Bind("getENQStatus", 16);
  eot_ = Bind("getEOTStatus", 16);
  online_ = Bind("getOnlineStatus", 16);
  power_ = Bind("getPowerStatus", 16);
  reset_ = Bind("hdwrResetDevice", 8);
  for (const std::string& c : capabilities) caps_.push_back(Bind("getCap" + c, 8));
}

PortDll::~PortDll() { Unload(); }

void PortDll::Unload() {
  if (dll_ != nullptr) FreeLibrary(dll_);
  dll_ = nullptr;
}

FARPROC PortDll::Bind(const std::string& method, int argumentBytes) {
  std::string name = "Java_com_kelvora_brevant_" + cls_ + "__1" + method;
#ifdef _WIN64
  (void)argumentBytes;  // a 64-bit VM looks up the plain name
#else
  name = "_" + name + "@" + std::to_string(argumentBytes);
#endif
  FARPROC f = GetProcAddress(dll_, name.c_str());
  if (f == nullptr) error_ += "not exported: " + name + "\n";
  return f;
}

// Every call: the host's bookkeeping around one native method.
#define VELA_CALL(type, fn, ...)                     \
  h.BeginCall();                                     \
  auto result = reinterpret_cast<type>(reinterpret_cast<void*>(fn))(__VA_ARGS__); \
  *raised = h.EndCall();                             \
  return result

#define VELA_CALL_VOID(type, fn, ...)                \
  h.BeginCall();                                     \
  reinterpret_cast<type>(reinterpret_cast<void*>(fn))(__VA_ARGS__);           \
  *raised = h.EndCall()

void PortDll::OpenPort(JniHost& h, jobject port, jstring name, jstring settings, std::string* raised) {
  VELA_CALL_VOID(VoidStr2, open_, h.env(), port, name, settings);
}
void PortDll::ClosePort(JniHost& h, jobject port, std::string* raised) {
  VELA_CALL_VOID(Void0, close_, h.env(), port);
}
jint PortDll::ReceiveData(JniHost& h, jobject port, jbyteArray b, jint n, jlong t, std::string* raised) {
  VELA_CALL(IntArr, receive_, h.env(), port, b, n, t);
}
jint PortDll::SendData(JniHost& h, jobject port, jbyteArray d, jint n, jlong t, std::string* raised) {
  VELA_CALL(IntArr, send_, h.env(), port, d, n, t);
}
jint PortDll::SendDataOffline(JniHost& h, jobject port, jbyteArray d, jint n, jlong t, std::string* raised) {
  VELA_CALL(IntArr, sendOffline_, h.env(), port, d, n, t);
}
jbyte PortDll::EnqStatus(JniHost& h, jobject port, jlong t, std::string* raised) {
  VELA_CALL(ByteLong, enq_, h.env(), port, t);
}
jbyte PortDll::EotStatus(JniHost& h, jobject port, jlong t, std::string* raised) {
  VELA_CALL(ByteLong, eot_, h.env(), port, t);
}
jboolean PortDll::OnlineStatus(JniHost& h, jobject port, jlong t, std::string* raised) {
  VELA_CALL(BoolLong, online_, h.env(), port, t);
}
jboolean PortDll::PowerStatus(JniHost& h, jobject port, jlong t, std::string* raised) {
  VELA_CALL(BoolLong, power_, h.env(), port, t);
}
void PortDll::HdwrReset(JniHost& h, jobject port, std::string* raised) {
  VELA_CALL_VOID(Void0, reset_, h.env(), port);
}

std::string PortDll::Capabilities(JniHost& h, jobject port) {
  std::string answers;
  for (FARPROC cap : caps_) {
    std::string raised;
    h.BeginCall();
    jboolean yes = reinterpret_cast<Bool0>(reinterpret_cast<void*>(cap))(h.env(), port);
    raised = h.EndCall();
    answers += raised.empty() ? (yes ? 'T' : 'F') : '!';
  }
  return answers;
}

jboolean PortDll::Capability(JniHost& h, jobject port, const std::string& name, bool* known,
                             std::string* raised) {
  *known = false;
  for (std::size_t i = 0; i < capNames_.size(); ++i) {
    if (capNames_[i] != name || caps_[i] == nullptr) continue;
    *known = true;
    VELA_CALL(Bool0, caps_[i], h.env(), port);
  }
  *raised = "";
  return JNI_FALSE;
}

}  // namespace vela_host
