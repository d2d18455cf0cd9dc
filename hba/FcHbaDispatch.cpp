#include "FcHbaDispatch.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <type_traits>

#include "FixedText.h"

FcHbaLibraryEntry libraryTable[kLibraryTableSize];
FcHbaAdapterEntry adapterTable[kAdapterTableSize];
int adapterTableCount = 0;

namespace {

const char kConfigPath[] = "/etc/hba.conf";
const int kConfigLineSize = 512;
const int kVendorNameSize = 256;

// Only "_", ".", "/", digits and ASCII letters are kept; the path ends at the first other byte.
void FilterPath(char* path) {
  for (char* c = path; *c != '\0'; ++c) {
    signed char s = static_cast<signed char>(*c);
    bool kept = s == '_' || (s >= '.' && s <= '9') || (s >= 'A' && s <= 'Z') ||
                (s >= 'a' && s <= 'z');
    if (!kept) *c = '\0';
  }
}

// Lets the library register its handlers and initialise itself. A failed registration, version 0
// or a failed initialisation makes the row unavailable; a library without HBA_RegisterLibrary,
// GetVersion or LoadLibrary leaves the row's state as it was.
void RegisterLibrary(FcHbaLibraryEntry& row) {
  auto reg = reinterpret_cast<HBARegisterLibraryFunc>(dlsym(row.handle, "HBA_RegisterLibrary"));
  if (reg == nullptr) return;
  // The library's table alone: handlers the row kept from a released library point into nothing.
  row.entryPoints = HBA_ENTRYPOINTS{};
  if (reg(&row.entryPoints) != HBA_STATUS_OK) {
    row.state = LibraryUnavailable;
    return;
  }
  if (row.entryPoints.GetVersionHandler == nullptr) return;
  if (row.entryPoints.GetVersionHandler() == 0) {
    row.state = LibraryUnavailable;
    return;
  }
  if (row.entryPoints.LoadLibraryHandler == nullptr) return;
  row.state = row.entryPoints.LoadLibraryHandler() == HBA_STATUS_OK ? LibraryLoaded
                                                                     : LibraryUnavailable;
}

// Takes one configuration line into the row; false when the line is skipped without a row.
bool AcceptLine(char* line, FcHbaLibraryEntry& row) {
  if (line[0] == '#' || line[0] == '\n') return false;
  if (char* end = strchr(line, '\n')) *end = '\0';
  char* separator = strchr(line, '\t');
  if (separator == nullptr) separator = strchr(line, ' ');
  if (separator == nullptr) return false;
  *separator = '\0';
  char* path = separator + 1;
  while (*path == ' ' || *path == '\t') ++path;
  if (line[0] == '\0' || path[0] == '\0') return false;
  FilterPath(path);
  CopyCut(row.name, sizeof(row.name), line);
  CopyCut(row.path, sizeof(row.path), path);
  return true;
}

void LoadRow(FcHbaLibraryEntry& row) {
  // The empty path would open the program itself.
  row.handle = row.path[0] != '\0' ? dlopen(row.path, RTLD_LAZY) : nullptr;
  if (row.handle == nullptr) return;
  RegisterLibrary(row);
  if (row.state != LibraryLoaded) {
    // A row that is never used keeps nothing loaded.
    dlclose(row.handle);
    row.handle = nullptr;
  }
}

template <typename Handler, typename... Args>
auto Forward(HBA_HANDLE handle, Handler HBA_ENTRYPOINTS::*slot, Args... args) {
  using Result = decltype(static_cast<Handler>(nullptr)(0, args...));
  int row = 0;
  HBA_UINT32 vendorHandle = 0;
  HBA_STATUS status = DecodeHandle(handle, &row, &vendorHandle);
  Handler handler = status == HBA_STATUS_OK ? libraryTable[row].entryPoints.*slot : nullptr;
  if constexpr (std::is_void_v<Result>) {
    if (handler != nullptr) handler(vendorHandle, args...);
  } else {
    if (status != HBA_STATUS_OK) return status;
    return handler != nullptr ? handler(vendorHandle, args...) : HBA_STATUS_OK;
  }
}

}  // namespace

HBA_STATUS HBA_LoadLibrary() {
  FILE* file = fopen(kConfigPath, "r");
  if (file == nullptr) return HBA_STATUS_ERROR;
  char line[kConfigLineSize];
  int row = 0;
  int reads = 0;
  // Lines beyond the table's last row, or beyond the last read allowed, are ignored.
  while (row < kLibraryTableSize && reads++ < kMaxConfigReads &&
         fgets(line, sizeof(line), file) != nullptr) {
    if (!AcceptLine(line, libraryTable[row])) continue;
    LoadRow(libraryTable[row]);
    ++row;
  }
  fclose(file);
  return HBA_STATUS_OK;
}

