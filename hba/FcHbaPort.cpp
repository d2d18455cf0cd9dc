#include "FcHbaPort.h"

#include <cstdio>
#include <cstring>

#include "FixedText.h"

namespace {

const char kUnknown[] = "Unknown";

struct CodeText {
  uint32_t code;
  const char* text;
};

const CodeText kPortTypeTexts[] = {
    {2, "Other"},        {3, "Not Present"},           {5, "Fabric"},
    {6, "Public Loop"},  {7, "FL Port"},               {8, "Fabric Port"},
    {9, "Fabric expansion port"}, {10, "Generic Fabric Port"}, {20, "Private Loop"},
    {21, "Point to Point"},
};

const CodeText kPortStateTexts[] = {
    {2, "Online"}, {3, "Offline"}, {4, "Bypassed"}, {5, "Diagnostics Mode"},
    {6, "Link Down"}, {7, "Error"}, {8, "Loopback"},
};

// Tested in this order: the first bit set names the speed.
const CodeText kSpeedTexts[] = {
    {0x8000, "Not Negotiated"}, {0x20, "16 GB"}, {0x4, "10 GB"}, {0x10, "8 GB"},
    {0x8, "4 GB"},              {0x2, "2 GB"},   {0x1, "1 GB"},
};

template <size_t N>
std::string TextOf(const CodeText (&table)[N], uint32_t code) {
  for (const CodeText& row : table)
    if (row.code == code) return row.text;
  return kUnknown;
}

// The statistics in the order of the standard's record, paired with the port's fields.
struct StatisticField {
  HBA_INT64 HBA_PORTSTATISTICS::*source;
  int64_t FcHbaPort::*field;
};

const StatisticField kStatisticFields[] = {
    {&HBA_PORTSTATISTICS::SecondsSinceLastReset, &FcHbaPort::secondsSinceLastReset},
    {&HBA_PORTSTATISTICS::TxFrames, &FcHbaPort::txFrames},
    {&HBA_PORTSTATISTICS::TxWords, &FcHbaPort::txWords},
    {&HBA_PORTSTATISTICS::RxFrames, &FcHbaPort::rxFrames},
    {&HBA_PORTSTATISTICS::RxWords, &FcHbaPort::rxWords},
    {&HBA_PORTSTATISTICS::LIPCount, &FcHbaPort::lipCount},
    {&HBA_PORTSTATISTICS::NOSCount, &FcHbaPort::nosCount},
    {&HBA_PORTSTATISTICS::ErrorFrames, &FcHbaPort::errorFrames},
    {&HBA_PORTSTATISTICS::DumpedFrames, &FcHbaPort::dumpedFrames},
    {&HBA_PORTSTATISTICS::LinkFailureCount, &FcHbaPort::linkFailureCount},
    {&HBA_PORTSTATISTICS::LossOfSyncCount, &FcHbaPort::lossOfSyncCount},
    {&HBA_PORTSTATISTICS::LossOfSignalCount, &FcHbaPort::lossOfSignalCount},
    {&HBA_PORTSTATISTICS::PrimitiveSeqProtocolErrCount, &FcHbaPort::primitiveSeqProtocolErrCount},
    {&HBA_PORTSTATISTICS::InvalidTxWordCount, &FcHbaPort::invalidTxWordCount},
    {&HBA_PORTSTATISTICS::InvalidCRCCount, &FcHbaPort::invalidCrcCount},
};

}  // namespace

std::string FormatWwn(const uint8_t wwn[8]) {
  char text[24];
  snprintf(text, sizeof(text), "%02X:%02X:%02X:%02X:%02X:%02X:%02X:%02X", wwn[0], wwn[1], wwn[2],
           wwn[3], wwn[4], wwn[5], wwn[6], wwn[7]);
  return text;
}

FcHbaPort::FcHbaPort()
    : portWwn{},
      portFcId(0),
      portType(HBA_PORTTYPE_UNKNOWN),
      portState(HBA_PORTSTATE_UNKNOWN),
      portSymbolicName(kUndefined),
      osDeviceName(kUndefined),
      portSupportedSpeed(0),
      portSpeed(0),
      portMaxFrameSize(0),
      fabricName{},
      portIndex(0),
      portActiveFc4Types{},
      portSupportedFc4Types{} {
  for (const StatisticField& statistic : kStatisticFields) this->*statistic.field = 0;
}

void FcHbaPort::FillFromAttributes(const HBA_PORTATTRIBUTES& attributes, uint32_t index) {
  memcpy(portWwn, attributes.PortWWN.wwn, sizeof(portWwn));
  portFcId = attributes.PortFcId;
  portType = attributes.PortType;
  portState = attributes.PortState;
  portSymbolicName = TextWithin(attributes.PortSymbolicName);
  osDeviceName = TextWithin(attributes.OSDeviceName);
  portSupportedSpeed = attributes.PortSupportedSpeed;
  portSpeed = attributes.PortSpeed;
  portMaxFrameSize = attributes.PortMaxFrameSize;
  memcpy(fabricName, attributes.FabricName.wwn, sizeof(fabricName));
  memcpy(portActiveFc4Types, attributes.PortActiveFc4Types.bits, sizeof(portActiveFc4Types));
  memcpy(portSupportedFc4Types, attributes.PortSupportedFc4Types.bits,
         sizeof(portSupportedFc4Types));
  portIndex = index;
}

void FcHbaPort::UpdateStatistics(const HBA_PORTSTATISTICS& statistics) {
  for (const StatisticField& statistic : kStatisticFields) {
    HBA_INT64 value = statistics.*statistic.source;
    if (value != -1) this->*statistic.field = value;
  }
}

void FcHbaPort::FillTestData(uint32_t index) {
  memset(portWwn, 0xFA, sizeof(portWwn));
  memset(fabricName, 0xFB, sizeof(fabricName));
  portFcId = 99;
  portType = 5;
  portState = 2;
  portSymbolicName = "ACME FC Port";
  osDeviceName = "ACME OS Device";
  portSupportedSpeed = 4;
  portSpeed = 4;
  portMaxFrameSize = 1024;
  portIndex = index;
  int64_t value = 1;
  for (const StatisticField& statistic : kStatisticFields) this->*statistic.field = value++;
}

std::string FcHbaPort::GetPortTypeText() const { return TextOf(kPortTypeTexts, portType); }

std::string FcHbaPort::GetPortStateText() const { return TextOf(kPortStateTexts, portState); }

std::string FcHbaPort::GetSpeedText(uint32_t speed) const {
  for (const CodeText& row : kSpeedTexts)
    if ((speed & row.code) != 0) return row.text;
  return kUnknown;
}

std::string FcHbaPort::GetPortWwnText() const { return FormatWwn(portWwn); }

std::string FcHbaPort::GetFabricNameText() const { return FormatWwn(fabricName); }
