// The Brocade variant's reading of version texts with the wide pattern engine: the option ROM's
// version number and the running kernel's release.
#include <sys/utsname.h>

#include <memory>
#include <sstream>

#include "BrocadeComponent.h"
#include "CommandRunner.h"
#include "UPattern.h"

namespace BrocadeComp {

namespace {
const wchar_t kVersionPattern[] = L".*(\\d+\\.\\d+\\.\\d+\\.\\d+).*";
const wchar_t kKernelPattern[] = L"(\\d+\\.\\d+\\.\\d+).*";

bool IsDecimalDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
}  // namespace

// The greedy lead of the pattern makes group 1 the last four-part number but would also leave
// only the last digit of its first part; the group is widened back over those digits.
std::wstring CComponent::NormalizeVersion(const std::wstring& version) {
  std::unique_ptr<UPattern> pattern(UPattern::Compile(kVersionPattern, PatternFlag::DotAnyChar));
  if (!pattern) return version;
  std::unique_ptr<MatchUState> state(pattern->CreateMatchState(version));
  if (!state->MatchWhole()) return version;
  int start = state->GetGroupStart(1);
  const int end = state->GetGroupEnd(1);
  if (start < 0 || end < start) return version;
  while (start > 0 && IsDecimalDigit(version[static_cast<size_t>(start - 1)])) --start;
  return version.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
}

int CComponent::ReadKernelVersion() {
  struct utsname names;
  if (uname(&names) != 0) {
    log << "Failed to read kernel version.\n";
    return 0;
  }
  return JudgeKernelRelease(Widen(names.release));
}

int CComponent::JudgeKernelRelease(const std::wstring& release) {
  std::unique_ptr<UPattern> pattern(UPattern::Compile(kKernelPattern, PatternFlag::DotAnyChar));
  std::unique_ptr<MatchUState> state(pattern ? pattern->CreateMatchState(release) : nullptr);
  if (!state || !state->MatchWhole()) {
    log << "uname -r: " << release << " is not in a proper format.\n";
    return 0;
  }
  unsigned major = 0, minor = 0, patch = 0;
  wchar_t separator = 0;
  std::wistringstream numbers(state->GetGroupText(1));
  numbers >> major >> separator >> minor >> separator >> patch;
  log << "Kernel : " << static_cast<int>(major) << "  " << "major : " << static_cast<int>(minor) << "  "
      << "minor : " << static_cast<int>(patch) << "\n";
  if (major > 2) return 1;
  if (major == 2 && minor == 6) return patch >= 32 ? 1 : 0;
  if (major == 2 && minor > 6) return 1;
  return 0;
}

}  // namespace BrocadeComp
