#include "usb_protocol.h"

#include <gtest/gtest.h>

#include <string>

#include "usb_name_form.h"

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

TEST(UsbNameForm, SerialAndPortFormsPickAPrinterAnythingElseDoesNot) {
  auto form = [](const char* name) {
    char field[100] = {};
    std::string(name).copy(field, sizeof(field) - 1);
    UsbNameForm f = ParseUsbName(field, sizeof(field));
    return std::make_pair(f.kind, std::string(f.text, f.length));
  };
  EXPECT_EQ(form("usb:serial=A1 b"), std::make_pair(UsbNameKind::kSerial, std::string("A1 b")));
  EXPECT_EQ(form("usb:port=1-1.4"), std::make_pair(UsbNameKind::kPort, std::string("1-1.4")));
  EXPECT_EQ(form("usb:serial="), std::make_pair(UsbNameKind::kSerial, std::string()));
  EXPECT_EQ(form("USB:serial=A").first, UsbNameKind::kAny);
  EXPECT_EQ(form("usb:serial").first, UsbNameKind::kAny);
  EXPECT_EQ(form("usb").second, "usb");
  // A field without a terminating zero ends with the field.
  char full[4] = {'u', 's', 'b', '0'};
  EXPECT_EQ(ParseUsbName(full, sizeof(full)).length, 4u);
  UsbNameForm serial = ParseUsbName("usb:serial=X7", 14);
  EXPECT_TRUE(UsbNameTextIs(serial, "X7", 2));
  EXPECT_FALSE(UsbNameTextIs(serial, "X70", 3));
  EXPECT_FALSE(UsbNameTextIs(serial, "x7", 2));

  std::uint32_t location = 0;
  EXPECT_TRUE(ParseLocationId(ParseUsbName("usb:port=0x14A0fF00", 20), &location));
  EXPECT_EQ(location, 0x14A0FF00u);
  for (const char* bad : {"usb:port=0x1420000", "usb:port=0x142000000", "usb:port=0X14200000",
                          "usb:port=0x1420000g", "usb:serial=0x14200000", "0x14200000"}) {
    EXPECT_FALSE(ParseLocationId(ParseUsbName(bad, 30), &location)) << bad;
  }
}

TEST(UsbNameForm, SerialNumbersReadAndMatchAsTheKernelWritesThem) {
  // "A", U+00E9, U+20AC, U+1F609 as a pair, a lone low and a lone high
  // surrogate (left out), then U+0000, where the kernel stops.
  const unsigned char d[] = {22, 3, 'A', 0, 0xE9, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x09, 0xDE,
                             0x09, 0xDE, 0x3D, 0xD8, 'B', 0, 0, 0, 'C', 0};
  const std::string utf8 = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x89" "B";
  char out[32];
  ASSERT_EQ(StringDescriptorText(d, sizeof(d), out, sizeof(out)), 11);
  EXPECT_EQ(std::string(out, 11), utf8);
  EXPECT_EQ(StringDescriptorText(d, sizeof(d), out, 10), -1) << "does not fit";
  EXPECT_EQ(StringDescriptorText(d, 11, out, sizeof(out)), -1) << "bLength past the reply";
  const unsigned char notString[] = {4, 2, 'A', 0};
  EXPECT_EQ(StringDescriptorText(notString, 4, out, sizeof(out)), -1);
  const unsigned char empty[] = {2, 3};
  EXPECT_EQ(StringDescriptorText(empty, 2, out, sizeof(out)), 0);

  // A Java name holds the same text as modified UTF-8: U+1F609 as two
  // three-byte surrogates.
  auto serialIs = [](const std::string& name, const std::string& kernel) {
    return UsbSerialIs(ParseUsbName(name.c_str(), name.size()), kernel.data(), kernel.size());
  };
  EXPECT_TRUE(serialIs("usb:serial=A\xC3\xA9\xE2\x82\xAC\xED\xA0\xBD\xED\xB8\x89" "B", utf8));
  EXPECT_TRUE(serialIs("usb:serial= K-7 ", " K-7 "));
  EXPECT_FALSE(serialIs("usb:serial=K-7", "K-7 "));
  EXPECT_FALSE(serialIs("usb:serial=\xF0\x9F\x98\x89", "\xF0\x9F\x98\x89")) << "not modified UTF-8";
  EXPECT_FALSE(serialIs("usb:serial=\xED\xA0\xBD" "B", "B")) << "lone surrogate";
  EXPECT_FALSE(serialIs("usb:serial=A\xC0\x80", "A")) << "U+0000";
  EXPECT_FALSE(serialIs("usb:serial=A\xE2\x82", "A")) << "cut short";
}

}  // namespace
}  // namespace vela
