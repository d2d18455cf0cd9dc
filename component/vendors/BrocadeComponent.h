// The Brocade variant of the component. Its adapters come from the inventory (the inherited base
// discovery); each known adapter gets one "Boot BIOS ROM" item whose installed version is the
// four-part number in the adapter's option ROM text. Flashing runs the vendor's boot update tool
// "./bcu_bootupdate" in the working folder. No entry point builds it.
#pragma once

#include <string>

#include "BaseCmp.h"

namespace BrocadeComp {

class CComponent : public CBaseCmp {
 public:
  CComponent();
  ~CComponent() override;

  // The last four-part version number (digits joined by ".") in the text; the text unchanged
  // when it holds none.
  std::wstring NormalizeVersion(const std::wstring& version) override;
  // Appends one device with a "Boot BIOS ROM" item for every inventory record that the
  // catalogue knows.
  void CollectFirmware() override;
  // Runs the boot update tool: 1 when it exits with 0, otherwise 7.
  int Flash() override;
  // 1 when the running kernel's release is 2.6.32 or newer, otherwise 0; logs what it read.
  int ReadKernelVersion();

 protected:
  explicit CComponent(const std::string& logPath);
  // The decision of ReadKernelVersion on a release text as "uname -r" prints it.
  int JudgeKernelRelease(const std::wstring& release);
};

}  // namespace BrocadeComp
