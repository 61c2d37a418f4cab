// VelaCommPortWindowsUSB.dll as a 32-bit VM would use it, through the JNI
// host, against the emulated printer driver under wine, with the registry
// entries of the maker's bus enumerator written by the tests. Runs in a
// prefix of the NT family, one of the Windows 95 family, and one where
// SETUPAPI.DLL cannot be loaded (VELA_NO_SETUPAPI set).
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "emulated_usb.h"
#include "jni_host.h"
#include "port_dll.h"
#include "port_cycles.h"
#include "test_thread.h"

namespace vela_host {
namespace {

const char kDll[] = "VelaCommPortWindowsUSB.dll";
const char kClass[] = "VelaCommPortWindowsUSB";
const std::vector<std::string> kCapabilities = {"ReceiveData",  "SendData",    "ENQStatus",
                                                "EOTStatus",    "OnlineStatus", "PowerStatus",
                                                "HdwrResetDevice", "RecoverPrinter"};
const std::string kNotOpen = "PORT_NOT_OPENED              Port not opened.";
const std::string kJniFault = "JNI_FAULT                    Unexcepted JNI fault.";
const std::string kUnsupported = "UNSUPPORTED_OPERATION        Unsupported operation.";
const std::string kTooMany = "TOO_MANY_PORTS_ALREADY_OPENEDToo many ports already opened.";
const std::string kNameTooLong = "CAN_NOT_OPEN_DEVICE          Port name too long.";
const std::string kCreateFile = "NATIVE_FN_CALL_FAILURE       Native call to CreateFile failed.";
const std::string kMemory =
    "NATIVE_FN_CALL_FAILURE       Memory allocation failure in native method.";
const std::string kGone = "DEVICE_CONNECTION_CLOSED     no device - attempt reopen";
const std::string kEnqFailed =
    "COMM_FAILURE                 Could not get ENQ status due to communications failure.";

const std::string kEnumerator = "Enum\\QDXBUS\\USBCOM\\";
const std::string kClassKey =
    "System\\CurrentControlSet\\Control\\DeviceClasses\\{5e2d7a10-3b9c-4f61-a8d2-7c41e09b36af}\\";
// What the driver's two interface devices register as their instance IDs.
const std::string kInstance1 = "USB\\VID_0F3C&PID_0002\\5&1F2E3D&0&1";
const std::string kPrefix = "INST_0USB&VID_0F3C&PID_0002&";

bool SetupApiMissing() { return std::getenv("VELA_NO_SETUPAPI") != nullptr; }

class WindowsUsb : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Enum\\QDXBUS");
    ASSERT_EQ(dll.error(), "");
    ASSERT_TRUE(plain.ok() && interface1.ok() && interface2.ok());
  }
  void TearDown() override {
    EXPECT_EQ(host.misuse(), "");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Enum\\QDXBUS");
  }

  jobject Port(const std::string& name) { return host.NewPort(host.NewString(name)); }
  // Opens `name` on a new port object; the exception text, "" for none.
  std::string TryOpen(const std::string& name, jobject* port = nullptr) {
    jobject p = Port(name);
    if (port != nullptr) *port = p;
    std::string message;
    dll.OpenPort(host, p, host.NewString(name), nullptr, &message);
    return message;
  }
  jobject Open(const std::string& name) {
    jobject port = nullptr;
    EXPECT_EQ(TryOpen(name, &port), "") << name;
    return port;
  }
  // An enumerator port as the maker's bus enumerator registers it.
  void EnumeratorPort(const std::string& subkey, const std::string& portName) {
    ASSERT_TRUE(keys.Set(kEnumerator + subkey, "PortName", portName)) << subkey;
  }
  jbyteArray Bytes(int n, int seed = 0) {
    std::vector<jbyte> b(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) b[static_cast<size_t>(i)] = static_cast<jbyte>(i * 7 + seed);
    return host.NewByteArray(b);
  }

  EmulatedUsb plain{"QDXUSB001"}, interface1{"VUSBIF1"}, interface2{"VUSBIF2"};
  JniHost host;
  PortDll dll{kDll, kClass, kCapabilities};
  TestKeys keys;
  std::string raised;
};

