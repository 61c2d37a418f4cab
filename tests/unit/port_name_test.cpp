#include "port_name.h"

#include <gtest/gtest.h>

#include "timeout.h"

namespace vela {
namespace {

TEST(PortNameMatch, OnlyTheExactNameMatches) {
  char field[100] = "/dev/ttyS10";
  EXPECT_TRUE(NameFieldEquals(field, sizeof(field), "/dev/ttyS10", 11));
  EXPECT_FALSE(NameFieldEquals(field, sizeof(field), "/dev/ttyS1", 10));
  EXPECT_FALSE(NameFieldEquals(field, sizeof(field), "", 0));
  EXPECT_FALSE(NameFieldEquals(field, sizeof(field), "/dev/ttyS100", 12));
  EXPECT_FALSE(NameFieldEquals(field, sizeof(field), "/DEV/ttyS10", 11));
  char empty[100] = "";
  EXPECT_TRUE(NameFieldEquals(empty, sizeof(empty), "", 0));
  // A key that fills the field has no terminating zero to match against.
  char full[4] = {'a', 'b', 'c', 'd'};
  EXPECT_FALSE(NameFieldEquals(full, sizeof(full), "abcd", 4));
  EXPECT_FALSE(NameFieldEquals(full, sizeof(full), "abcde", 5));
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
