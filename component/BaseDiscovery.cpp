#include <string.h>
#include <strings.h>

#include "BaseCmp.h"

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
  return true;
}

std::wstring CBaseCmp::GetDeviceId(int i) {
  const FcHbaInfoRecord* record = hbaList.records[static_cast<size_t>(i)];
  std::string text;
  // The record's texts are NUL-terminated within their arrays; read no further than the array.
  const std::string pciIds(record->pciIds, strnlen(record->pciIds, sizeof(record->pciIds)));
  const std::string subsystemIds(record->subsystemIds, strnlen(record->subsystemIds, sizeof(record->subsystemIds)));
  if (strcasecmp(pciIds.c_str(), "N/A") != 0) text = pciIds;
  if (strcasecmp(subsystemIds.c_str(), "N/A") != 0) text += subsystemIds;
  for (size_t p = 4; p < text.size(); p += 5) text.insert(p, ".");
  return WidenBytes(text);
}
