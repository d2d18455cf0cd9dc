// A stand-in FC-HBA vendor library: exports HBA_RegisterLibrary and its control block (and, in
// the extension variant, ZMTFC_GetAdapterAttributes2); every handler stays hidden.
#include <cstdio>
#include <cstring>

#include "StandInControl.h"

extern "C" {
__attribute__((visibility("default"))) StandInHbaControl standInHbaControl;
}

namespace {

StandInHbaControl& control = standInHbaControl;

void Note(StandInHandler handler, HBA_HANDLE handle = 0) {
  ++control.calls[handler];
  control.lastHandler = handler;
  control.lastHandle = handle;
}

long FirstHandle() { return static_cast<long>(control.handleBase) + 1; }

StandInAdapter* AdapterOf(HBA_HANDLE handle) {
  return AdapterOpenedAs(control.adapters, control.adapterCount, FirstHandle(), handle);
}

HBA_UINT32 GetVersion() {
  Note(kGetVersion);
  return control.versionZero ? 0 : 1;
}
HBA_STATUS LoadLibrary() {
  Note(kLoadLibrary);
  return control.failLoad ? HBA_STATUS_ERROR : HBA_STATUS_OK;
}
HBA_STATUS FreeLibrary() {
  Note(kFreeLibrary);
  return HBA_STATUS_OK;
}
HBA_UINT32 GetNumberOfAdapters() {
  Note(kGetNumberOfAdapters);
  return static_cast<HBA_UINT32>(control.adapterCount);
}
HBA_STATUS GetAdapterName(HBA_UINT32 index, char* name) {
  Note(kGetAdapterName);
  if (index >= static_cast<HBA_UINT32>(control.adapterCount)) return HBA_STATUS_ERROR_ILLEGAL_INDEX;
  if (control.unterminatedNames) {
    memset(name, 'N', 256);
  } else if (index < kStandInAdapters) {
    memcpy(name, control.adapters[index].name, sizeof(control.adapters[index].name));
  } else {
    snprintf(name, 256, "extra%u", index);
  }
  return HBA_STATUS_OK;
}
HBA_HANDLE OpenAdapter(char* name) {
  Note(kOpenAdapter);
  return OpenAdapterNamed(control.adapters, control.adapterCount, FirstHandle(), name);
}
void CloseAdapter(HBA_HANDLE handle) { Note(kCloseAdapter, handle); }
HBA_STATUS GetAdapterAttributes(HBA_HANDLE handle, HBA_ADAPTERATTRIBUTES* attributes) {
  Note(kGetAdapterAttributes, handle);
  StandInAdapter* adapter = AdapterOf(handle);
  if (adapter == nullptr || adapter->failAttributes) return HBA_STATUS_ERROR;
  *attributes = adapter->attributes;
  return HBA_STATUS_OK;
}
HBA_STATUS GetAdapterPortAttributes(HBA_HANDLE handle, HBA_UINT32 port,
                                    HBA_PORTATTRIBUTES* attributes) {
  Note(kGetAdapterPortAttributes, handle);
  StandInAdapter* adapter = AdapterOf(handle);
  if (adapter == nullptr || port >= kStandInPorts || adapter->ports[port].failAttributes)
    return HBA_STATUS_ERROR_ILLEGAL_INDEX;
  *attributes = adapter->ports[port].attributes;
  return HBA_STATUS_OK;
}
HBA_STATUS GetPortStatistics(HBA_HANDLE handle, HBA_UINT32 port, HBA_PORTSTATISTICS* statistics) {
  Note(kGetPortStatistics, handle);
  StandInAdapter* adapter = AdapterOf(handle);
  if (adapter == nullptr || port >= kStandInPorts || adapter->ports[port].failStatistics)
    return HBA_STATUS_ERROR;
  *statistics = adapter->ports[port].statistics;
  return HBA_STATUS_OK;
}

// The remaining handlers only note the call and answer with the configured status.
HBA_STATUS Answer(StandInHandler handler, HBA_HANDLE handle) {
  Note(handler, handle);
  return control.forwardStatus;
}
HBA_STATUS GetDiscoveredPortAttributes(HBA_HANDLE h, HBA_UINT32, HBA_UINT32, HBA_PORTATTRIBUTES*) {
  return Answer(kGetDiscoveredPortAttributes, h);
}
HBA_STATUS GetPortAttributesByWWN(HBA_HANDLE h, HBA_WWN, HBA_PORTATTRIBUTES*) {
  return Answer(kGetPortAttributesByWWN, h);
}
HBA_STATUS SendCTPassThru(HBA_HANDLE h, void*, HBA_UINT32, void*, HBA_UINT32) {
  return Answer(kSendCTPassThru, h);
}
void RefreshInformation(HBA_HANDLE h) { Note(kRefreshInformation, h); }
void ResetStatistics(HBA_HANDLE h, HBA_UINT32) { Note(kResetStatistics, h); }
HBA_STATUS GetFcpTargetMapping(HBA_HANDLE h, HBA_FCPTARGETMAPPING*) {
  return Answer(kGetFcpTargetMapping, h);
}
HBA_STATUS GetFcpPersistentBinding(HBA_HANDLE h, HBA_FCPBINDING*) {
  return Answer(kGetFcpPersistentBinding, h);
}
HBA_STATUS GetEventBuffer(HBA_HANDLE h, HBA_EVENTINFO*, HBA_UINT32*) {
  return Answer(kGetEventBuffer, h);
}
HBA_STATUS SetRNIDMgmtInfo(HBA_HANDLE h, HBA_MGMTINFO*) { return Answer(kSetRNIDMgmtInfo, h); }
HBA_STATUS GetRNIDMgmtInfo(HBA_HANDLE h, HBA_MGMTINFO*) { return Answer(kGetRNIDMgmtInfo, h); }
HBA_STATUS SendRNID(HBA_HANDLE h, HBA_WWN, HBA_WWNTYPE, void*, HBA_UINT32*) {
  return Answer(kSendRNID, h);
}
HBA_STATUS ScsiInquiry(HBA_HANDLE h, HBA_WWN, HBA_UINT64, HBA_UINT8, HBA_UINT32, void*,
                       HBA_UINT32, void*, HBA_UINT32) {
  return Answer(kScsiInquiry, h);
}
HBA_STATUS ReportLUNs(HBA_HANDLE h, HBA_WWN, void*, HBA_UINT32, void*, HBA_UINT32) {
  return Answer(kReportLUNs, h);
}
HBA_STATUS ReadCapacity(HBA_HANDLE h, HBA_WWN, HBA_UINT64, void*, HBA_UINT32, void*, HBA_UINT32) {
  return Answer(kReadCapacity, h);
}

}  // namespace

