// A stand-in vendor management library exporting the seven ZMTFC_ entry points and its control
// block; a variant built with STANDIN_LACKS_<entry point> leaves that one out.
#include <cstdio>
#include <cstring>

#include "StandInControl.h"

extern "C" {
__attribute__((visibility("default"))) StandInManagementControl standInManagementControl;
}

namespace {

StandInManagementControl& control = standInManagementControl;
const long kFirstHandle = 0x100;

// Adapters past the table, up to the count, answer every call as healthy adapters of node WWN
// zero (the last one's may be set).
bool IsExtra(long index) { return index >= kStandInAdapters && index < control.adapterCount; }

}  // namespace

#ifndef STANDIN_LACKS_ZMTFC_LoadLibrary
STANDIN_EXPORT HBA_STATUS ZMTFC_LoadLibrary() {
  ++control.loadCalls;
  return control.failLoad ? HBA_STATUS_ERROR : HBA_STATUS_OK;
}
#endif

#ifndef STANDIN_LACKS_ZMTFC_GetNumberOfAdapters
STANDIN_EXPORT int ZMTFC_GetNumberOfAdapters() { return control.adapterCount; }
#endif

#ifndef STANDIN_LACKS_ZMTFC_GetAdapterName
STANDIN_EXPORT HBA_STATUS ZMTFC_GetAdapterName(int index, char* name) {
  if (IsExtra(index)) {
    snprintf(name, 1024, "extra%d", index);
    return HBA_STATUS_OK;
  }
  if (index < 0 || index >= kStandInAdapters || control.adapters[index].failName)
    return HBA_STATUS_ERROR;
  snprintf(name, 1024, "%s", control.adapters[index].name);
  return HBA_STATUS_OK;
}
#endif

#ifndef STANDIN_LACKS_ZMTFC_OpenAdapter
STANDIN_EXPORT HBA_HANDLE ZMTFC_OpenAdapter(char* name) {
  ++control.openCalls;
  int extra = -1;
  if (sscanf(name, "extra%d", &extra) == 1 && IsExtra(extra))
    return static_cast<HBA_HANDLE>(kFirstHandle + extra);
  return OpenAdapterNamed(control.adapters, control.adapterCount, kFirstHandle, name);
}
#endif

#ifndef STANDIN_LACKS_ZMTFC_GetAdapterAttributes2
STANDIN_EXPORT HBA_STATUS ZMTFC_GetAdapterAttributes2(HBA_HANDLE handle,
                                                      FcHbaExtendedAttributes* record) {
  const long index = static_cast<long>(handle) - kFirstHandle;
  if (IsExtra(index)) {
    StandInExtension extra{};
    if (index == control.adapterCount - 1) memset(extra.nodeWwn, control.lastExtraWwnByte, 8);
    return AnswerExtension(extra, record);
  }
  StandInManagedAdapter* adapter =
      AdapterOpenedAs(control.adapters, control.adapterCount, kFirstHandle, handle);
  if (adapter == nullptr) return HBA_STATUS_ERROR_INVALID_HANDLE;
  return AnswerExtension(adapter->extension, record);
}
#endif

#ifndef STANDIN_LACKS_ZMTFC_CloseAdapter
STANDIN_EXPORT void ZMTFC_CloseAdapter(HBA_HANDLE) { ++control.closeCalls; }
#endif

#ifndef STANDIN_LACKS_ZMTFC_FreeLibrary
STANDIN_EXPORT void ZMTFC_FreeLibrary() { ++control.freeCalls; }
#endif
