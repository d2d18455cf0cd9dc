// The FC-HBA API (version 1) types that the dispatch layer and the vendor libraries exchange:
// status values, handles, the attribute and statistics records and the 24 handler pointers,
// laid out as the published standard lays them out. Records are plain data with no ownership.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint8_t HBA_UINT8;
typedef uint16_t HBA_UINT16;
typedef uint32_t HBA_UINT32;
typedef int64_t HBA_INT64;
typedef uint64_t HBA_UINT64;

typedef HBA_UINT32 HBA_HANDLE;
typedef HBA_UINT32 HBA_STATUS;

const HBA_STATUS HBA_STATUS_OK = 0;
const HBA_STATUS HBA_STATUS_ERROR = 1;
const HBA_STATUS HBA_STATUS_ERROR_NOT_SUPPORTED = 2;
const HBA_STATUS HBA_STATUS_ERROR_INVALID_HANDLE = 3;
const HBA_STATUS HBA_STATUS_ERROR_ARG = 4;
const HBA_STATUS HBA_STATUS_ERROR_ILLEGAL_WWN = 5;
const HBA_STATUS HBA_STATUS_ERROR_ILLEGAL_INDEX = 6;
const HBA_STATUS HBA_STATUS_ERROR_MORE_DATA = 7;
const HBA_STATUS HBA_STATUS_ERROR_STALE_DATA = 8;
const HBA_STATUS HBA_STATUS_SCSI_CHECK_CONDITION = 9;
const HBA_STATUS HBA_STATUS_ERROR_BUSY = 10;
const HBA_STATUS HBA_STATUS_ERROR_TRY_AGAIN = 11;
const HBA_STATUS HBA_STATUS_ERROR_UNAVAILABLE = 12;

typedef HBA_UINT32 HBA_PORTTYPE;
const HBA_PORTTYPE HBA_PORTTYPE_UNKNOWN = 1;
typedef HBA_UINT32 HBA_PORTSTATE;
const HBA_PORTSTATE HBA_PORTSTATE_UNKNOWN = 1;
typedef HBA_UINT32 HBA_PORTSPEED;
typedef HBA_UINT32 HBA_COS;

struct HBA_WWN {
  HBA_UINT8 wwn[8];
};

struct HBA_FC4TYPES {
  HBA_UINT8 bits[32];
};

struct HBA_ADAPTERATTRIBUTES {
  char Manufacturer[64];
  char SerialNumber[64];
  char Model[256];
  char ModelDescription[256];
  HBA_WWN NodeWWN;
  char NodeSymbolicName[256];
  char HardwareVersion[256];
  char DriverVersion[256];
  char OptionROMVersion[256];
  char FirmwareVersion[256];
  HBA_UINT32 VendorSpecificID;
  HBA_UINT32 NumberOfPorts;
  char DriverName[256];
};

static_assert(sizeof(HBA_ADAPTERATTRIBUTES) == 2192, "adapter attributes size");
static_assert(offsetof(HBA_ADAPTERATTRIBUTES, NodeWWN) == 640, "NodeWWN offset");

struct HBA_PORTATTRIBUTES {
  HBA_WWN NodeWWN;
  HBA_WWN PortWWN;
  HBA_UINT32 PortFcId;
  HBA_PORTTYPE PortType;
  HBA_PORTSTATE PortState;
  HBA_COS PortSupportedClassofService;
  HBA_FC4TYPES PortSupportedFc4Types;
  HBA_FC4TYPES PortActiveFc4Types;
  char PortSymbolicName[256];
  char OSDeviceName[256];
  HBA_PORTSPEED PortSupportedSpeed;
  HBA_PORTSPEED PortSpeed;
  HBA_UINT32 PortMaxFrameSize;
  HBA_WWN FabricName;
  HBA_UINT32 NumberofDiscoveredPorts;
};

