// VelaCommPortWindowsParallel.dll as a 32-bit VM would use it, through the
// JNI host, against the emulated LPT driver under wine. Runs in a prefix
// of the NT family and in one of the Windows 95 family; the family-bound
// tests skip themselves in the other.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulated_lpt.h"
#include "jni_host.h"
#include "port_dll.h"
#include "port_cycles.h"
#include "test_thread.h"

namespace vela_host {
namespace {

const char kDll[] = "VelaCommPortWindowsParallel.dll";
const char kClass[] = "VelaCommPortWindowsParallel";
const char kVlpt[] = "\\\\.\\VLPT";
const std::string kNotOpen = "PORT_NOT_OPENED              Port not opened.";
const std::string kJniFault = "JNI_FAULT                    Unexpected JNI fault.";
const std::string kUnsupported = "UNSUPPORTED_OPERATION        Unsupported operation.";
const std::string kTooMany = "TOO_MANY_PORTS_ALREADY_OPENEDToo many ports already opened.";
const std::string kNameTooLong = "CAN_NOT_OPEN_DEVICE          Port name too long.";
const std::string kCreateFile = "NATIVE_FN_CALL_FAILURE       Native call to CreateFile failed.";
const std::string kResetFailed = "NATIVE_FN_CALL_FAILURE       Native call for reset failed.";
constexpr unsigned kFlush = 0xFFFFFFFFu;

std::vector<unsigned> Log(const VelaLptState& s) {
  return std::vector<unsigned>(s.log, s.log + (s.logged < VELA_LPT_LOG ? s.logged : VELA_LPT_LOG));
}

// A fresh load of the DLL for each test, and a port object per name.
class WindowsParallel : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(dll.error(), ""); }
  void TearDown() override { EXPECT_EQ(host.misuse(), ""); }

  jobject Port(const std::string& name) { return host.NewPort(host.NewString(name)); }
  jobject Open(const std::string& name) {
    jobject port = Port(name);
    std::string message;
    dll.OpenPort(host, port, host.NewString(name), nullptr, &message);
    EXPECT_EQ(message, "") << name;
    return port;
  }

  JniHost host;
  PortDll dll{kDll, kClass};
  std::string raised;
};

TEST_F(WindowsParallel, TimeoutsAreSetOncePerKeyForTheLifeOfTheDll) {
  EmulatedLpt vlpt(kVlpt), vlpt2("\\\\.\\VLPT2"), one("\\\\.\\1VLPT"), minus("\\\\.\\-1VLPT");
  jobject port = Open(kVlpt);
  VelaLptState s = vlpt.State();
  const unsigned write = Platform() == VER_PLATFORM_WIN32_NT ? 2000 : 200;
  EXPECT_EQ(std::vector<unsigned>(s.timeouts, s.timeouts + 5),
            (std::vector<unsigned>{0, 0, 200, 10, write}));
  EXPECT_EQ(s.setTimeouts, 1u);
  dll.ClosePort(host, port, &raised);
  // VLPT2 has key 0 too: already set, even after the close.
  Open("\\\\.\\VLPT2");
  Open(kVlpt);
  EXPECT_EQ(vlpt2.State().setTimeouts, 0u);
  EXPECT_EQ(vlpt.State().setTimeouts, 1u);
  // Key 1 is its own; a key outside the flags gets them at every open.
  Open("\\\\.\\1VLPT");
  Open("\\\\.\\1VLPT");
  Open("\\\\.\\-1VLPT");
  Open("\\\\.\\-1VLPT");
  EXPECT_EQ(one.State().setTimeouts, 1u);
  EXPECT_EQ(minus.State().setTimeouts, 2u);
}