HBA_STATUS HBA_FreeLibrary() {
  for (FcHbaLibraryEntry& row : libraryTable) {
    if (row.state != LibraryLoaded) continue;
    if (row.entryPoints.FreeLibraryHandler != nullptr) row.entryPoints.FreeLibraryHandler();
    dlclose(row.handle);
    row.handle = nullptr;
    row.state = LibraryUnavailable;
  }
  return HBA_STATUS_OK;
}

HBA_UINT32 HBA_GetNumberOfAdapters() {
  adapterTableCount = 0;
  for (int library = 0; library < kLibraryTableSize; ++library) {
    const HBA_ENTRYPOINTS& entries = libraryTable[library].entryPoints;
    if (libraryTable[library].state != LibraryLoaded || entries.GetNumberOfAdaptersHandler == nullptr)
      continue;
    int count = static_cast<int>(entries.GetNumberOfAdaptersHandler());
    if (entries.GetAdapterNameHandler == nullptr) continue;
    // Adapters beyond the table's last row are ignored.
    for (int j = 0; j < count && adapterTableCount < kAdapterTableSize; ++j) {
      char name[kVendorNameSize] = {};
      entries.GetAdapterNameHandler(static_cast<HBA_UINT32>(j), name);
      // The cut reads no further than the entry's size, whether the vendor ended its name or not.
      FcHbaAdapterEntry& entry = adapterTable[adapterTableCount++];
      CopyCut(entry.name, sizeof(entry.name), name);
      entry.library = library;
    }
  }
  return static_cast<HBA_UINT32>(adapterTableCount);
}

HBA_STATUS HBA_GetAdapterName(HBA_UINT32 adapterIndex, char* adapterName) {
  if (adapterIndex >= static_cast<HBA_UINT32>(adapterTableCount))
    return HBA_STATUS_ERROR_ILLEGAL_INDEX;
  strcpy(adapterName, adapterTable[adapterIndex].name);
  return HBA_STATUS_OK;
}

HBA_UINT32 HBA_GetVersion() { return 1; }

HBA_HANDLE HBA_OpenAdapter(char* adapterName) {
  for (int i = 0; i < adapterTableCount; ++i) {
    if (strcmp(adapterTable[i].name, adapterName) != 0) continue;
    int library = adapterTable[i].library;
    const FcHbaLibraryEntry& row = libraryTable[library];
    // Only a loaded library may be called: after a free its handlers point nowhere.
    if (row.state != LibraryLoaded || row.entryPoints.OpenAdapterHandler == nullptr) return 0;
    HBA_HANDLE vendorHandle = row.entryPoints.OpenAdapterHandler(adapterName);
    if (vendorHandle == 0) return 0;
    return static_cast<HBA_HANDLE>(library) << 16 | (vendorHandle & 0xFFFF);
  }
  return 0;
}

void* GetAdapterLibrary(HBA_UINT32 adapterIndex, char path[kLibraryPathSize]) {
  if (adapterIndex >= static_cast<HBA_UINT32>(adapterTableCount)) {
    memset(path, 0, kLibraryPathSize);
    return nullptr;
  }
  const FcHbaLibraryEntry& row = libraryTable[adapterTable[adapterIndex].library];
  memcpy(path, row.path, kLibraryPathSize);
  return row.handle;
}

HBA_STATUS DecodeHandle(HBA_HANDLE handle, int* library, HBA_UINT32* vendorHandle) {
  *library = static_cast<int>(handle >> 16);
  if (*library >= kLibraryTableSize) return HBA_STATUS_ERROR_INVALID_HANDLE;
  if (libraryTable[*library].state != LibraryLoaded) return HBA_STATUS_ERROR;
  *vendorHandle = handle & 0xFFFF;
  return HBA_STATUS_OK;
}

void HBA_CloseAdapter(HBA_HANDLE handle) {
  Forward(handle, &HBA_ENTRYPOINTS::CloseAdapterHandler);
}

HBA_STATUS HBA_GetAdapterAttributes(HBA_HANDLE handle, HBA_ADAPTERATTRIBUTES* attributes) {
  return Forward(handle, &HBA_ENTRYPOINTS::GetAdapterAttributesHandler, attributes);
}

HBA_STATUS HBA_GetAdapterPortAttributes(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                        HBA_PORTATTRIBUTES* attributes) {
  return Forward(handle, &HBA_ENTRYPOINTS::GetAdapterPortAttributesHandler, portIndex, attributes);
}

