// ConfigureSerialPort against a real pty: the flags it edits, read back on
// the other side, and the ones it must leave alone.
#include "serial_config.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "serial_messages.h"

namespace vela {
namespace {

class SerialConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
    port_ = {};
    port_.inUse = 1;
    port_.fd = slave_;
  }
  void TearDown() override {
    close(master_);
    if (slave_ >= 0) close(slave_);
  }
  termios Line() {
    termios t;
    EXPECT_EQ(tcgetattr(master_, &t), 0);
    return t;
  }
  bool Apply(SerialPortSettings s, bool save = true) {
    message_ = nullptr;
    return ConfigureSerialPort(&port_, save, &s, &message_);
  }
  int master_ = -1, slave_ = -1;
  SerialPort port_;
  const char* message_ = nullptr;
};

TEST_F(SerialConfigTest, AppliesSpeedFramingAndRawMode) {
  ASSERT_TRUE(Apply({19200, 'o', 8, 2, 'n'}));
  termios t = Line();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
  EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B19200));
  EXPECT_NE(t.c_cflag & PARODD, 0u);
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
  EXPECT_NE(t.c_cflag & (CLOCAL | CREAD), 0u);
  EXPECT_NE(t.c_iflag & INPCK, 0u);
  EXPECT_NE(t.c_iflag & ISTRIP, 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHOE | ISIG), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(port_.settings.baudRate, 19200);
}

TEST_F(SerialConfigTest, ParityNoneKeepsInputChecks) {
  termios t = Line();
  t.c_iflag |= INPCK | ISTRIP;
  ASSERT_EQ(tcsetattr(master_, TCSANOW, &t), 0);
  ASSERT_TRUE(Apply({9600, 'n', 8, 1, 'n'}));
  t = Line();
  EXPECT_NE(t.c_iflag & INPCK, 0u);
  EXPECT_NE(t.c_iflag & ISTRIP, 0u);
  EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
}

TEST_F(SerialConfigTest, FlowControlNeverReachesTheDriverAsRtsCts) {
  ASSERT_TRUE(Apply({9600, 'n', 8, 1, 'x'}));
  termios t = Line();
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), static_cast<tcflag_t>(IXON | IXOFF | IXANY));
  ASSERT_TRUE(Apply({9600, 'n', 8, 1, 'h'}));
  t = Line();
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), 0u);
}

TEST_F(SerialConfigTest, TemporaryRecordKeepsSpeedAndRestoreBringsFlowBack) {
  ASSERT_TRUE(Apply({4800, 'e', 7, 2, 'x'}));
  ASSERT_TRUE(Apply({0, 0, 0, 0, 'n'}, false));
  termios t = Line();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B4800));
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(t.c_iflag & IXON, 0u);
  EXPECT_EQ(port_.settings.flowControl, 'x');  // save off: own settings kept
  ASSERT_TRUE(RestorePortSettings(&port_, &message_));
  EXPECT_NE(Line().c_iflag & IXON, 0u);
}

TEST_F(SerialConfigTest, DiscardsQueuedInput) {
  ASSERT_EQ(write(master_, "stale", 5), 5);
  usleep(20000);
  ASSERT_TRUE(Apply({9600, 'n', 8, 1, 'n'}));
  int queued = -1;
  ASSERT_EQ(ioctl(slave_, FIONREAD, &queued), 0);
  EXPECT_EQ(queued, 0);
}

TEST_F(SerialConfigTest, FailuresHandBackTheirText) {
  port_.fd = open("/dev/null", O_RDWR);  // not a terminal
  EXPECT_FALSE(Apply({9600, 'n', 8, 1, 'n'}));
  EXPECT_STREQ(message_, kTcgetattrFailed);
  close(port_.fd);
  port_.fd = -1;
  EXPECT_FALSE(Apply({9600, 'n', 8, 1, 'n'}));
  EXPECT_STREQ(message_, kTcgetattrFailed);
}

}  // namespace
}  // namespace vela