TEST_F(WindowsParallel, ReceiveRaisesTheReadConstantFrom200AndReadsIntoTheArray) {
  EmulatedLpt lpt(kVlpt);
  jobject port = Open(kVlpt);
  jbyteArray buf = host.NewByteArray(std::vector<jbyte>(4, 0));
  lpt.Feed({1, 2, 3, 4, 5, 6});
  EXPECT_EQ(dll.ReceiveData(host, port, buf, 10, 100, &raised), 4);
  EXPECT_EQ(host.Bytes(buf), (std::vector<jbyte>{1, 2, 3, 4}));
  EXPECT_EQ(lpt.State().lastReadLength, 4u) << "never more than the array holds";
  EXPECT_EQ(lpt.State().timeouts[2], 200u) << "below 200 keeps what the port has";
  EXPECT_EQ(dll.ReceiveData(host, port, buf, 2, 300, &raised), 2);
  EXPECT_EQ(host.Bytes(buf), (std::vector<jbyte>{5, 6, 3, 4}));
  EXPECT_EQ(lpt.State().timeouts[2], 300u);
  dll.ReceiveData(host, port, buf, 4, 150, &raised);
  EXPECT_EQ(lpt.State().timeouts[2], 300u);
  dll.ReceiveData(host, port, buf, 4, 0x1000000C8LL, &raised);  // low 32 bits: 200
  EXPECT_EQ(lpt.State().timeouts[2], 200u);
  dll.ReceiveData(host, port, buf, 4, -1, &raised);  // unsigned: the largest
  EXPECT_EQ(lpt.State().timeouts[2], 0xFFFFFFFFu);
  EXPECT_EQ(dll.ReceiveData(host, port, buf, 4, 300, &raised), 0) << "nothing fed";
  unsigned reads = lpt.State().reads;
  EXPECT_EQ(dll.ReceiveData(host, port, buf, -5, 300, &raised), 0);
  EXPECT_EQ(lpt.State().reads, reads) << "a negative count never reaches ReadFile";
  EXPECT_EQ(raised, "");
}

TEST_F(WindowsParallel, SendWritesPiecesOf4096EachFlushed) {
  EmulatedLpt lpt(kVlpt);
  jobject port = Open(kVlpt);
  jbyteArray data = host.NewByteArray(std::vector<jbyte>(10000, 0x41));
  EXPECT_EQ(dll.SendData(host, port, data, 20000, 5000, &raised), 10000);
  EXPECT_EQ(Log(lpt.State()), (std::vector<unsigned>{4096, kFlush, 4096, kFlush, 1808, kFlush}));
  EXPECT_EQ(lpt.State().bytesTaken, 10000u);
  // No time, no bytes, or a negative count: nothing written.
  EXPECT_EQ(dll.SendData(host, port, data, 10, 0, &raised), 0);
  EXPECT_EQ(dll.SendData(host, port, data, 0, 5000, &raised), 0);
  EXPECT_EQ(dll.SendData(host, port, data, -3, 5000, &raised), 0);
  EXPECT_EQ(lpt.State().writes, 3u);
  EXPECT_EQ(raised, "");
}

TEST_F(WindowsParallel, APrinterThatTakesNothingGetsTheBudgetInPassesOf20Ms) {
  EmulatedLpt lpt(kVlpt);
  jobject port = Open(kVlpt);
  lpt.Set(VELA_LPT_ACCEPT, 0);
  jbyteArray data = host.NewByteArray(std::vector<jbyte>(100, 0x42));
  DWORD start = GetTickCount();
  EXPECT_EQ(dll.SendData(host, port, data, 100, 100, &raised), 0);
  DWORD elapsed = GetTickCount() - start;
  VelaLptState s = lpt.State();
  // The passes pay the whole budget, each its 20 ms sleep as GetTickCount
  // counts it (wine's sleeps end a little early at times): a handful of
  // passes, fewer on a loaded machine; every write is flushed.
  EXPECT_GE(s.writes, 1u);
  EXPECT_LE(s.writes, 7u);
  EXPECT_GE(elapsed, 100u) << "the budget is spent in sleeps";
  EXPECT_EQ(s.flushes, s.writes);
  // A slow printer that takes a byte per write never runs out of budget.
  lpt.Set(VELA_LPT_ACCEPT, 1);
  EXPECT_EQ(dll.SendData(host, port, data, 100, 20, &raised), 100);
}

