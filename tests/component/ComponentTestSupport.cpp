#include "ComponentTestSupport.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

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
  (void)std::system(("rm -rf '" + path_ + "'").c_str());
}

void ScratchFolder::Write(const std::string& name, const std::string& bytes) const {
  WriteFileBytes(File(name), bytes);
}
