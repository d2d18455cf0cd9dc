#include <strings.h>

#include "BaseCmp.h"
#include "RecordText.h"

bool CBaseCmp::Discover() {
  (void)hbaList.Collect();
  if (hbaList.records.empty()) {
    log << "WARNING! : No supported adapters found.\n";
    return false;
  }
  result.type = catalogue.devices.empty() ? std::wstring() : catalogue.devices.front().type;
  result.alt_name.clear();
  result.version.clear();
  result.takes_effect.clear();
  CollectFirmware();
  return !collectionFailed;
}

std::wstring CBaseCmp::GetDeviceId(int i) {
  const FcHbaInfoRecord* record = hbaList.records[static_cast<size_t>(i)];
  std::string text;
  const std::string pciIds = RecordText(record->pciIds);
  const std::string subsystemIds = RecordText(record->subsystemIds);
  if (strcasecmp(pciIds.c_str(), "N/A") != 0) text = pciIds;
  if (strcasecmp(subsystemIds.c_str(), "N/A") != 0) text += subsystemIds;
  for (size_t p = 4; p < text.size(); p += 5) text.insert(p, ".");
  return WidenBytes(text);
}