TEST_F(WindowsParallel, TheSendTimeoutRaisesTheWriteConstantOnlyFromTheFamilysFloor) {
  EmulatedLpt lpt(kVlpt);
  jobject port = Open(kVlpt);
  jbyteArray data = host.NewByteArray(std::vector<jbyte>(8, 0x43));
  const bool nt = Platform() == VER_PLATFORM_WIN32_NT;
  dll.SendData(host, port, data, 8, 1000, &raised);
  EXPECT_EQ(lpt.State().timeouts[4], nt ? 2000u : 1000u);
  dll.SendData(host, port, data, 8, 3000, &raised);
  EXPECT_EQ(lpt.State().timeouts[4], 3000u);
  dll.SendData(host, port, data, 8, 150, &raised);
  EXPECT_EQ(lpt.State().timeouts[4], 3000u);
  // Unreadable timeouts start again from the open values.
  lpt.Set(VELA_LPT_FAIL_GET_TIMEOUTS, 1);
  dll.SendData(host, port, data, 8, 150, &raised);
  EXPECT_EQ(lpt.State().timeouts[4], nt ? 2000u : 200u);
  EXPECT_EQ(lpt.State().timeouts[2], 200u);
}

TEST_F(WindowsParallel, NtStatusByteGivesOnlineAndTheEnqSequence) {
  if (Platform() != VER_PLATFORM_WIN32_NT) GTEST_SKIP() << "NT family only";
  EmulatedLpt lpt(kVlpt);
  jobject port = Open(kVlpt);
  for (int status : {0x90, 0xC0, 0x00}) {
    lpt.Set(VELA_LPT_STATUS, status);
    EXPECT_FALSE(dll.OnlineStatus(host, port, 0, &raised)) << status;
  }
  lpt.Set(VELA_LPT_STATUS, 0x80);
  EXPECT_TRUE(dll.OnlineStatus(host, port, 0, &raised));
  // Paper out on a fresh port comes with the error bit; after an error
  // answer alone; an answer of 0x00 starts again.
  const std::vector<std::pair<int, int>> sequence = {
      {0x04, 0x0C}, {0x00, 0x04}, {0x04, 0x08}, {0x04, 0x08}, {0x80, 0x00}, {0x04, 0x0C}};
  for (const auto& [status, answer] : sequence) {
    lpt.Set(VELA_LPT_STATUS, status);
    EXPECT_EQ(dll.EnqStatus(host, port, 0, &raised), answer) << status;
  }
  // A failing request reads as a selected printer.
  lpt.Set(VELA_LPT_FAIL_STATUS, 1);
  EXPECT_TRUE(dll.OnlineStatus(host, port, 0, &raised));
  EXPECT_EQ(dll.EnqStatus(host, port, 0, &raised), 0);
  EXPECT_EQ(raised, "");
}

TEST_F(WindowsParallel, NtResetIsTheInitRequest) {
  if (Platform() != VER_PLATFORM_WIN32_NT) GTEST_SKIP() << "NT family only";
  EmulatedLpt lpt(kVlpt);
  jobject port = Open(kVlpt);
  dll.HdwrReset(host, port, &raised);
  EXPECT_EQ(raised, "");
  EXPECT_EQ(lpt.State().parInits, 1u);
  EXPECT_EQ(lpt.State().serialResets, 0u);
  lpt.Set(VELA_LPT_FAIL_RESET, 1);
  dll.HdwrReset(host, port, &raised);
  EXPECT_EQ(raised, kResetFailed);
}

TEST_F(WindowsParallel, Win9xReadsTheCommErrorsAndResetsWithEscapeCommFunction) {
  if (Platform() != VER_PLATFORM_WIN32_WINDOWS) GTEST_SKIP() << "Windows 95 family only";
  EmulatedLpt lpt(kVlpt);
  jobject port = Open(kVlpt);
  EXPECT_TRUE(dll.OnlineStatus(host, port, 0, &raised));
  EXPECT_EQ(dll.EnqStatus(host, port, 0, &raised), 0);
  // wine hands back only the serial error bits, which the mask drops.
  lpt.Set(VELA_LPT_COMM_ERRORS, 0x1F);
  EXPECT_TRUE(dll.OnlineStatus(host, port, 0, &raised));
  EXPECT_EQ(lpt.State().parQueries, 0u);
  EXPECT_GE(lpt.State().commStatus, 3u);
  dll.HdwrReset(host, port, &raised);
  EXPECT_EQ(raised, "");
  EXPECT_EQ(lpt.State().serialResets, 1u);
  EXPECT_EQ(lpt.State().parInits, 0u);
  lpt.Set(VELA_LPT_FAIL_RESET, 1);
  dll.HdwrReset(host, port, &raised);
  EXPECT_EQ(raised, kResetFailed);
}

