#include "ComponentTestSupport.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "E2eHarness.h"

ScratchFolder::ScratchFolder() {
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd)) previous_ = cwd;
  char pattern[] = "/tmp/fchbaunitXXXXXX";
  if (mkdtemp(pattern)) path_ = pattern;
  if (path_.empty() || chdir(path_.c_str()) != 0) std::abort();
}

ScratchFolder::~ScratchFolder() {
  if (!previous_.empty()) (void)chdir(previous_.c_str());
  RemoveFolder(path_);
}

void ScratchFolder::Write(const std::string& name, const std::string& bytes) const {
  WriteFileBytes(File(name), bytes);
}

FcHbaInfoRecord* NewRecord(const char* pciIds, const char* subsystemIds, const char* portWwn,
                           const char* optionRomVersion) {
  FcHbaInfoRecord* record = new FcHbaInfoRecord;
  std::strncpy(record->pciIds, pciIds, sizeof(record->pciIds) - 1);
  std::strncpy(record->subsystemIds, subsystemIds, sizeof(record->subsystemIds) - 1);
  std::strncpy(record->portWwn, portWwn, sizeof(record->portWwn) - 1);
  std::strncpy(record->optionRomVersion, optionRomVersion, sizeof(record->optionRomVersion) - 1);
  return record;
}
