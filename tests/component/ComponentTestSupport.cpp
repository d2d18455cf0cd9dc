#include "ComponentTestSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <iostream>

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

FullConsole::FullConsole() {
  if (pipe(ends_) != 0 || fcntl(ends_[0], F_SETFL, O_NONBLOCK) != 0 || fcntl(ends_[1], F_SETFL, O_NONBLOCK) != 0)
    std::abort();
  const char filler[4096] = {};
  while (write(ends_[1], filler, sizeof filler) > 0) {
  }
  std::cout.flush();
  savedOut_ = dup(STDOUT_FILENO);
  if (savedOut_ < 0 || dup2(ends_[1], STDOUT_FILENO) < 0) std::abort();
}

FullConsole::~FullConsole() {
  dup2(savedOut_, STDOUT_FILENO);
  close(savedOut_);
  close(ends_[0]);
  close(ends_[1]);
  std::cout.clear();
}

std::string FullConsole::Drain() {
  std::string drained;
  char piece[4096];
  for (ssize_t got; (got = read(ends_[0], piece, sizeof piece)) > 0;) drained.append(piece, static_cast<size_t>(got));
  return drained;
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
