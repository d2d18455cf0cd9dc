#include "FcHbaExtension.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

ZmtfcGetAdapterAttributes2Func boundGetAdapterAttributes2 = nullptr;

namespace {

struct VendorLibrary {
  const char* marker;       // in the path of an FC-HBA library that is this management library
  const char* paths[3];     // the direct road's paths, tried in order
  const char* notFound;
};

const VendorLibrary kQLogic = {
    "libqlsdm",
    {"/usr/lib/libqlsdm.so", "/usr/lib64/libqlsdm-x86_64.so", "/lib/cim/libqlsdm.so"},
    "unable to load qlsdm"};
const VendorLibrary kEmulex = {
    "libemsdm",
    {"/usr/lib/libemsdm.so", "/usr/lib64/libemsdm.so", "/lib/cim/libemsdm.so"},
    "unable to load emsdm"};
const VendorLibrary kBrocade = {
    "bfahbaapi",
    {"/usr/lib/bfahbaapi.so", "/usr/lib64/bfahbaapi.so", "/lib/cim/bfahbaapi.so"},
    "unable to load bfahbaapi"};

const char kGetAttributes2[] = "ZMTFC_GetAdapterAttributes2";
const char kNoBoundEntry[] = "unable to dlsym for ZMTFC_GetAdapterAttributes2";

// The vendor words are tested case-sensitively, in this order.
const VendorLibrary& ChooseVendor(const char* adapterName) {
  if (strstr(adapterName, "qlogic") != nullptr) return kQLogic;
  if (strstr(adapterName, "Emulex") != nullptr) return kEmulex;
  return kBrocade;
}

// Room for the vendor's whole record, of which only the leading fields are read.
union ExtendedRecord {
  FcHbaExtendedAttributes record;
  unsigned char room[4096];
};

void SetMessage(char* message, const char* text) {
  snprintf(message, kExtensionMessageSize, "%s", text);
}

// Copies the four values when the record's node WWN is the adapter's; true on a match.
bool TakeOnMatch(const FcHbaExtendedAttributes& record, const uint8_t nodeWwn[8],
                 uint32_t* subsystemIds, uint8_t* pciBus, uint8_t* pciFunction,
                 uint8_t* pciDomain) {
  if (memcmp(record.attributes.NodeWWN.wwn, nodeWwn, 8) != 0) return false;
  *subsystemIds = record.subsystemIds;
  *pciBus = record.pciBus;
  *pciFunction = record.pciFunction;
  *pciDomain = record.pciDomain;
  return true;
}

struct ManagementEntries {
  ZmtfcLoadLibraryFunc load;
  ZmtfcGetNumberOfAdaptersFunc count;
  ZmtfcGetAdapterNameFunc name;
  ZmtfcOpenAdapterFunc open;
  ZmtfcGetAdapterAttributes2Func read;
  ZmtfcCloseAdapterFunc close;
  ZmtfcFreeLibraryFunc free;
};

// Looks the seven entry points up in this order; the name of the first one missing, or null.
const char* LookUpEntries(void* library, ManagementEntries& entries) {
  const char* const names[] = {"ZMTFC_LoadLibrary",   "ZMTFC_GetNumberOfAdapters",
                               "ZMTFC_GetAdapterName", "ZMTFC_OpenAdapter",
                               kGetAttributes2,        "ZMTFC_CloseAdapter",
                               "ZMTFC_FreeLibrary"};
  void* found[std::size(names)];
  for (size_t i = 0; i < std::size(names); ++i) {
    found[i] = dlsym(library, names[i]);
    if (found[i] == nullptr) return names[i];
  }
  entries.load = reinterpret_cast<ZmtfcLoadLibraryFunc>(found[0]);
  entries.count = reinterpret_cast<ZmtfcGetNumberOfAdaptersFunc>(found[1]);
  entries.name = reinterpret_cast<ZmtfcGetAdapterNameFunc>(found[2]);
  entries.open = reinterpret_cast<ZmtfcOpenAdapterFunc>(found[3]);
  entries.read = reinterpret_cast<ZmtfcGetAdapterAttributes2Func>(found[4]);
  entries.close = reinterpret_cast<ZmtfcCloseAdapterFunc>(found[5]);
  entries.free = reinterpret_cast<ZmtfcFreeLibraryFunc>(found[6]);
  return nullptr;
}

// Walks the management library's adapters for the one with this node WWN; the library is
// loaded and initialised, and FreeLibrary stays the caller's.
FcHbaExtensionStatus WalkAdapters(const ManagementEntries& entries, const uint8_t nodeWwn[8],
                                  char* adapterName, uint32_t* subsystemIds, uint8_t* pciBus,
                                  uint8_t* pciFunction, uint8_t* pciDomain, char* message) {
  // The library's count is not trusted to end the walk.
  const int count = std::min(entries.count(), kMaxManagedAdapters);
  for (int i = 0; i < count; ++i) {
    if (entries.name(i, adapterName) != 0) {
      SetMessage(message, "fail to get adapter number");
      return ExtensionNameFailed;
    }
    adapterName[kExtensionNameSize - 1] = '\0';
    HBA_HANDLE handle = entries.open(adapterName);
    if (handle == 0) {
      SetMessage(message, "fail to open adapter");
      return ExtensionOpenFailed;
    }
    ExtendedRecord buffer = {};
    HBA_STATUS status = entries.read(handle, &buffer.record);
    if (status != 0) {
      entries.close(handle);
      snprintf(message, kExtensionMessageSize,
               "fail to read adapter attribs, adapterHandle 0x%x, retStatus 0x%x", handle, status);
      return ExtensionReadFailed;
    }
    bool matched = TakeOnMatch(buffer.record, nodeWwn, subsystemIds, pciBus, pciFunction, pciDomain);
    entries.close(handle);
    if (matched) return ExtensionOk;
  }
  SetMessage(message, "could not find WWNN match");
  return ExtensionNoWwnMatch;
}

}  // namespace

