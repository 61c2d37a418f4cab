#include "usb_protocol.h"

#include <gtest/gtest.h>

namespace vela {
namespace {

TEST(PrinterStatus, StatusByteGivesOnlineAndEnq) {
  struct Row {
    std::uint8_t status;
    bool online;
    std::uint8_t enq;
  } rows[] = {
      {0x18, true, 0x00}, {0x10, true, 0x04}, {0x38, true, 0x08}, {0x00, false, 0x04},
      {0x28, false, 0x08}, {0x20, false, 0x0C}, {0xC7, false, 0x04}, {0xFF, true, 0x08},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(OnlineFromStatus(r.status), r.online) << int(r.status);
    EXPECT_EQ(EnqFromStatus(r.status), r.enq) << int(r.status);
  }
}

TEST(UsbProtocol, WaitingCountInBothByteOrders) {
  const unsigned char five_low[2] = {0x05, 0x00};
  const unsigned char five_high[2] = {0x00, 0x05};
  const unsigned char negative[2] = {0x00, 0x80};
  EXPECT_EQ(WaitingCountLowFirst(five_low), 5);
  EXPECT_EQ(WaitingCountHighFirst(five_low), 1280);
  EXPECT_EQ(WaitingCountLowFirst(five_high), 1280);
  EXPECT_EQ(WaitingCountHighFirst(five_high), 5);
  EXPECT_EQ(WaitingCountLowFirst(negative), -32768);
  EXPECT_EQ(WaitingCountHighFirst(negative), 128);
}

TEST(UsbProtocol, BulkInReadStaysWithinTheBuffer) {
  EXPECT_EQ(BulkInRequestLength(0), 0);
  EXPECT_EQ(BulkInRequestLength(5), 5);
  EXPECT_EQ(BulkInRequestLength(256), 256);
  EXPECT_EQ(BulkInRequestLength(257), 256);
  EXPECT_EQ(BulkInRequestLength(1280), 256);
  EXPECT_EQ(BulkInRequestLength(-1), 0);
  EXPECT_EQ(BulkInRequestLength(INT16_MIN), 0);
}

TEST(UsbProtocol, ReceivedCountIsClampedToWantedAndArray) {
  EXPECT_EQ(ReceivedCount(10, 4, 100), 4);  // the other six are dropped
  EXPECT_EQ(ReceivedCount(10, 20, 3), 3);
  EXPECT_EQ(ReceivedCount(5, 10, 10), 5);
  EXPECT_EQ(ReceivedCount(5, 0, 10), 0);
  EXPECT_EQ(ReceivedCount(5, -4, 10), 0);
  EXPECT_EQ(ReceivedCount(0, 10, 10), 0);
}

}  // namespace
}  // namespace vela
