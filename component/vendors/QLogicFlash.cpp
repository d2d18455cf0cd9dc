// The QLogic flash step: the update tool run with the run's silent and force options, its exit
// code turned into the process result.
#include <string>

#include "QLogicComponent.h"
#include "VendorTool.h"

namespace QLogicComp {

namespace {
const char kTool[] = "./qvqlafwupdate";

// The tool's exit codes that mean the update failed, as bits (bit n for code n): 2 to 10, 14,
// 16 and 17.
const unsigned QLogicFailureMask = 0x347fc;

// 0: updated; 1: nothing done; the failure codes: failed; every other code is passed through.
int FlashResultOf(int code) {
  if (code == 0) return ComponentResult::UpdateSucceeded;
  if (code == 1) return ComponentResult::NothingDone;
  if (code < 32 && (QLogicFailureMask >> code) & 1u) return ComponentResult::Failed;
  return code;
}
}  // namespace

int CComponent::Flash() {
  std::string command = kTool;
  if (silent) command += " /s";
  if (force) command += " /f";
  return FlashResultOf(RunFlashEngine(*this, kTool, command));
}

}  // namespace QLogicComp