TEST_F(WindowsUsb, PlainDeviceWhenNoEnumeratorPortCarriesTheName) {
  // No enumerator key at all.
  jobject port = Open("QDXUSB001");
  EXPECT_EQ(plain.State().creates, 1u);
  dll.ClosePort(host, port, &raised);
  // Ports that do not carry the name exactly: another name, other case, a
  // value stored without its zero and one too long for the 16 characters.
  EnumeratorPort(kPrefix + "5&1F2E3D&0&1", "QDXUSB0011");
  EnumeratorPort(kPrefix + "5&1F2E3D&0&2", "qdxusb001");
  ASSERT_TRUE(keys.Set(kEnumerator + "5&1F2E3D&0&1", "PortName", "QDXUSB001X", 10));
  EnumeratorPort("5&1F2E3D&0&2", "QDXUSBLONGNAME017");
  // 17 bytes without a zero are 17 characters, not 16 that would match.
  ASSERT_TRUE(keys.Set(kEnumerator + kPrefix + "5&1F2E3D&0&2", "PortName", "USBPRN12345678901", 17));
  EXPECT_EQ(TryOpen("USBPRN1234567890"), kCreateFile);
  Open("QDXUSB001");
  EmulatedUsb longName("QDXUSBLONGNAME017");
  Open("QDXUSBLONGNAME017");
  EXPECT_EQ(plain.State().creates, 2u);
  EXPECT_EQ(longName.State().creates, 1u);
  EXPECT_EQ(interface1.State().creates + interface2.State().creates, 0u);
}

TEST_F(WindowsUsb, EnumeratorPortOpensItsDeviceInterface) {
  // Instance IDs from the subkey name: prefix in either case dropped, a
  // name without the whole prefix used as it is. A value stored without
  // its terminating zero is read to its end, not beyond.
  EnumeratorPort(kPrefix + "5&1F2E3D&0&1", "USBPRN1");
  EnumeratorPort("inst_0usb&vid_0f3c&pid_0002&5&1F2E3D&0&2", "USBPRN2");
  ASSERT_TRUE(keys.Set(kEnumerator + "5&1F2E3D&0&1", "PortName", "USBPRN3", 7));
  EnumeratorPort("INST_0USB&VID_0F3C&PID_0002_5&1F2E3D&0&1", "QDXUSB001");
  const bool resolves = !SetupApiMissing();
  for (const char* name : {"USBPRN1", "USBPRN2", "USBPRN3"}) {
    EXPECT_EQ(TryOpen(name), resolves ? "" : kCreateFile) << name;
  }
  // Without SETUPAPI.DLL an enumerator port falls back to the plain path.
  Open("QDXUSB001");
  EXPECT_EQ(interface1.State().creates, resolves ? 2u : 0u);
  EXPECT_EQ(interface2.State().creates, resolves ? 1u : 0u);
  EXPECT_EQ(plain.State().creates, 1u);
}

TEST_F(WindowsUsb, DeviceInstanceMatchesWithCaseAndKeysFromTheirFifthCharacter) {
  if (SetupApiMissing()) GTEST_SKIP() << "needs SETUPAPI.DLL";
  // An instance ID that differs only in case does not match.
  EnumeratorPort(kPrefix + "5&1f2e3d&0&1", "QDXUSB001");
  Open("QDXUSB001");
  EXPECT_EQ(plain.State().creates, 1u);
  EXPECT_EQ(interface1.State().creates, 0u);
  // A class key is matched to an interface path from their fifth
  // characters on, case ignored, and the path opened is built from the
  // key; a key shorter than five characters matches nothing.
  std::string registered;
  for (const std::string& k : TestKeys::Subkeys(kClassKey)) {
    if (k.size() > 4 && k.find("0&1#") != std::string::npos) registered = k;
  }
  ASSERT_FALSE(registered.empty());
  std::string upper = "XYZW";
  for (size_t i = 4; i < registered.size(); ++i) upper += static_cast<char>(toupper(registered[i]));
  ASSERT_TRUE(keys.Set(kClassKey + "##?", "DeviceInstance", "USB\\VID_0F3C&PID_0002\\FAKE9"));
  ASSERT_TRUE(keys.Set(kClassKey + upper, "DeviceInstance", "USB\\VID_0F3C&PID_0002\\FAKE9"));
  EnumeratorPort("FAKE9", "USBPRN9");
  Open("USBPRN9");
  EXPECT_EQ(interface1.State().creates, 1u);
}

