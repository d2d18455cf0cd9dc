// The FC-HBA dispatch layer: loads the libraries /etc/hba.conf lists, keeps one table of their
// adapters and forwards each adapter call to the serving library; single-threaded, prints nothing.
// Call HBA_LoadLibrary only while none is loaded, and HBA_GetNumberOfAdapters before naming one.
#pragma once

#include "HbaApi.h"

const int kLibraryTableSize = 32;
const int kAdapterTableSize = 64;
const int kLibraryNameSize = 64;
const int kLibraryPathSize = 256;
const int kAdapterNameSize = 64;
// The most reads (of up to 511 characters each) of /etc/hba.conf, far above any real file: a
// configuration that never ends, such as a device, still ends the load.
const int kMaxConfigReads = 4096;

enum FcHbaLibraryState {
  LibraryEmpty = 0,        // never loaded
  LibraryLoaded = 1,       // registered and initialised: the only state in which a row is used
  LibraryUnavailable = 2,  // registration or initialisation failed, or the library was released
};

struct FcHbaLibraryEntry {
  char name[kLibraryNameSize];
  char path[kLibraryPathSize];
  void* handle;
  HBA_ENTRYPOINTS entryPoints;
  FcHbaLibraryState state;
};

struct FcHbaAdapterEntry {
  char name[kAdapterNameSize];
  int library;
};

extern FcHbaLibraryEntry libraryTable[kLibraryTableSize];
extern FcHbaAdapterEntry adapterTable[kAdapterTableSize];
extern int adapterTableCount;

// 0 after reading the configuration; 1 when /etc/hba.conf cannot be opened (nothing touched).
// Reads at most kMaxConfigReads lines of it.
HBA_STATUS HBA_LoadLibrary();
// Releases every loaded library; the adapter table stays, so indexes survive a reload. Returns 0.
HBA_STATUS HBA_FreeLibrary();
HBA_UINT32 HBA_GetNumberOfAdapters();
// Copies the adapter's name (at most 63 characters and its NUL) into a buffer of 64 bytes or more.
HBA_STATUS HBA_GetAdapterName(HBA_UINT32 adapterIndex, char* adapterName);
HBA_UINT32 HBA_GetVersion();
// A handle is the library row << 16 | the low 16 bits of the vendor's handle; 0 is failure.
HBA_HANDLE HBA_OpenAdapter(char* adapterName);

// The loader handle of the library serving the adapter; its 256-byte path goes into path.
void* GetAdapterLibrary(HBA_UINT32 adapterIndex, char path[kLibraryPathSize]);
HBA_STATUS DecodeHandle(HBA_HANDLE handle, int* library, HBA_UINT32* vendorHandle);

// Forwarded to the serving library; a handler the library lacks gives HBA_STATUS_OK and leaves
// every output untouched.
void HBA_CloseAdapter(HBA_HANDLE handle);
HBA_STATUS HBA_GetAdapterAttributes(HBA_HANDLE handle, HBA_ADAPTERATTRIBUTES* attributes);
HBA_STATUS HBA_GetAdapterPortAttributes(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                        HBA_PORTATTRIBUTES* attributes);
HBA_STATUS HBA_GetPortStatistics(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                 HBA_PORTSTATISTICS* statistics);
HBA_STATUS HBA_GetDiscoveredPortAttributes(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                           HBA_UINT32 discoveredPortIndex,
                                           HBA_PORTATTRIBUTES* attributes);
HBA_STATUS HBA_GetPortAttributesByWWN(HBA_HANDLE handle, HBA_WWN portWwn,
                                      HBA_PORTATTRIBUTES* attributes);
HBA_STATUS HBA_SendCTPassThru(HBA_HANDLE handle, void* request, HBA_UINT32 requestSize,
                              void* response, HBA_UINT32 responseSize);
void HBA_RefreshInformation(HBA_HANDLE handle);
void HBA_ResetStatistics(HBA_HANDLE handle, HBA_UINT32 portIndex);
HBA_STATUS HBA_GetFcpTargetMapping(HBA_HANDLE handle, HBA_FCPTARGETMAPPING* mapping);
HBA_STATUS HBA_GetFcpPersistentBinding(HBA_HANDLE handle, HBA_FCPBINDING* binding);
HBA_STATUS HBA_GetEventBuffer(HBA_HANDLE handle, HBA_EVENTINFO* events, HBA_UINT32* eventCount);
HBA_STATUS HBA_SetRNIDMgmtInfo(HBA_HANDLE handle, HBA_MGMTINFO* info);
HBA_STATUS HBA_GetRNIDMgmtInfo(HBA_HANDLE handle, HBA_MGMTINFO* info);
HBA_STATUS HBA_SendRNID(HBA_HANDLE handle, HBA_WWN wwn, HBA_WWNTYPE wwnType, void* response,
                        HBA_UINT32* responseSize);
HBA_STATUS HBA_SendScsiInquiry(HBA_HANDLE handle, HBA_WWN portWwn, HBA_UINT64 fcLun,
                               HBA_UINT8 evpd, HBA_UINT32 pageCode, void* response,
                               HBA_UINT32 responseSize, void* sense, HBA_UINT32 senseSize);
HBA_STATUS HBA_SendReportLUNs(HBA_HANDLE handle, HBA_WWN portWwn, void* response,
                              HBA_UINT32 responseSize, void* sense, HBA_UINT32 senseSize);
HBA_STATUS HBA_SendReadCapacity(HBA_HANDLE handle, HBA_WWN portWwn, HBA_UINT64 fcLun,
                                void* response, HBA_UINT32 responseSize, void* sense,
                                HBA_UINT32 senseSize);