TEST_F(WindowsParallel, TwentySlotsTheExactLookupAndClose) {
  EmulatedLpt lpt(kVlpt), vlpt2("\\\\.\\VLPT2");
  std::vector<jobject> ports;
  for (int i = 0; i < 20; ++i) ports.push_back(Open("\\\\.\\VLPT2"));
  dll.OpenPort(host, Port(kVlpt), host.NewString(kVlpt), nullptr, &raised);
  EXPECT_EQ(raised, kTooMany);
  EXPECT_EQ(lpt.State().creates, 0u) << "nothing opened for the 21st";
  // Only the exact name finds a port, though \\.\VLPT begins \\.\VLPT2.
  jbyteArray data = host.NewByteArray(std::vector<jbyte>(3, 7));
  EXPECT_EQ(dll.SendData(host, Port(kVlpt), data, 3, 1000, &raised), 0);
  EXPECT_EQ(raised, kNotOpen);
  dll.ClosePort(host, ports[0], &raised);
  Open(kVlpt);  // the freed slot
  EXPECT_EQ(dll.SendData(host, Port(kVlpt), data, 3, 1000, &raised), 3);
  EXPECT_EQ(dll.SendData(host, Port("\\\\.\\VLPT2"), data, 2, 1000, &raised), 2);
  EXPECT_EQ(lpt.State().bytesTaken, 3u);
  EXPECT_EQ(vlpt2.State().bytesTaken, 2u);
  dll.SendData(host, Port(""), data, 1, 1000, &raised);
  EXPECT_EQ(raised, kNotOpen);
  jobject never = Port("\\\\.\\VLPT3");
  dll.ClosePort(host, never, &raised);
  EXPECT_EQ(raised, kNotOpen);
  dll.ClosePort(host, ports[1], &raised);
  dll.OpenPort(host, Port("\\\\.\\NOSUCH"), host.NewString("\\\\.\\NOSUCH"), nullptr, &raised);
  EXPECT_EQ(raised, kCreateFile);
}

TEST_F(WindowsParallel, UnloadClosesEveryPortLeftOpen) {
  EmulatedLpt lpt(kVlpt);
  for (int i = 0; i < 3; ++i) Open(kVlpt);
  EXPECT_EQ(lpt.State().creates - lpt.State().closes, 3u);
  dll.Unload();
  EXPECT_EQ(lpt.State().creates - lpt.State().closes, 0u);
}

TEST_F(WindowsParallel, BadArgumentsAreRefusedNeverCrash) {
  EmulatedLpt lpt(kVlpt);
  EXPECT_EQ(dll.Capabilities(host, Port(kVlpt)), "TTFTFTFT");
  jobject closed = Port(kVlpt);
  jbyteArray data = host.NewByteArray(std::vector<jbyte>(4, 1));
  dll.SendDataOffline(host, closed, data, 4, 100, &raised);
  EXPECT_EQ(raised, kUnsupported);
  dll.EotStatus(host, closed, 100, &raised);
  EXPECT_EQ(raised, kUnsupported);
  dll.PowerStatus(host, closed, 100, &raised);
  EXPECT_EQ(raised, kUnsupported);
  dll.SendData(host, closed, data, 4, 100, &raised);
  EXPECT_EQ(raised, kNotOpen);

  std::string longName = "\\\\.\\" + std::string(256, 'V');  // 260 bytes
  dll.OpenPort(host, Port(longName), host.NewString(longName), nullptr, &raised);
  EXPECT_EQ(raised, kNameTooLong);
  dll.OpenPort(host, Port(kVlpt), nullptr, nullptr, &raised);
  EXPECT_EQ(raised, kJniFault);
  EXPECT_EQ(lpt.State().creates, 0u) << "nothing opened for a refused name";

  jobject port = Open(kVlpt);
  dll.SendData(host, port, nullptr, 4, 100, &raised);
  EXPECT_EQ(raised, kJniFault);
  dll.ReceiveData(host, port, nullptr, 4, 100, &raised);
  EXPECT_EQ(raised, kJniFault);
  dll.EnqStatus(host, host.NewPort(nullptr), 0, &raised);
  EXPECT_EQ(raised, kJniFault);
  dll.EnqStatus(host, host.NewObjectWithoutPortName(), 0, &raised);
  EXPECT_EQ(raised, kJniFault);
  EXPECT_EQ(dll.SendData(host, port, data, 4, 100, &raised), 4) << "still usable";
}

