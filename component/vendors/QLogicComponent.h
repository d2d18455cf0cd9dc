// The QLogic variant of the component. Its adapters come from the inventory (the inherited base
// discovery); the vendor's update tool "./qvqlafwupdate" in the working folder lists the flash
// image of every adapter instance, matched to the inventory by port WWN, and flashes them.
// No entry point builds it.
#pragma once

#include <string>

#include "BaseCmp.h"

namespace QLogicComp {

class CComponent : public CBaseCmp {
 public:
  CComponent();
  ~CComponent() override;

  // The version cut before its first blank, then without its first "v.".
  std::wstring NormalizeVersion(const std::wstring& version) override;
  // Runs the tool's query listing and appends one device with a "Multiboot Image" item for
  // every inventory record that the catalogue knows.
  void CollectFirmware() override;
  // Runs the tool's flash command; the result is 1, 3, 7 or the tool's own exit code.
  int Flash() override;
  // The exact catalogue look-up, and failing that the first entry whose device_id contains the
  // key in any case; -1 when neither finds one.
  int FindReference(const std::wstring& key) override;

 protected:
  explicit CComponent(const std::string& logPath);
};

}  // namespace QLogicComp
