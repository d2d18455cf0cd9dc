#include <cstdio>
#include <vector>

#include "FcHbaDispatch.h"
#include "FcHbaInfoList.h"
#include "FcHbaMRA.h"
#include "FcHbaPciLookup.h"
#include "FixedText.h"

namespace {

const char kFailedStatus[] = "MRA get returned failed status!\n";

FcHbaInfoRecord* BuildRecord(const FcHbaAdapter& adapter) {
  FcHbaInfoRecord* record = new FcHbaInfoRecord();
  CopyCut(record->nodeWwn, adapter.GetNodeWwnText());
  // An adapter without ports gets the text of a port with no WWN.
  const FcHbaPort firstPort = adapter.ports.empty() ? FcHbaPort() : adapter.ports.front();
  CopyCut(record->portWwn, firstPort.GetPortWwnText());
  CopyCut(record->driverVersion, adapter.GetDriverVersion());
  CopyCut(record->optionRomVersion, adapter.GetOptionRomVersion());
  CopyCut(record->firmwareVersion, adapter.GetFirmwareVersion());
  CopyCut(record->model, adapter.GetModel());
  CopyCut(record->hardwareVersion, adapter.GetHardwareVersion());
  const uint32_t subsystemVendor = adapter.GetSubsystemIds() & 0xFFFF;
  const uint32_t subsystemDevice = adapter.GetSubsystemIds() >> 16;
  CopyCut(record->pciIds, FindSysfsPciId(adapter.GetPciDomain(), adapter.GetPciBus(),
                                         adapter.GetPciFunction(), subsystemVendor,
                                         subsystemDevice));
  snprintf(record->subsystemIds, sizeof(record->subsystemIds), "%.4x%.4x", subsystemVendor,
           subsystemDevice);
  return record;
}

}  // namespace

int FcHbaInfoList::Collect() {
  std::vector<FcHbaAdapter*> adapters;
  {
    FcHbaMRA enumerator;
    int status = AdapterOk;
    for (FcHbaAdapter* adapter = enumerator.GetFirstAdapter(&status); adapter != nullptr;
         adapter = enumerator.GetNextAdapter(adapter, &status)) {
      if (status != AdapterOk) printf("%s", kFailedStatus);
      adapters.push_back(adapter);
    }
  }
  for (const FcHbaAdapter* adapter : adapters) records.push_back(BuildRecord(*adapter));
  // Each release frees the FC-HBA libraries; the last free covers a walk without adapters.
  for (FcHbaAdapter* adapter : adapters) delete adapter;
  HBA_FreeLibrary();
  return 1;
}