TEST_F(WindowsUsb, TimeoutsReachTheDriverByThePlatformsWay) {
  Open("QDXUSB001");
  VelaUsbState s = plain.State();
  const std::vector<unsigned> expected = {0, 0, 200, 10, 10000};
  if (Platform() == VER_PLATFORM_WIN32_NT) {
    EXPECT_EQ(s.serialSetTimeouts, 1u);
    EXPECT_EQ(s.driverSetTimeouts, 0u);
    EXPECT_EQ(std::vector<unsigned>(s.serialTimeouts, s.serialTimeouts + 5), expected);
  } else {
    EXPECT_EQ(s.serialSetTimeouts, 0u);
    EXPECT_EQ(s.driverSetTimeouts, 1u);
    EXPECT_EQ(std::vector<unsigned>(s.driverTimeouts, s.driverTimeouts + 5), expected);
  }
  EXPECT_EQ(s.unknownRequests, 0u);
}

TEST_F(WindowsUsb, SlotsAreClaimedFreedAndTakenAgain) {
  // A name longer than the field, or none, is refused before a slot is taken.
  EXPECT_EQ(TryOpen(std::string(260, 'Q')), kNameTooLong);
  dll.OpenPort(host, Port("x"), nullptr, nullptr, &raised);
  EXPECT_EQ(raised, kJniFault);
  // A slot that held a longer name holds only the shorter one after it.
  jobject longer = Open("QDXUSBLONGNAME017");
  dll.ClosePort(host, longer, &raised);
  std::vector<jobject> ports;
  for (int i = 0; i < 20; ++i) ports.push_back(Open("QDXUSB001"));
  EXPECT_EQ(TryOpen("QDXUSB001"), kTooMany);
  EXPECT_EQ(plain.State().creates, 20u);
  dll.EnqStatus(host, Port("QDXUSB001O"), 0, &raised);
  EXPECT_EQ(raised, kNotOpen);
  // A failed CreateFileA frees the slot it claimed.
  dll.ClosePort(host, ports[5], &raised);
  EXPECT_EQ(TryOpen("NOSUCHPRINTER"), kCreateFile);
  jobject second = Open("QDXUSB002");
  EXPECT_EQ(TryOpen("QDXUSB001"), kTooMany);
  dll.ClosePort(host, second, &raised);
  EXPECT_EQ(raised, "");
  dll.ClosePort(host, second, &raised);
  EXPECT_EQ(raised, kNotOpen);
  EXPECT_EQ(plain.State().closes, 1u);
}

TEST_F(WindowsUsb, NamesWhereOneBeginsTheOtherEachReachTheirOwnPrinter) {
  if (SetupApiMissing()) GTEST_SKIP() << "the longer name needs SETUPAPI.DLL";
  EnumeratorPort(kPrefix + "5&1F2E3D&0&1", "QDXUSB0011");
  for (const char* first : {"QDXUSB0011", "QDXUSB001"}) {
    jobject a = Open(first);
    jobject b = Open(first == std::string("QDXUSB001") ? "QDXUSB0011" : "QDXUSB001");
    unsigned plainResets = plain.State().resets, longerResets = interface1.State().resets;
    dll.HdwrReset(host, Port("QDXUSB001"), &raised);
    dll.HdwrReset(host, Port("QDXUSB0011"), &raised);
    dll.HdwrReset(host, Port("QDXUSB0011"), &raised);
    EXPECT_EQ(plain.State().resets - plainResets, 1u) << first;
    EXPECT_EQ(interface1.State().resets - longerResets, 2u) << first;
    dll.EnqStatus(host, Port(""), 0, &raised);
    EXPECT_EQ(raised, kNotOpen);
    dll.ClosePort(host, a, &raised);
    dll.ClosePort(host, b, &raised);
    EXPECT_EQ(raised, "");
  }
}