// Calls from several threads, each with its own JNI environment. For each
// seed: two printers each driven by a thread of its own; on one port a
// status poll and a reset beside a send the printer holds; a close from
// another thread under a call the printer holds (a read, a write) or a
// send waiting out a busy printer in its 20 ms steps.
TEST_F(WindowsParallel, ThreadsKeepToTheirPortsTakeTurnsOnTheLineAndEndAtAClose) {
  const std::string kVlpt2 = "\\\\.\\VLPT2";
  for (unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    EmulatedLpt lpt(kVlpt), lpt2(kVlpt2);
    PortCycles drivers[2];
    drivers[0].name = kVlpt;
    drivers[1].name = kVlpt2;
    CycleTwoPorts(dll, drivers, seed, 1000, 3000, 5000, [](int, const std::vector<jbyte>&) {});
    EmulatedLpt* sides[2] = {&lpt, &lpt2};
    for (int i = 0; i < 2; ++i) {
      VelaLptState s = sides[i]->State();
      EXPECT_EQ(drivers[i].faults, "") << drivers[i].name;
      EXPECT_GT(drivers[i].opens, 0u);
      EXPECT_EQ(s.bytesTaken, drivers[i].sent) << drivers[i].name << ": bytes of the other thread";
      EXPECT_EQ(s.creates, drivers[i].opens);
      EXPECT_EQ(s.closes, drivers[i].opens) << "every handle closed once";
    }

    // Status beside a held send answers at once; the reset waits for the
    // line. (Windows itself runs the calls on one synchronous handle one at
    // a time, so there the status follows the held chunk; wine does not.)
    jobject port = Open(kVlpt);
    lpt.Set(VELA_LPT_HOLD, 1);
    VelaLptState before = lpt.State();
    jint sent = -1;
    std::string sendRaised, resetRaised;
    volatile LONG resetting = 0;
    TestThread sender([&] {
      JniHost h;
      sent = dll.SendData(h, h.NewPort(h.NewString(kVlpt)),
                          h.NewByteArray(std::vector<jbyte>(3000, 0x66)), 3000, 60000, &sendRaised);
    });
    EXPECT_TRUE(WaitUntil([&] { return lpt.State().held == 1; }, 10000));
    TestThread resetter([&] {
      JniHost h;
      jobject p = h.NewPort(h.NewString(kVlpt));
      InterlockedExchange(&resetting, 1);
      dll.HdwrReset(h, p, &resetRaised);
    });
    EXPECT_TRUE(WaitUntil([&] { return resetting != 0; }, 10000));
    for (int i = 0; i < 20; ++i) {
      EXPECT_TRUE(dll.OnlineStatus(host, port, 0, &raised));
      EXPECT_EQ(dll.EnqStatus(host, port, 0, &raised), 0);
    }
    EXPECT_EQ(raised, "");
    VelaLptState during = lpt.State();
    EXPECT_EQ(during.held, 1u);
    EXPECT_EQ(during.parQueries + during.commStatus, before.parQueries + before.commStatus + 40);
    EXPECT_EQ(during.parInits + during.serialResets, 0u) << "no reset inside the send";
    lpt.Set(VELA_LPT_HOLD, 0);
    EXPECT_TRUE(sender.Join(10000) && resetter.Join(10000));
    VelaLptState after = lpt.State();
    EXPECT_EQ(sent, 3000);
    EXPECT_EQ(sendRaised + resetRaised, "");
    EXPECT_EQ(after.bytesTaken, before.bytesTaken + 3000);
    EXPECT_EQ(after.parInits + after.serialResets, 1u);

    // A close from another thread ends the waiting call, moving nothing more.
    const int kind = static_cast<int>(seed % 3);  // held read, held write, busy printer
    lpt.Set(kind == 2 ? VELA_LPT_ACCEPT : VELA_LPT_HOLD, kind == 2 ? 0 : 1);
    before = lpt.State();
    jint moved = -1;
    std::string waitRaised;
    TestThread waiter([&] {
      JniHost h;
      jobject p = h.NewPort(h.NewString(kVlpt));
      jbyteArray b = h.NewByteArray(std::vector<jbyte>(64, 1));
      moved = kind == 0 ? dll.ReceiveData(h, p, b, 64, 60000, &waitRaised)
                        : dll.SendData(h, p, b, 64, 60000, &waitRaised);
    });
    EXPECT_TRUE(WaitUntil([&] {
      VelaLptState s = lpt.State();
      return kind == 2 ? s.writes >= before.writes + 2 : s.held == 1;
    }, 10000));
    std::string closeRaised;
    TestThread closer([&] {
      JniHost h;
      dll.ClosePort(h, h.NewPort(h.NewString(kVlpt)), &closeRaised);
    });
    EXPECT_TRUE(closer.Join(10000)) << "the close returns";
    // The next open may be handed the number of the handle just closed.
    VelaLptState otherBefore = lpt2.State();
    jobject other = Open(kVlpt2);
    EXPECT_TRUE(waiter.Join(10000)) << "the close ends the waiting call";
    lpt.Set(VELA_LPT_HOLD, 0);  // lets go of a call the close left waiting
    lpt.Set(VELA_LPT_ACCEPT, -1);
    EXPECT_TRUE(waiter.Join(10000) && closer.Join(10000));
    EXPECT_EQ(closeRaised, "");
    after = lpt.State();
    VelaLptState otherAfter = lpt2.State();
    EXPECT_EQ(moved, 0);
    EXPECT_EQ(waitRaised, kNotOpen);
    EXPECT_EQ(after.cancelled, before.cancelled + (kind == 2 ? 0 : 1));
    EXPECT_EQ(after.bytesTaken, before.bytesTaken);
    EXPECT_EQ(after.closes, after.creates);
    EXPECT_EQ(otherAfter.writes + otherAfter.reads + otherAfter.flushes,
              otherBefore.writes + otherBefore.reads + otherBefore.flushes)
        << "nothing reached the port that took the handle's number";
    dll.ClosePort(host, other, &raised);
  }
}