HBA_STATUS HBA_GetPortStatistics(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                 HBA_PORTSTATISTICS* statistics) {
  return Forward(handle, &HBA_ENTRYPOINTS::GetPortStatisticsHandler, portIndex, statistics);
}

HBA_STATUS HBA_GetDiscoveredPortAttributes(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                           HBA_UINT32 discoveredPortIndex,
                                           HBA_PORTATTRIBUTES* attributes) {
  return Forward(handle, &HBA_ENTRYPOINTS::GetDiscoveredPortAttributesHandler, portIndex,
                 discoveredPortIndex, attributes);
}

HBA_STATUS HBA_GetPortAttributesByWWN(HBA_HANDLE handle, HBA_WWN portWwn,
                                      HBA_PORTATTRIBUTES* attributes) {
  return Forward(handle, &HBA_ENTRYPOINTS::GetPortAttributesByWWNHandler, portWwn, attributes);
}

HBA_STATUS HBA_SendCTPassThru(HBA_HANDLE handle, void* request, HBA_UINT32 requestSize,
                              void* response, HBA_UINT32 responseSize) {
  return Forward(handle, &HBA_ENTRYPOINTS::SendCTPassThruHandler, request, requestSize, response,
                 responseSize);
}

void HBA_RefreshInformation(HBA_HANDLE handle) {
  Forward(handle, &HBA_ENTRYPOINTS::RefreshInformationHandler);
}

void HBA_ResetStatistics(HBA_HANDLE handle, HBA_UINT32 portIndex) {
  Forward(handle, &HBA_ENTRYPOINTS::ResetStatisticsHandler, portIndex);
}

HBA_STATUS HBA_GetFcpTargetMapping(HBA_HANDLE handle, HBA_FCPTARGETMAPPING* mapping) {
  return Forward(handle, &HBA_ENTRYPOINTS::GetFcpTargetMappingHandler, mapping);
}

HBA_STATUS HBA_GetFcpPersistentBinding(HBA_HANDLE handle, HBA_FCPBINDING* binding) {
  return Forward(handle, &HBA_ENTRYPOINTS::GetFcpPersistentBindingHandler, binding);
}

HBA_STATUS HBA_GetEventBuffer(HBA_HANDLE handle, HBA_EVENTINFO* events, HBA_UINT32* eventCount) {
  return Forward(handle, &HBA_ENTRYPOINTS::GetEventBufferHandler, events, eventCount);
}

HBA_STATUS HBA_SetRNIDMgmtInfo(HBA_HANDLE handle, HBA_MGMTINFO* info) {
  return Forward(handle, &HBA_ENTRYPOINTS::SetRNIDMgmtInfoHandler, info);
}

HBA_STATUS HBA_GetRNIDMgmtInfo(HBA_HANDLE handle, HBA_MGMTINFO* info) {
  return Forward(handle, &HBA_ENTRYPOINTS::GetRNIDMgmtInfoHandler, info);
}

HBA_STATUS HBA_SendRNID(HBA_HANDLE handle, HBA_WWN wwn, HBA_WWNTYPE wwnType, void* response,
                        HBA_UINT32* responseSize) {
  return Forward(handle, &HBA_ENTRYPOINTS::SendRNIDHandler, wwn, wwnType, response, responseSize);
}

HBA_STATUS HBA_SendScsiInquiry(HBA_HANDLE handle, HBA_WWN portWwn, HBA_UINT64 fcLun,
                               HBA_UINT8 evpd, HBA_UINT32 pageCode, void* response,
                               HBA_UINT32 responseSize, void* sense, HBA_UINT32 senseSize) {
  return Forward(handle, &HBA_ENTRYPOINTS::ScsiInquiryHandler, portWwn, fcLun, evpd, pageCode,
                 response, responseSize, sense, senseSize);
}

HBA_STATUS HBA_SendReportLUNs(HBA_HANDLE handle, HBA_WWN portWwn, void* response,
                              HBA_UINT32 responseSize, void* sense, HBA_UINT32 senseSize) {
  return Forward(handle, &HBA_ENTRYPOINTS::ReportLUNsHandler, portWwn, response, responseSize,
                 sense, senseSize);
}

HBA_STATUS HBA_SendReadCapacity(HBA_HANDLE handle, HBA_WWN portWwn, HBA_UINT64 fcLun,
                                void* response, HBA_UINT32 responseSize, void* sense,
                                HBA_UINT32 senseSize) {
  return Forward(handle, &HBA_ENTRYPOINTS::ReadCapacityHandler, portWwn, fcLun, response,
                 responseSize, sense, senseSize);
}
