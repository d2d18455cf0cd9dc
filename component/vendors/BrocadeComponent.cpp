// The Brocade collection and flash step.
#include "BrocadeComponent.h"

#include "CommandRunner.h"
#include "RecordText.h"
#include "VendorTool.h"

namespace BrocadeComp {

namespace {
const char kTool[] = "./bcu_bootupdate";
const char kFlashCommand[] = "./bcu_bootupdate boot --update ";
const char kBootImage[] = "bfa_boot_fw";
const char kAllAdapters[] = " -a";
}  // namespace

CComponent::CComponent() = default;
CComponent::CComponent(const std::string& logPath) : CBaseCmp(logPath) {}
CComponent::~CComponent() = default;

// Every adapter that the catalogue knows gets its boot item, whether or not its entry carries a
// BIOS version.
void CComponent::CollectFirmware() {
  for (size_t i = 0; i < hbaList.records.size(); ++i) {
    const std::wstring key = GetDeviceId(static_cast<int>(i));
    const int idx = FindReference(key);
    if (idx < 0) continue;
    const ReferenceEntry& entry = catalogue.devices[static_cast<size_t>(idx)];
    const std::wstring installed = NormalizeVersion(Widen(RecordText(hbaList.records[i]->optionRomVersion).c_str()));
    AddOneItemDevice(*this, key, entry, L"Boot BIOS ROM", entry.bios, installed);
  }
}

// Neither the force nor the silent option changes the command.
int CComponent::Flash() {
  const std::string command = std::string(kFlashCommand) + kBootImage + kAllAdapters;
  const int code = RunFlashEngine(*this, kTool, command);
  return code == 0 ? ComponentResult::UpdateSucceeded : ComponentResult::Failed;
}

}  // namespace BrocadeComp