STANDIN_EXPORT HBA_STATUS HBA_RegisterLibrary(HBA_ENTRYPOINTS* entries) {
  ++control.registerCalls;
  if (control.failRegister) return HBA_STATUS_ERROR;
  HBA_ENTRYPOINTS all = {
      GetVersion, LoadLibrary, FreeLibrary, GetNumberOfAdapters, GetAdapterName, OpenAdapter,
      CloseAdapter, GetAdapterAttributes, GetAdapterPortAttributes, GetPortStatistics,
      GetDiscoveredPortAttributes, GetPortAttributesByWWN, SendCTPassThru, RefreshInformation,
      ResetStatistics, GetFcpTargetMapping, GetFcpPersistentBinding, GetEventBuffer,
      SetRNIDMgmtInfo, GetRNIDMgmtInfo, SendRNID, ScsiInquiry, ReportLUNs, ReadCapacity};
  static_assert(sizeof(all) == kHandlerCount * sizeof(void (*)()), "one pointer per handler");
  const size_t slot = sizeof(void (*)());
  for (int i = 0; i < kHandlerCount; ++i) {
    char* mine = reinterpret_cast<char*>(&all) + i * slot;
    if ((control.missing & (1u << i)) == 0)
      memcpy(reinterpret_cast<char*>(entries) + i * slot, mine, slot);
    else if (!control.registerInPlace)
      memset(reinterpret_cast<char*>(entries) + i * slot, 0, slot);
  }
  return HBA_STATUS_OK;
}

#ifdef STANDIN_EXTENSION
STANDIN_EXPORT HBA_STATUS ZMTFC_GetAdapterAttributes2(HBA_HANDLE handle,
                                                      FcHbaExtendedAttributes* record) {
  control.lastHandle = handle;
  StandInAdapter* adapter = AdapterOf(handle);
  if (adapter == nullptr) return HBA_STATUS_ERROR_INVALID_HANDLE;
  record->attributes = adapter->attributes;
  return AnswerExtension(adapter->extension, record);
}
#endif
