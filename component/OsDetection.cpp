// Which distribution runs, from its release file; the tag is recorded with the discovery result.
#include <sys/stat.h>

#include <cstring>

#include "BaseCmp.h"
#include "CommandRunner.h"
#include "Pattern.h"

namespace {
struct OsReleasePattern {
  const char* releaseFile;
  const char* readCommand;
  const char* pattern;
  const wchar_t* tag;
};

// Tried from the top; each pattern must match the release file's whole text, "." running over
// the line ends.
const OsReleasePattern OsReleasePatterns[] = {
    {"/etc/redhat-release", "cat /etc/redhat-release", "Red Hat Enterprise Linux.*release 4.*", L"rhel4"},
    {"/etc/redhat-release", "cat /etc/redhat-release", "Red Hat Enterprise Linux.*release 5.*", L"rhel5"},
    {"/etc/redhat-release", "cat /etc/redhat-release", "Red Hat Enterprise Linux.*release 6.*", L"rhel6"},
    {"/etc/SuSE-release", "cat /etc/SuSE-release", "SUSE Linux Enterprise Server 10.*", L"sles10"},
    {"/etc/SuSE-release", "cat /etc/SuSE-release", "SUSE Linux Enterprise Server 11.*", L"sles11"},
};
const unsigned kReleaseMatchFlags = PatternFlag::DotAnyChar | PatternFlag::LineAnchors;

bool FileExists(const char* path) {
  struct stat info;
  return stat(path, &info) == 0;
}
}  // namespace

// Only the first release file of the table that exists is read: a Red Hat file that matches no
// row leaves the tag empty even when a SUSE file is present too.
void CBaseCmp::DetectOS() {
  const OsReleasePattern* first = nullptr;
  for (const OsReleasePattern& row : OsReleasePatterns) {
    if (FileExists(row.releaseFile)) {
      first = &row;
      break;
    }
  }
  if (first == nullptr) return;
  const CommandOutput release = ReadCommandOutput(first->readCommand);
  if (release.tooLong) {
    // A release file that never ends (a link to a device) is one that could not be read.
    log << "ERROR! : The release file read passed " + OutputBoundText() + " and was stopped: " + first->readCommand + "\n";
    return;
  }
  for (const OsReleasePattern& row : OsReleasePatterns) {
    if (std::strcmp(row.releaseFile, first->releaseFile) != 0) continue;
    if (Pattern::QuickMatch(row.pattern, release.text, kReleaseMatchFlags)) {
      result.host.osTag = row.tag;
      return;
    }
  }
}
