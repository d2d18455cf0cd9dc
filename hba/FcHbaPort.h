// One port of an adapter: the standard port attributes the inventory keeps, its index within
// the adapter and its fifteen statistics, with the texts naming its type, state, speed and WWNs.
// Copied by value.
#pragma once

#include <cstdint>
#include <string>

#include "HbaApi.h"

// The text a port or adapter attribute holds until a library fills it.
const char kUndefined[] = "Undefined";

// Eight bytes as upper-case hexadecimal pairs joined by ":" (23 characters).
std::string FormatWwn(const uint8_t wwn[8]);

class FcHbaPort {
 public:
  FcHbaPort();
  virtual ~FcHbaPort() = default;
  FcHbaPort(const FcHbaPort&) = default;
  FcHbaPort& operator=(const FcHbaPort&) = default;

  void FillFromAttributes(const HBA_PORTATTRIBUTES& attributes, uint32_t index);
  // Copies each counter unless it is -1 (not supplied), which keeps the port's old value.
  void UpdateStatistics(const HBA_PORTSTATISTICS& statistics);
  void FillTestData(uint32_t index);

  std::string GetPortTypeText() const;
  std::string GetPortStateText() const;
  // The text of the given set of speed bits; the first bit set in the fixed order decides.
  std::string GetSpeedText(uint32_t speed) const;
  std::string GetPortWwnText() const;
  std::string GetFabricNameText() const;

  const uint8_t* GetPortWwn() const { return portWwn; }
  uint32_t GetPortFcId() const { return portFcId; }
  uint32_t GetPortType() const { return portType; }
  uint32_t GetPortState() const { return portState; }
  std::string GetPortSymbolicName() const { return portSymbolicName; }
  std::string GetOsDeviceName() const { return osDeviceName; }
  uint16_t GetPortIndex() const { return static_cast<uint16_t>(portIndex & 0xFFFF); }
  uint32_t GetPortSupportedSpeed() const { return portSupportedSpeed; }
  uint32_t GetPortSpeed() const { return portSpeed; }
  uint32_t GetPortMaxFrameSize() const { return portMaxFrameSize; }
  const uint8_t* GetFabricName() const { return fabricName; }
  int64_t GetSecondsSinceLastReset() const { return secondsSinceLastReset; }
  int64_t GetTxFrames() const { return txFrames; }
  int64_t GetTxWords() const { return txWords; }
  int64_t GetRxFrames() const { return rxFrames; }
  int64_t GetRxWords() const { return rxWords; }
  int64_t GetLipCount() const { return lipCount; }
  int64_t GetNosCount() const { return nosCount; }
  int64_t GetErrorFrames() const { return errorFrames; }
  int64_t GetDumpedFrames() const { return dumpedFrames; }
  int64_t GetLinkFailureCount() const { return linkFailureCount; }
  int64_t GetLossOfSyncCount() const { return lossOfSyncCount; }
  int64_t GetLossOfSignalCount() const { return lossOfSignalCount; }
  int64_t GetPrimitiveSeqProtocolErrCount() const { return primitiveSeqProtocolErrCount; }
  int64_t GetInvalidTxWordCount() const { return invalidTxWordCount; }
  int64_t GetInvalidCrcCount() const { return invalidCrcCount; }

  uint8_t portWwn[8];
  uint32_t portFcId;
  uint32_t portType;
  uint32_t portState;
  std::string portSymbolicName;
  std::string osDeviceName;
  uint32_t portSupportedSpeed;
  uint32_t portSpeed;
  uint32_t portMaxFrameSize;
  uint8_t fabricName[8];
  uint32_t portIndex;
  uint8_t portActiveFc4Types[32];
  uint8_t portSupportedFc4Types[32];
  int64_t secondsSinceLastReset;
  int64_t txFrames;
  int64_t txWords;
  int64_t rxFrames;
  int64_t rxWords;
  int64_t lipCount;
  int64_t nosCount;
  int64_t errorFrames;
  int64_t dumpedFrames;
  int64_t linkFailureCount;
  int64_t lossOfSyncCount;
  int64_t lossOfSignalCount;
  int64_t primitiveSeqProtocolErrCount;
  int64_t invalidTxWordCount;
  int64_t invalidCrcCount;
};