TEST_F(WindowsUsb, UnloadClosesEveryOpenHandle) {
  Open("QDXUSB001");
  Open("QDXUSB001");
  jobject closed = Open("QDXUSB001");
  dll.ClosePort(host, closed, &raised);
  dll.Unload();
  VelaUsbState s = plain.State();
  EXPECT_EQ(s.creates, 3u);
  EXPECT_EQ(s.closes, 3u);
}

TEST_F(WindowsUsb, ReceiveReadsOnceAndKeepsWhatFitsTheArray) {
  jobject port = Open("QDXUSB001");
  jbyteArray ten = host.NewByteArray(std::vector<jbyte>(10, 0));
  EXPECT_EQ(dll.ReceiveData(host, port, ten, 10, 0, &raised), 0);
  EXPECT_EQ(raised, "");
  plain.Feed({1, 2, 3, 4, 5});
  EXPECT_EQ(dll.ReceiveData(host, port, ten, 10, 0, &raised), 5);
  EXPECT_EQ(host.Bytes(ten), (std::vector<jbyte>{1, 2, 3, 4, 5, 0, 0, 0, 0, 0}));
  // Asked for more than the array holds: one read of the length asked,
  // the surplus dropped.
  plain.Feed({9, 8, 7, 6, 5, 4, 3, 2});
  jbyteArray four = host.NewByteArray(std::vector<jbyte>(4, 0));
  EXPECT_EQ(dll.ReceiveData(host, port, four, 8, 0, &raised), 4);
  EXPECT_EQ(host.Bytes(four), (std::vector<jbyte>{9, 8, 7, 6}));
  EXPECT_EQ(plain.State().lastReadLength, 8u);
  EXPECT_EQ(dll.ReceiveData(host, port, ten, 0, 0, &raised), 0);
  EXPECT_EQ(plain.State().lastReadLength, 0u);
  unsigned reads = plain.State().reads;
  EXPECT_EQ(reads, 4u);
  // A negative length and a null array read nothing.
  EXPECT_EQ(dll.ReceiveData(host, port, ten, -1, 0, &raised), 0);
  EXPECT_EQ(raised, kMemory);
  EXPECT_EQ(dll.ReceiveData(host, port, nullptr, 10, 0, &raised), 0);
  EXPECT_EQ(raised, kJniFault);
  EXPECT_EQ(plain.State().reads, reads);
  // Each receive asked the driver for the status first, the null array not.
  EXPECT_EQ(plain.State().statusRequests, 5u);
}

TEST_F(WindowsUsb, SendGoesOutInChunksOf4096) {
  jobject port = Open("QDXUSB001");
  std::vector<jbyte> all;
  for (int n : {4097, 8192, 0}) {
    jbyteArray data = Bytes(n, n);
    EXPECT_EQ(dll.SendData(host, port, data, n, 0, &raised), n);
    EXPECT_EQ(raised, "");
    std::vector<jbyte> b = host.Bytes(data);
    all.insert(all.end(), b.begin(), b.end());
  }
  // A count beyond the array sends the array; a negative one nothing.
  jbyteArray five = Bytes(5, 1);
  EXPECT_EQ(dll.SendData(host, port, five, 50, 0, &raised), 5);
  std::vector<jbyte> b = host.Bytes(five);
  all.insert(all.end(), b.begin(), b.end());
  EXPECT_EQ(dll.SendData(host, port, five, -3, 0, &raised), 0);
  EXPECT_EQ(raised, "");
  dll.SendData(host, port, nullptr, 5, 0, &raised);
  EXPECT_EQ(raised, kJniFault);
  VelaUsbState s = plain.State();
  EXPECT_EQ(plain.Writes(), (std::vector<unsigned>{4096, 1, 4096, 4096, 5}));
  EXPECT_EQ(s.bytesTaken, all.size());
  EXPECT_EQ(s.takenHash, TakenHash(all));
  EXPECT_EQ(s.statusRequests, 5u);
  EXPECT_EQ(s.shortWrites, 0u);
}

