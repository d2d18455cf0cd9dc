// The vendors' ZMTFC_GetAdapterAttributes2 extension: PCI subsystem identifiers and location, read
// bound in the adapter's FC-HBA library or direct from the management library, left unloaded after.
// Each outcome is a status and a text in the 256-byte message; outputs change only on a WWN match.
#pragma once

#include <cstddef>
#include <cstdint>

#include "HbaApi.h"

const int kExtensionMessageSize = 256;
const int kExtensionNameSize = 1024;
// The most adapters the direct road walks in a management library, far above any real machine:
// past them the walk ends as when none matched.
const int kMaxManagedAdapters = 256;

// The record ZMTFC_GetAdapterAttributes2 fills; nothing after pciDomain is read.
struct FcHbaExtendedAttributes {
  HBA_ADAPTERATTRIBUTES attributes;
  uint32_t subsystemIds;  // subsystem vendor in the low 16 bits, subsystem device in the high
  uint8_t pciBus;
  uint8_t pciFunction;
  uint8_t pciDomain;
};

static_assert(offsetof(FcHbaExtendedAttributes, attributes) == 0, "attributes offset");
static_assert(offsetof(FcHbaExtendedAttributes, subsystemIds) == 2192, "subsystemIds offset");
static_assert(offsetof(FcHbaExtendedAttributes, pciBus) == 2196, "pciBus offset");
static_assert(offsetof(FcHbaExtendedAttributes, pciFunction) == 2197, "pciFunction offset");
static_assert(offsetof(FcHbaExtendedAttributes, pciDomain) == 2198, "pciDomain offset");

// The vendor management library's entry points.
typedef HBA_STATUS (*ZmtfcLoadLibraryFunc)();
typedef int (*ZmtfcGetNumberOfAdaptersFunc)();
typedef HBA_STATUS (*ZmtfcGetAdapterNameFunc)(int, char*);
typedef HBA_HANDLE (*ZmtfcOpenAdapterFunc)(char*);
typedef HBA_STATUS (*ZmtfcGetAdapterAttributes2Func)(HBA_HANDLE, FcHbaExtendedAttributes*);
typedef void (*ZmtfcCloseAdapterFunc)(HBA_HANDLE);
typedef void (*ZmtfcFreeLibraryFunc)();

enum FcHbaExtensionStatus {
  ExtensionOk = 0,
  ExtensionLibraryNotFound = -1,
  ExtensionEntryMissing = -2,
  ExtensionReadFailed = -3,
  ExtensionOpenFailed = -4,
  ExtensionNameFailed = -5,
  ExtensionNoWwnMatch = -6,
  ExtensionLoadFailed = -7,
};

// The entry point of the library last bound; valid only while that library stays loaded.
extern ZmtfcGetAdapterAttributes2Func boundGetAdapterAttributes2;

// 1 when the adapter's FC-HBA library is the vendor's management library (bound road; failed is
// then 0 when the entry point was found), 0 otherwise with nothing touched.
int BindVendorExtension(const char* adapterName, const char* libraryPath, void* libraryHandle,
                        char* message, int* failed);

// Bound road: reads through the entry point bound last, with the adapter's open handle.
FcHbaExtensionStatus ReadExtendedAttributes(const uint8_t nodeWwn[8], uint32_t* subsystemIds,
                                            uint8_t* pciBus, uint8_t* pciFunction,
                                            uint8_t* pciDomain, char* message, HBA_HANDLE handle);

// Direct road: adapterName is a writable buffer of kExtensionNameSize bytes, overwritten by the
// names of the management library's adapters as they are walked (at most kMaxManagedAdapters).
FcHbaExtensionStatus ReadExtendedAttributesDirect(const uint8_t nodeWwn[8], char* adapterName,
                                                  uint32_t* subsystemIds, uint8_t* pciBus,
                                                  uint8_t* pciFunction, uint8_t* pciDomain,
                                                  char* message);
