// The adapter inventory handed to the component: one fixed-layout text record per adapter.
// The list owns its records and deletes them when it is destroyed; it is never copied.
#pragma once

#include <cstddef>
#include <vector>

// Ten NUL-terminated narrow texts at fixed offsets; 2,816 bytes, all zero after construction.
struct FcHbaInfoRecord {
  char nodeWwn[256];
  char portWwn[256];
  char pciIds[256];
  char subsystemIds[256];
  char driverVersion[512];
  char firmwareVersion[256];
  char optionRomVersion[256];
  char spare[256];
  char model[256];
  char hardwareVersion[256];

  FcHbaInfoRecord();
};

static_assert(sizeof(FcHbaInfoRecord) == 2816, "adapter record size");
static_assert(offsetof(FcHbaInfoRecord, nodeWwn) == 0x000, "nodeWwn offset");
static_assert(offsetof(FcHbaInfoRecord, portWwn) == 0x100, "portWwn offset");
static_assert(offsetof(FcHbaInfoRecord, pciIds) == 0x200, "pciIds offset");
static_assert(offsetof(FcHbaInfoRecord, subsystemIds) == 0x300, "subsystemIds offset");
static_assert(offsetof(FcHbaInfoRecord, driverVersion) == 0x400, "driverVersion offset");
static_assert(offsetof(FcHbaInfoRecord, firmwareVersion) == 0x600, "firmwareVersion offset");
static_assert(offsetof(FcHbaInfoRecord, optionRomVersion) == 0x700, "optionRomVersion offset");
static_assert(offsetof(FcHbaInfoRecord, spare) == 0x800, "spare offset");
static_assert(offsetof(FcHbaInfoRecord, model) == 0x900, "model offset");
static_assert(offsetof(FcHbaInfoRecord, hardwareVersion) == 0xA00, "hardwareVersion offset");

class FcHbaInfoList {
 public:
  FcHbaInfoList() = default;
  ~FcHbaInfoList();
  FcHbaInfoList(const FcHbaInfoList&) = delete;
  FcHbaInfoList& operator=(const FcHbaInfoList&) = delete;

  // Appends one record per adapter the FC-HBA libraries report, printing one line for each
  // adapter whose refresh failed, and leaves no FC-HBA library loaded; always returns 1.
  int Collect();

  std::vector<FcHbaInfoRecord*> records;
};
