#include "serial_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "serial_messages.h"

namespace vela {
namespace {

struct Parsed {
  bool ok;
  SerialPortSettings s;
  std::string message;
};

Parsed Parse(const char* text) {
  Parsed p{};
  const char* message = nullptr;
  p.ok = ParseSerialSettings(text, &p.s, &message);
  if (message != nullptr) p.message = message;
  return p;
}

void ExpectSettings(const char* text, int baud, char parity, int data, int stop, char flow) {
  Parsed p = Parse(text);
  ASSERT_TRUE(p.ok) << text << ": " << p.message;
  EXPECT_EQ(p.s.baudRate, baud) << text;
  EXPECT_EQ(p.s.parity, parity) << text;
  EXPECT_EQ(p.s.dataBits, data) << text;
  EXPECT_EQ(p.s.stopBits, stop) << text;
  EXPECT_EQ(p.s.flowControl, flow) << text;
}

TEST(SerialSettings, ParsesEveryAcceptedToken) {
  ExpectSettings("9600,none,8,1,none", 9600, 'n', 8, 1, 'n');
  ExpectSettings("38400,even,7,2,xonxoff", 38400, 'e', 7, 2, 'x');
  ExpectSettings("19200,odd,8,1,hdwr", 19200, 'o', 8, 1, 'h');
  ExpectSettings("4800,none,7,2,none", 4800, 'n', 7, 2, 'n');
  ExpectSettings("2400,none,8,1,none", 2400, 'n', 8, 1, 'n');
}

TEST(SerialSettings, IgnoresWhatFollowsAToken) {
  ExpectSettings("96000,none,8N,1.5,hdwr", 9600, 'n', 8, 1, 'h');
  ExpectSettings("9600,none,8,1,hdwr,anything", 9600, 'n', 8, 1, 'h');
  ExpectSettings("9600,nonesuch,8,1,xonxoffx", 9600, 'n', 8, 1, 'x');
}

TEST(SerialSettings, MissingCommaIsTheFormMessage) {
  for (const char* text : {"9600,none,8,1", "", "9600", "9600;none;8;1;none"}) {
    Parsed p = Parse(text);
    EXPECT_FALSE(p.ok) << text;
    EXPECT_EQ(p.message, kSettingsForm) << text;
  }
}

TEST(SerialSettings, FirstBadFieldDecidesTheMessage) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {",none,8,1,none", kSettingsBaud},
      {"115200,none,8,1,none", kSettingsBaud},
      {"1200,none,8,1,none", kSettingsBaud},
      {"9600,NONE,8,1,none", kSettingsParity},
      {"9600,Even,8,1,none", kSettingsParity},
      {"9600, none,8,1,none", kSettingsParity},
      {"9600,none,6,1,none", kSettingsDataBits},
      {"9600,none,8,3,none", kSettingsStopBits},
      {"9600,none,8,1,", kSettingsFlow},
      {"9600,none,8,1,rtscts", kSettingsFlow},
      {"1200,bad,9,3,bad", kSettingsBaud},
  };
  for (const Case& c : cases) {
    Parsed p = Parse(c.text);
    EXPECT_FALSE(p.ok) << c.text;
    EXPECT_EQ(p.message, c.message) << c.text;
  }
}

// The receive wait paces its looks by this: every bit of the frame counts,
// and 2400 baud with 12 bits must not overflow a 32-bit long (armhf).
TEST(SerialSettings, ByteTimeCountsEveryBitOfTheFrame) {
  EXPECT_EQ(SerialByteNanoseconds(Parse("9600,none,8,1,none").s), 1041667);
  EXPECT_EQ(SerialByteNanoseconds(Parse("38400,odd,7,2,none").s), 286459);
  EXPECT_EQ(SerialByteNanoseconds(Parse("2400,even,8,2,none").s), 5000000);
}

}  // namespace
}  // namespace vela