// The host's misuse record is what the hostile runs rely on: a reference a
// VM would die on is noted and answered as empty, never followed.
TEST(JniHostMisuse, NullForeignAndWrongKindReferencesAreNotedNotFollowed) {
  JniHost h;
  JNIEnv* env = h.env();
  jstring name = h.NewString("VLPT");
  h.BeginCall();
  EXPECT_EQ(env->GetArrayLength(nullptr), 0);
  EXPECT_EQ(env->GetByteArrayElements(reinterpret_cast<jbyteArray>(&h), nullptr), nullptr);
  EXPECT_EQ(env->GetArrayLength(reinterpret_cast<jbyteArray>(name)), 0);
  EXPECT_EQ(env->GetStringUTFChars(nullptr, nullptr), nullptr);
  jclass cls = env->FindClass("com/kelvora/brevant/VelaBrevantException");
  env->ThrowNew(cls, "PORT_NOT_OPENED              Port not opened.");
  EXPECT_EQ(h.EndCall(), "PORT_NOT_OPENED              Port not opened.");
  EXPECT_EQ(h.raisedClass(), "com/kelvora/brevant/VelaBrevantException");
  EXPECT_EQ(h.misuse(),
            "GetArrayLength handed a null reference\n"
            "GetByteArrayElements handed a reference this host never made\n"
            "GetArrayLength handed an object of the wrong kind\n"
            "GetStringUTFChars handed a null reference\n");
}

}  // namespace
}  // namespace vela_host