struct HBA_PORTSTATISTICS {
  HBA_INT64 SecondsSinceLastReset;
  HBA_INT64 TxFrames;
  HBA_INT64 TxWords;
  HBA_INT64 RxFrames;
  HBA_INT64 RxWords;
  HBA_INT64 LIPCount;
  HBA_INT64 NOSCount;
  HBA_INT64 ErrorFrames;
  HBA_INT64 DumpedFrames;
  HBA_INT64 LinkFailureCount;
  HBA_INT64 LossOfSyncCount;
  HBA_INT64 LossOfSignalCount;
  HBA_INT64 PrimitiveSeqProtocolErrCount;
  HBA_INT64 InvalidTxWordCount;
  HBA_INT64 InvalidCRCCount;
};

struct HBA_SCSIID {
  char OSDeviceName[256];
  HBA_UINT32 ScsiBusNumber;
  HBA_UINT32 ScsiTargetNumber;
  HBA_UINT32 ScsiOSLun;
};

struct HBA_FCPID {
  HBA_UINT32 FcId;
  HBA_WWN NodeWWN;
  HBA_WWN PortWWN;
  HBA_UINT64 FcpLun;
};

struct HBA_FCPSCSIENTRY {
  HBA_SCSIID ScsiId;
  HBA_FCPID FcpId;
};

struct HBA_FCPTARGETMAPPING {
  HBA_UINT32 NumberOfEntries;
  HBA_FCPSCSIENTRY entry[1];
};

enum HBA_FCPBINDINGTYPE { TO_D_ID = 0, TO_WWN = 1 };

struct HBA_FCPBINDINGENTRY {
  HBA_FCPBINDINGTYPE type;
  HBA_SCSIID ScsiId;
  HBA_FCPID FcpId;
};

struct HBA_FCPBINDING {
  HBA_UINT32 NumberOfEntries;
  HBA_FCPBINDINGENTRY entry[1];
};

enum HBA_WWNTYPE { NODE_WWN = 1, PORT_WWN = 2 };

struct HBA_MGMTINFO {
  HBA_WWN wwn;
  HBA_UINT32 unittype;
  HBA_UINT32 PortId;
  HBA_UINT32 NumberOfAttachedNodes;
  HBA_UINT16 IPVersion;
  HBA_UINT16 UDPPort;
  HBA_UINT8 IPAddress[16];
  HBA_UINT16 reserved;
  HBA_UINT16 TopologyDiscoveryFlags;
};

struct HBA_EVENTINFO {
  HBA_UINT32 EventCode;
  union {
    struct {
      HBA_UINT32 PortFcId;
      HBA_UINT32 Reserved[3];
    } Link_EventInfo;
    struct {
      HBA_UINT32 PortFcId;
      HBA_UINT32 NPortPage;
      HBA_UINT32 Reserved[2];
    } RSCN_EventInfo;
    struct {
      HBA_UINT32 PTYData[4];
    } Pty_EventInfo;
    struct {
      HBA_UINT32 PortFcId;
      HBA_UINT32 Reserved[3];
    } Target_EventInfo;
  } Event;
};

// The handlers a vendor library registers, in the standard's order; a null entry is a handler
// the library lacks.
typedef HBA_UINT32 (*HBAGetVersionFunc)();
typedef HBA_STATUS (*HBALoadLibraryFunc)();
typedef HBA_STATUS (*HBAFreeLibraryFunc)();
typedef HBA_UINT32 (*HBAGetNumberOfAdaptersFunc)();
typedef HBA_STATUS (*HBAGetAdapterNameFunc)(HBA_UINT32, char*);
typedef HBA_HANDLE (*HBAOpenAdapterFunc)(char*);
typedef void (*HBACloseAdapterFunc)(HBA_HANDLE);
typedef HBA_STATUS (*HBAGetAdapterAttributesFunc)(HBA_HANDLE, HBA_ADAPTERATTRIBUTES*);
typedef HBA_STATUS (*HBAGetAdapterPortAttributesFunc)(HBA_HANDLE, HBA_UINT32, HBA_PORTATTRIBUTES*);
typedef HBA_STATUS (*HBAGetPortStatisticsFunc)(HBA_HANDLE, HBA_UINT32, HBA_PORTSTATISTICS*);
typedef HBA_STATUS (*HBAGetDiscoveredPortAttributesFunc)(HBA_HANDLE, HBA_UINT32, HBA_UINT32,
                                                         HBA_PORTATTRIBUTES*);
