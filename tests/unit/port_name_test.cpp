#include "port_name.h"

#include <gtest/gtest.h>

#include "timeout.h"

namespace vela {
namespace {

TEST(PortNameMatch, StoredNameBeginsWithKey) {
  char field[100] = "/dev/ttyS10";
  EXPECT_TRUE(NameFieldBeginsWith(field, sizeof(field), "/dev/ttyS10", 11));
  EXPECT_TRUE(NameFieldBeginsWith(field, sizeof(field), "/dev/ttyS1", 10));
  EXPECT_TRUE(NameFieldBeginsWith(field, sizeof(field), "", 0));
  EXPECT_FALSE(NameFieldBeginsWith(field, sizeof(field), "/dev/ttyS100", 12));
  EXPECT_FALSE(NameFieldBeginsWith(field, sizeof(field), "/DEV/ttyS10", 11));
}

TEST(PortNameMatch, KeyLongerThanTheFieldNeverMatches) {
  char field[4] = {'a', 'b', 'c', 'd'};
  EXPECT_TRUE(NameFieldBeginsWith(field, sizeof(field), "abcd", 4));
  EXPECT_FALSE(NameFieldBeginsWith(field, sizeof(field), "abcde", 5));
}

TEST(LowTimeout, LowThirtyTwoBitsAsSigned) {
  EXPECT_EQ(LowTimeout(0), 0);
  EXPECT_EQ(LowTimeout(1500), 1500);
  EXPECT_EQ(LowTimeout(-1), -1);
  EXPECT_EQ(LowTimeout(0x80000000LL), INT32_MIN);
  EXPECT_EQ(LowTimeout(0x100000064LL), 100);
}

}  // namespace
}  // namespace vela