TEST_F(WindowsUsb, ShortChunkEndsTheSendWithTheWholeChunksBeforeIt) {
  jobject port = Open("QDXUSB001");
  plain.Accept({-1, 100});
  EXPECT_EQ(dll.SendData(host, port, Bytes(6000), 6000, 0, &raised), 4096);
  EXPECT_EQ(raised, "");
  plain.Accept({0});
  EXPECT_EQ(dll.SendData(host, port, Bytes(10), 10, 0, &raised), 0);
  EXPECT_EQ(raised, "");
  VelaUsbState s = plain.State();
  EXPECT_EQ(s.shortWrites, 2u);
  EXPECT_EQ(plain.Writes(), (std::vector<unsigned>{4096, 1904, 10}));
  // Check, short write, check again: still there, so the port stays open.
  EXPECT_EQ(s.statusRequests, 4u);
  EXPECT_EQ(dll.SendData(host, port, Bytes(3), 3, 0, &raised), 3);
  // The printer gone after a short chunk: the port closes.
  plain.Accept({-1, 100});
  plain.Set(VELA_USB_STATUS_ANSWERS, 1);
  EXPECT_EQ(dll.SendData(host, port, Bytes(6000), 6000, 0, &raised), 0);
  EXPECT_EQ(raised, kGone);
  EXPECT_EQ(plain.State().closes, 1u);
  dll.SendData(host, port, Bytes(3), 3, 0, &raised);
  EXPECT_EQ(raised, kNotOpen);
}

TEST_F(WindowsUsb, StatusFromTheDriversByte) {
  jobject port = Open("QDXUSB001");
  const int status[] = {0x18, 0x38, 0x10, 0x28, 0x08};
  const int enq[] = {0x20, 0x28, 0x24, 0x2C, 0x24};
  for (int i = 0; i < 5; ++i) {
    plain.Set(VELA_USB_STATUS, status[i]);
    EXPECT_EQ(dll.EnqStatus(host, port, 0, &raised), enq[i]) << status[i];
    EXPECT_EQ(dll.OnlineStatus(host, port, 0, &raised), (status[i] & 0x10) != 0) << status[i];
    EXPECT_EQ(raised, "");
  }
  EXPECT_EQ(plain.State().statusRequests, 20u);
  EXPECT_TRUE(dll.PowerStatus(host, port, 0, &raised));
  // The second status read unanswered: ENQ fails, online is quietly false;
  // the port stays open.
  plain.Set(VELA_USB_STATUS, 0x18);
  plain.Set(VELA_USB_STATUS_ANSWERS, 1);
  EXPECT_EQ(dll.EnqStatus(host, port, 0, &raised), 0);
  EXPECT_EQ(raised, kEnqFailed);
  plain.Set(VELA_USB_STATUS_ANSWERS, 1);
  EXPECT_FALSE(dll.OnlineStatus(host, port, 0, &raised));
  EXPECT_EQ(raised, "");
  // Reset goes out once, whatever comes of it.
  plain.Set(VELA_USB_STATUS_ANSWERS, -1);
  dll.HdwrReset(host, port, &raised);
  EXPECT_EQ(raised, "");
  EXPECT_EQ(plain.State().resets, 1u);
  EXPECT_EQ(dll.SendDataOffline(host, port, Bytes(1), 1, 0, &raised), 0);
  EXPECT_EQ(raised, kUnsupported);
  dll.EotStatus(host, port, 0, &raised);
  EXPECT_EQ(raised, kUnsupported);
  EXPECT_EQ(dll.Capabilities(host, port), "TTTFTTTF");
  EXPECT_EQ(plain.State().closes, 0u);
}