typedef HBA_STATUS (*HBAGetPortAttributesByWWNFunc)(HBA_HANDLE, HBA_WWN, HBA_PORTATTRIBUTES*);
typedef HBA_STATUS (*HBASendCTPassThruFunc)(HBA_HANDLE, void*, HBA_UINT32, void*, HBA_UINT32);
typedef void (*HBARefreshInformationFunc)(HBA_HANDLE);
typedef void (*HBAResetStatisticsFunc)(HBA_HANDLE, HBA_UINT32);
typedef HBA_STATUS (*HBAGetFcpTargetMappingFunc)(HBA_HANDLE, HBA_FCPTARGETMAPPING*);
typedef HBA_STATUS (*HBAGetFcpPersistentBindingFunc)(HBA_HANDLE, HBA_FCPBINDING*);
typedef HBA_STATUS (*HBAGetEventBufferFunc)(HBA_HANDLE, HBA_EVENTINFO*, HBA_UINT32*);
typedef HBA_STATUS (*HBASetRNIDMgmtInfoFunc)(HBA_HANDLE, HBA_MGMTINFO*);
typedef HBA_STATUS (*HBAGetRNIDMgmtInfoFunc)(HBA_HANDLE, HBA_MGMTINFO*);
typedef HBA_STATUS (*HBASendRNIDFunc)(HBA_HANDLE, HBA_WWN, HBA_WWNTYPE, void*, HBA_UINT32*);
typedef HBA_STATUS (*HBAScsiInquiryFunc)(HBA_HANDLE, HBA_WWN, HBA_UINT64, HBA_UINT8, HBA_UINT32,
                                         void*, HBA_UINT32, void*, HBA_UINT32);
typedef HBA_STATUS (*HBAReportLUNsFunc)(HBA_HANDLE, HBA_WWN, void*, HBA_UINT32, void*, HBA_UINT32);
typedef HBA_STATUS (*HBAReadCapacityFunc)(HBA_HANDLE, HBA_WWN, HBA_UINT64, void*, HBA_UINT32,
                                          void*, HBA_UINT32);

struct HBA_ENTRYPOINTS {
  HBAGetVersionFunc GetVersionHandler;
  HBALoadLibraryFunc LoadLibraryHandler;
  HBAFreeLibraryFunc FreeLibraryHandler;
  HBAGetNumberOfAdaptersFunc GetNumberOfAdaptersHandler;
  HBAGetAdapterNameFunc GetAdapterNameHandler;
  HBAOpenAdapterFunc OpenAdapterHandler;
  HBACloseAdapterFunc CloseAdapterHandler;
  HBAGetAdapterAttributesFunc GetAdapterAttributesHandler;
  HBAGetAdapterPortAttributesFunc GetAdapterPortAttributesHandler;
  HBAGetPortStatisticsFunc GetPortStatisticsHandler;
  HBAGetDiscoveredPortAttributesFunc GetDiscoveredPortAttributesHandler;
  HBAGetPortAttributesByWWNFunc GetPortAttributesByWWNHandler;
  HBASendCTPassThruFunc SendCTPassThruHandler;
  HBARefreshInformationFunc RefreshInformationHandler;
  HBAResetStatisticsFunc ResetStatisticsHandler;
  HBAGetFcpTargetMappingFunc GetFcpTargetMappingHandler;
  HBAGetFcpPersistentBindingFunc GetFcpPersistentBindingHandler;
  HBAGetEventBufferFunc GetEventBufferHandler;
  HBASetRNIDMgmtInfoFunc SetRNIDMgmtInfoHandler;
  HBAGetRNIDMgmtInfoFunc GetRNIDMgmtInfoHandler;
  HBASendRNIDFunc SendRNIDHandler;
  HBAScsiInquiryFunc ScsiInquiryHandler;
  HBAReportLUNsFunc ReportLUNsHandler;
  HBAReadCapacityFunc ReadCapacityHandler;
};

// What every vendor library exports: fills the handler table, 0 on success.
typedef HBA_STATUS (*HBARegisterLibraryFunc)(HBA_ENTRYPOINTS*);