int BindVendorExtension(const char* adapterName, const char* libraryPath, void* libraryHandle,
                        char* message, int* failed) {
  if (strstr(libraryPath, ChooseVendor(adapterName).marker) == nullptr) return 0;
  if (libraryHandle == nullptr) {
    *failed = 1;
    SetMessage(message, "libHandle is NULL; cannot dlsym");
    return 1;
  }
  boundGetAdapterAttributes2 =
      reinterpret_cast<ZmtfcGetAdapterAttributes2Func>(dlsym(libraryHandle, kGetAttributes2));
  if (boundGetAdapterAttributes2 == nullptr) {
    *failed = 1;
    SetMessage(message, kNoBoundEntry);
  } else {
    *failed = 0;
    SetMessage(message, "dlsym for ZMTFC_GetAdapterAttributes2 success!");
  }
  return 1;
}

FcHbaExtensionStatus ReadExtendedAttributes(const uint8_t nodeWwn[8], uint32_t* subsystemIds,
                                            uint8_t* pciBus, uint8_t* pciFunction,
                                            uint8_t* pciDomain, char* message, HBA_HANDLE handle) {
  if (boundGetAdapterAttributes2 == nullptr) {
    SetMessage(message, kNoBoundEntry);
    return ExtensionEntryMissing;
  }
  HBA_HANDLE vendorHandle = handle & 0xFFFF;
  ExtendedRecord buffer = {};
  HBA_STATUS status = boundGetAdapterAttributes2(vendorHandle, &buffer.record);
  if (status != 0) {
    snprintf(message, kExtensionMessageSize,
             "fail to read adapter attribs: handle used is 0x%x: retStatus is 0x%x", vendorHandle,
             status);
    return ExtensionReadFailed;
  }
  // A record of another adapter copies nothing and still counts as read.
  if (TakeOnMatch(buffer.record, nodeWwn, subsystemIds, pciBus, pciFunction, pciDomain))
    snprintf(message, kExtensionMessageSize, "read adapter attribs Success! handle used is 0x%x",
             vendorHandle);
  return ExtensionOk;
}

FcHbaExtensionStatus ReadExtendedAttributesDirect(const uint8_t nodeWwn[8], char* adapterName,
                                                  uint32_t* subsystemIds, uint8_t* pciBus,
                                                  uint8_t* pciFunction, uint8_t* pciDomain,
                                                  char* message) {
  SetMessage(message, "pass");
  const VendorLibrary& vendor = ChooseVendor(adapterName);
  void* library = nullptr;
  for (const char* path : vendor.paths) {
    library = dlopen(path, RTLD_LAZY);
    if (library != nullptr) break;
  }
  if (library == nullptr) {
    SetMessage(message, vendor.notFound);
    return ExtensionLibraryNotFound;
  }
  ManagementEntries entries = {};
  if (const char* missing = LookUpEntries(library, entries)) {
    snprintf(message, kExtensionMessageSize, "unable to dlsym for %s", missing);
    dlclose(library);
    return ExtensionEntryMissing;
  }
  if (entries.load() != 0) {
    dlclose(library);
    SetMessage(message, "fail to load library");
    return ExtensionLoadFailed;
  }
  FcHbaExtensionStatus status = WalkAdapters(entries, nodeWwn, adapterName, subsystemIds, pciBus,
                                             pciFunction, pciDomain, message);
  entries.free();
  dlclose(library);
  return status;
}