TEST_F(WindowsUsb, GoneDeviceClosesThePort) {
  // Every port-bound call finding the printer gone closes the port; all
  // but the power query say so.
  plain.Set(VELA_USB_STATUS_ANSWERS, 0);
  jbyteArray data = Bytes(4);
  const std::vector<std::string> calls = {"receive", "send", "enq", "online", "reset", "power"};
  for (const std::string& call : calls) {
    jobject port = Open("QDXUSB001");
    if (call == "receive") dll.ReceiveData(host, port, data, 4, 0, &raised);
    if (call == "send") dll.SendData(host, port, data, 4, 0, &raised);
    if (call == "enq") dll.EnqStatus(host, port, 0, &raised);
    if (call == "online") dll.OnlineStatus(host, port, 0, &raised);
    if (call == "reset") dll.HdwrReset(host, port, &raised);
    if (call == "power") {
      EXPECT_FALSE(dll.PowerStatus(host, port, 0, &raised));
    }
    EXPECT_EQ(raised, call == "power" ? "" : kGone) << call;
    dll.ClosePort(host, port, &raised);
    EXPECT_EQ(raised, kNotOpen) << call;
  }
  VelaUsbState s = plain.State();
  EXPECT_EQ(s.closes, calls.size());
  EXPECT_EQ(s.reads + s.writes + s.resets, 0u);
}

