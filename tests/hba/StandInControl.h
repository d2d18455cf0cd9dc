// The control blocks of the stand-in vendor libraries the tests build: a test dlopens the
// installed copy, looks the block up by name and sets up what the library reports. Zero is the
// healthy default of every switch; the counters show what the code under test called.
#pragma once

#include <cstdint>
#include <cstring>

#include "FcHbaExtension.h"
#include "HbaApi.h"

// What a stand-in library exports; everything else it builds stays hidden.
#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

// The handlers in the order of HBA_ENTRYPOINTS: bit i of `missing` leaves handler i out.
enum StandInHandler {
  kGetVersion, kLoadLibrary, kFreeLibrary, kGetNumberOfAdapters, kGetAdapterName, kOpenAdapter,
  kCloseAdapter, kGetAdapterAttributes, kGetAdapterPortAttributes, kGetPortStatistics,
  kGetDiscoveredPortAttributes, kGetPortAttributesByWWN, kSendCTPassThru, kRefreshInformation,
  kResetStatistics, kGetFcpTargetMapping, kGetFcpPersistentBinding, kGetEventBuffer,
  kSetRNIDMgmtInfo, kGetRNIDMgmtInfo, kSendRNID, kScsiInquiry, kReportLUNs, kReadCapacity,
  kHandlerCount
};

const int kStandInAdapters = 16;
const int kStandInPorts = 4;

// What ZMTFC_GetAdapterAttributes2 reports for one adapter.
struct StandInExtension {
  uint8_t nodeWwn[8];
  uint32_t subsystemIds;
  uint8_t pciBus, pciFunction, pciDomain;
  HBA_STATUS status;  // non-zero: the read fails with it
};

inline HBA_STATUS AnswerExtension(const StandInExtension& extension,
                                  FcHbaExtendedAttributes* record) {
  if (extension.status != HBA_STATUS_OK) return extension.status;
  for (int i = 0; i < 8; ++i) record->attributes.NodeWWN.wwn[i] = extension.nodeWwn[i];
  record->subsystemIds = extension.subsystemIds;
  record->pciBus = extension.pciBus;
  record->pciFunction = extension.pciFunction;
  record->pciDomain = extension.pciDomain;
  return HBA_STATUS_OK;
}

// Adapter i of a stand-in opens as first + i: the adapter a handle names, or null.
template <typename Adapter>
Adapter* AdapterOpenedAs(Adapter (&adapters)[kStandInAdapters], int count, long first,
                         HBA_HANDLE handle) {
  long i = static_cast<long>(handle) - first;
  if (i < 0 || i >= kStandInAdapters || i >= count) return nullptr;
  return &adapters[i];
}

// The handle of the adapter of that name, 0 when there is none or its open is set to fail.
template <typename Adapter>
HBA_HANDLE OpenAdapterNamed(Adapter (&adapters)[kStandInAdapters], int count, long first,
                            const char* name) {
  for (int i = 0; i < count && i < kStandInAdapters; ++i)
    if (strcmp(adapters[i].name, name) == 0)
      return adapters[i].failOpen ? 0 : static_cast<HBA_HANDLE>(first + i);
  return 0;
}

struct StandInPort {
  HBA_PORTATTRIBUTES attributes;
  HBA_PORTSTATISTICS statistics;
  bool failAttributes;
  bool failStatistics;
};

struct StandInAdapter {
  char name[256];
  HBA_ADAPTERATTRIBUTES attributes;  // NumberOfPorts bounds the ports below
  StandInPort ports[kStandInPorts];
  bool failOpen;
  bool failAttributes;
  StandInExtension extension;  // of the extension variant
};

struct StandInHbaControl {
  bool failRegister;
  bool versionZero;
  bool failLoad;
  bool unterminatedNames;  // names fill the whole 256-byte buffer without a NUL
  bool registerInPlace;    // registration writes only the handlers it has, not the whole table
  uint32_t missing;
  uint32_t handleBase;     // adapter i opens as handleBase + i + 1
  HBA_STATUS forwardStatus;
  int adapterCount;        // names beyond the adapters below read "extra<i>"
  StandInAdapter adapters[kStandInAdapters];
  // What was called.
  int registerCalls;
  int calls[kHandlerCount];
  int lastHandler;
  HBA_HANDLE lastHandle;
};

struct StandInManagedAdapter {
  char name[64];
  StandInExtension extension;
  bool failName;
  bool failOpen;
};

// Adapter i of the management library opens as handle 0x100 + i.
struct StandInManagementControl {
  bool failLoad;
  int adapterCount;  // adapters beyond the ones below are "extra<i>", of node WWN zero...
  uint8_t lastExtraWwnByte;  // ...but for the last of the count, whose bytes are all this one
  StandInManagedAdapter adapters[kStandInAdapters];
  int loadCalls, freeCalls, openCalls, closeCalls;
};
