#include <gtest/gtest.h>

#include <cstring>

#include "FcHbaPort.h"

namespace {

const char kZeroWwn[] = "00:00:00:00:00:00:00:00";

TEST(FcHbaPortTest, FreshPortReadsUnknownAndUndefined) {
  FcHbaPort port;
  EXPECT_EQ(port.GetPortTypeText(), "Unknown");
  EXPECT_EQ(port.GetPortStateText(), "Unknown");
  EXPECT_EQ(port.GetPortWwnText(), kZeroWwn);
  EXPECT_EQ(port.GetFabricNameText(), kZeroWwn);
  EXPECT_EQ(port.GetPortSymbolicName(), "Undefined");
  EXPECT_EQ(port.GetOsDeviceName(), "Undefined");
  EXPECT_EQ(port.GetPortSpeed(), 0u);
  EXPECT_EQ(port.GetInvalidCrcCount(), 0);
}

TEST(FcHbaPortTest, TypeTexts) {
  struct Case { uint32_t type; const char* text; };
  const Case kCases[] = {
      {1, "Unknown"}, {2, "Other"}, {3, "Not Present"}, {4, "Unknown"}, {5, "Fabric"},
      {6, "Public Loop"}, {7, "FL Port"}, {8, "Fabric Port"}, {9, "Fabric expansion port"},
      {10, "Generic Fabric Port"}, {20, "Private Loop"}, {21, "Point to Point"},
      {22, "Unknown"}, {0, "Unknown"},
  };
  FcHbaPort port;
  for (const Case& c : kCases) {
    port.portType = c.type;
    EXPECT_EQ(port.GetPortTypeText(), c.text) << c.type;
  }
}

TEST(FcHbaPortTest, StateTexts) {
  struct Case { uint32_t state; const char* text; };
  const Case kCases[] = {
      {1, "Unknown"}, {2, "Online"}, {3, "Offline"}, {4, "Bypassed"}, {5, "Diagnostics Mode"},
      {6, "Link Down"}, {7, "Error"}, {8, "Loopback"}, {9, "Unknown"}, {0, "Unknown"},
  };
  FcHbaPort port;
  for (const Case& c : kCases) {
    port.portState = c.state;
    EXPECT_EQ(port.GetPortStateText(), c.text) << c.state;
  }
}

TEST(FcHbaPortTest, SpeedTextTakesTheFirstBitInOrder) {
  struct Case { uint32_t speed; const char* text; };
  const Case kCases[] = {
      {0, "Unknown"},       {0x8001, "Not Negotiated"}, {0x20, "16 GB"}, {0x24, "16 GB"},
      {0x14, "10 GB"},      {0x10, "8 GB"},  {0x18, "8 GB"},  {0x8, "4 GB"},
      {0xB, "4 GB"},        {0x3, "2 GB"},   {0x1, "1 GB"},   {0x40, "Unknown"},
  };
  FcHbaPort port;
  for (const Case& c : kCases) EXPECT_EQ(port.GetSpeedText(c.speed), c.text) << c.speed;
}

TEST(FcHbaPortTest, FillFromAttributesCopiesAndCutsTexts) {
  HBA_PORTATTRIBUTES attributes = {};
  memset(attributes.PortWWN.wwn, 0xAB, 8);
  memset(attributes.FabricName.wwn, 0x01, 8);
  attributes.PortFcId = 0x10200;
  attributes.PortType = 21;
  attributes.PortState = 6;
  attributes.PortSpeed = 0x8;
  attributes.PortSupportedSpeed = 0xB;
  attributes.PortMaxFrameSize = 2048;
  attributes.PortActiveFc4Types.bits[2] = 1;
  // A symbolic name that fills its array without a NUL is read no further than the array.
  memset(attributes.PortSymbolicName, 'S', sizeof(attributes.PortSymbolicName));
  strcpy(attributes.OSDeviceName, "/dev/fc0");
  FcHbaPort port;
  port.FillFromAttributes(attributes, 3);
  EXPECT_EQ(port.GetPortWwnText(), "AB:AB:AB:AB:AB:AB:AB:AB");
  EXPECT_EQ(port.GetFabricNameText(), "01:01:01:01:01:01:01:01");
  EXPECT_EQ(port.GetPortFcId(), 0x10200u);
  EXPECT_EQ(port.GetPortTypeText(), "Point to Point");
  EXPECT_EQ(port.GetPortStateText(), "Link Down");
  EXPECT_EQ(port.GetSpeedText(port.GetPortSpeed()), "4 GB");
  EXPECT_EQ(port.GetPortMaxFrameSize(), 2048u);
  EXPECT_EQ(port.portActiveFc4Types[2], 1);
  EXPECT_EQ(port.GetPortSymbolicName(), std::string(256, 'S'));
  EXPECT_EQ(port.GetOsDeviceName(), "/dev/fc0");
  EXPECT_EQ(port.GetPortIndex(), 3);
}

TEST(FcHbaPortTest, UpdateStatisticsKeepsCountersMarkedMinusOne) {
  FcHbaPort port;
  port.FillTestData(0);
  HBA_PORTSTATISTICS all;
  memset(&all, 0xFF, sizeof(all));
  port.UpdateStatistics(all);
  EXPECT_EQ(port.GetSecondsSinceLastReset(), 1);
  EXPECT_EQ(port.GetLipCount(), 6);
  EXPECT_EQ(port.GetInvalidCrcCount(), 15);

  HBA_PORTSTATISTICS some = {};
  some.SecondsSinceLastReset = 100;
  some.TxFrames = -1;
  some.InvalidCRCCount = 115;
  port.UpdateStatistics(some);
  EXPECT_EQ(port.GetSecondsSinceLastReset(), 100);
  EXPECT_EQ(port.GetTxFrames(), 2);
  EXPECT_EQ(port.GetTxWords(), 0);
  EXPECT_EQ(port.GetInvalidCrcCount(), 115);
}

TEST(FcHbaPortTest, FillTestData) {
  FcHbaPort port;
  port.FillTestData(7);
  EXPECT_EQ(port.GetPortIndex(), 7);
  EXPECT_EQ(port.GetPortTypeText(), "Fabric");
  EXPECT_EQ(port.GetPortStateText(), "Online");
  EXPECT_EQ(port.GetSpeedText(port.GetPortSpeed()), "10 GB");
  EXPECT_EQ(port.GetPortWwnText(), "FA:FA:FA:FA:FA:FA:FA:FA");
  EXPECT_EQ(port.GetFabricNameText(), "FB:FB:FB:FB:FB:FB:FB:FB");
  EXPECT_EQ(port.GetPortSymbolicName(), "ACME FC Port");
  EXPECT_EQ(port.GetOsDeviceName(), "ACME OS Device");
  EXPECT_EQ(port.GetPortFcId(), 99u);
  EXPECT_EQ(port.GetPortMaxFrameSize(), 1024u);
  const int64_t statistics[] = {
      port.GetSecondsSinceLastReset(), port.GetTxFrames(), port.GetTxWords(),
      port.GetRxFrames(), port.GetRxWords(), port.GetLipCount(), port.GetNosCount(),
      port.GetErrorFrames(), port.GetDumpedFrames(), port.GetLinkFailureCount(),
      port.GetLossOfSyncCount(), port.GetLossOfSignalCount(),
      port.GetPrimitiveSeqProtocolErrCount(), port.GetInvalidTxWordCount(),
      port.GetInvalidCrcCount()};
  for (int i = 0; i < 15; ++i) EXPECT_EQ(statistics[i], i + 1);
}

TEST(FcHbaPortTest, PortIndexKeepsItsLow16Bits) {
  FcHbaPort port;
  port.FillTestData(0x12345);
  EXPECT_EQ(port.GetPortIndex(), 0x2345);
}

}  // namespace