// Calls from several threads, each with its own JNI environment. For each
// seed: two printers each driven by a thread of its own; on one port the
// status queries and a reset beside a send whose chunk the driver holds; a
// close under a held read or write, by _closePort from another thread or
// by the device-gone handling of another thread's power query.
TEST_F(WindowsUsb, ThreadsKeepToTheirPortsTakeTurnsOnTheLineAndEndAtAClose) {
  EmulatedUsb second("QDXUSB002");
  for (unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    plain.Set(VELA_USB_STATUS_ANSWERS, -1);
    const VelaUsbState start1 = plain.State(), start2 = second.State();
    PortCycles drivers[2];
    drivers[0].name = "QDXUSB001";
    drivers[1].name = "QDXUSB002";
    unsigned hashes[2] = {start1.takenHash, start2.takenHash};
    CycleTwoPorts(dll, drivers, seed, 1000, 9000, 0, [&](int which, const std::vector<jbyte>& bytes) {
      hashes[which] = TakenHash(bytes, hashes[which]);
    });
    EmulatedUsb* sides[2] = {&plain, &second};
    const VelaUsbState* starts[2] = {&start1, &start2};
    for (int i = 0; i < 2; ++i) {
      VelaUsbState s = sides[i]->State();
      EXPECT_EQ(drivers[i].faults, "") << drivers[i].name;
      EXPECT_GT(drivers[i].opens, 0u);
      EXPECT_EQ(s.bytesTaken - starts[i]->bytesTaken, drivers[i].sent) << drivers[i].name;
      EXPECT_EQ(s.takenHash, hashes[i]) << drivers[i].name << ": bytes of the other thread";
      EXPECT_EQ(s.creates - starts[i]->creates, drivers[i].opens);
      EXPECT_EQ(s.closes - starts[i]->closes, drivers[i].opens) << "every handle closed once";
    }

    // Status beside a held send answers at once; the reset waits for the
    // line. (Windows itself runs the calls on one synchronous handle one at
    // a time, so there the status follows the held chunk; wine does not.)
    jobject port = Open("QDXUSB001");
    plain.Set(VELA_USB_HOLD, 1);
    VelaUsbState before = plain.State();
    jint sent = -1;
    std::string sendRaised, resetRaised;
    volatile LONG resetting = 0;
    TestThread sender([&] {
      JniHost h;
      sent = dll.SendData(h, h.NewPort(h.NewString("QDXUSB001")),
                          h.NewByteArray(std::vector<jbyte>(10000, 0x66)), 10000, 0, &sendRaised);
    });
    EXPECT_TRUE(WaitUntil([&] { return plain.State().held == 1; }, 10000));
    TestThread resetter([&] {
      JniHost h;
      jobject p = h.NewPort(h.NewString("QDXUSB001"));
      InterlockedExchange(&resetting, 1);
      dll.HdwrReset(h, p, &resetRaised);
    });
    EXPECT_TRUE(WaitUntil([&] { return resetting != 0; }, 10000));
    for (int i = 0; i < 20; ++i) {
      EXPECT_EQ(dll.EnqStatus(host, port, 0, &raised), 0x20);
      EXPECT_TRUE(dll.OnlineStatus(host, port, 0, &raised));
      EXPECT_TRUE(dll.PowerStatus(host, port, 0, &raised));
    }
    EXPECT_EQ(raised, "");
    VelaUsbState during = plain.State();
    EXPECT_EQ(during.held, 1u);
    EXPECT_EQ(during.writes, before.writes) << "no chunk of another call inside the send";
    EXPECT_EQ(during.resets, before.resets) << "no reset inside the send";
    plain.Set(VELA_USB_HOLD, 0);
    EXPECT_TRUE(sender.Join(10000) && resetter.Join(10000));
    VelaUsbState after = plain.State();
    EXPECT_EQ(sent, 10000);
    EXPECT_EQ(sendRaised + resetRaised, "");
    EXPECT_EQ(after.takenHash, TakenHash(std::vector<jbyte>(10000, 0x66), before.takenHash));
    EXPECT_EQ(after.resets, before.resets + 1);

    // A close from another thread ends the waiting call, moving nothing more.
    const int kind = static_cast<int>(seed % 3);  // read, write, write under a gone device
    plain.Set(VELA_USB_HOLD, 1);
    before = plain.State();
    jint moved = -1;
    std::string waitRaised;
    TestThread waiter([&] {
      JniHost h;
      jobject p = h.NewPort(h.NewString("QDXUSB001"));
      jbyteArray b = h.NewByteArray(std::vector<jbyte>(64, 1));
      moved = kind == 0 ? dll.ReceiveData(h, p, b, 64, 0, &waitRaised)
                        : dll.SendData(h, p, b, 64, 0, &waitRaised);
    });
    EXPECT_TRUE(WaitUntil([&] { return plain.State().held == 1; }, 10000));
    // The power query finding the printer gone closes the port itself.
    if (kind == 2) plain.Set(VELA_USB_STATUS_ANSWERS, 0);
    std::string closeRaised, powerRaised;
    jboolean power = JNI_TRUE;
    TestThread closer([&] {
      JniHost h;
      jobject p = h.NewPort(h.NewString("QDXUSB001"));
      if (kind == 2) power = dll.PowerStatus(h, p, 0, &powerRaised);
      dll.ClosePort(h, p, &closeRaised);
    });
    EXPECT_TRUE(closer.Join(10000)) << "the close returns";
    plain.Set(VELA_USB_STATUS_ANSWERS, -1);
    // The next open may be handed the number of the handle just closed.
    VelaUsbState otherBefore = second.State();
    jobject other = Open("QDXUSB002");
    EXPECT_TRUE(waiter.Join(10000)) << "the close ends the waiting call";
    plain.Set(VELA_USB_HOLD, 0);  // lets go of a call the close left waiting
    EXPECT_TRUE(waiter.Join(10000) && closer.Join(10000));
    EXPECT_EQ(closeRaised, kind == 2 ? kNotOpen : "");
    EXPECT_EQ(powerRaised, "");
    EXPECT_EQ(power, kind != 2);
    after = plain.State();
    VelaUsbState otherAfter = second.State();
    EXPECT_EQ(moved, 0);
    EXPECT_EQ(waitRaised, kNotOpen);
    EXPECT_EQ(after.cancelled, before.cancelled + 1);
    EXPECT_EQ(after.bytesTaken, before.bytesTaken);
    EXPECT_EQ(after.shortWrites, before.shortWrites);
    EXPECT_EQ(after.closes, after.creates);
    EXPECT_EQ(otherAfter.writes + otherAfter.reads + otherAfter.statusRequests,
              otherBefore.writes + otherBefore.reads + otherBefore.statusRequests)
        << "nothing reached the port that took the handle's number";
    dll.ClosePort(host, other, &raised);
  }
}

}  // namespace
}  // namespace vela_host
