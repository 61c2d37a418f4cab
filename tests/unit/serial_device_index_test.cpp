#include <gtest/gtest.h>

#include <cstring>

#include "serial_port.h"

namespace vela {
namespace {

int IndexOf(const char* path) {
  char name[100] = {};
  std::strncpy(name, path, sizeof(name) - 1);
  return SerialDeviceIndex(name);
}

TEST(SerialDeviceIndex, NumberAfterTheNinthByte) {
  EXPECT_EQ(IndexOf("/dev/ttyS0"), 0);
  EXPECT_EQ(IndexOf("/dev/ttyS7"), 7);
  EXPECT_EQ(IndexOf("/dev/ttyS98"), 98);
  EXPECT_EQ(IndexOf("/dev/pts/12"), 12);
  EXPECT_EQ(IndexOf("/dev/ttyS 5x"), 5);
  EXPECT_EQ(IndexOf("/dev/ttyS+3"), 3);
}

TEST(SerialDeviceIndex, NoDigitsMeansZero) {
  EXPECT_EQ(IndexOf("/dev/ttyUSB0"), 0);  // the tenth byte on reads "SB0"
  EXPECT_EQ(IndexOf("/dev/tty"), 0);      // shorter than nine bytes
  EXPECT_EQ(IndexOf(""), 0);
  EXPECT_EQ(IndexOf("/dev/ttyS-0"), 0);
}

TEST(SerialDeviceIndex, OutsideTheFlagTableIsRefused) {
  EXPECT_EQ(IndexOf("/dev/ttyS99"), -1);
  EXPECT_EQ(IndexOf("/dev/ttyS-1"), -1);
  EXPECT_EQ(IndexOf("/dev/ttyS99999999999999999999999"), -1);
}

TEST(SerialDeviceIndex, DigitsRunningToTheEndOfTheField) {
  char name[100];
  std::memset(name, '0', sizeof(name));  // no terminator anywhere
  EXPECT_EQ(SerialDeviceIndex(name), 0);
  name[99] = '7';
  EXPECT_EQ(SerialDeviceIndex(name), 7);
}

}  // namespace
}  // namespace vela
