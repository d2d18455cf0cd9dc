// Distribution detection from the release files that the test places in its private /etc.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

#include "ComponentTestSupport.h"
#include "E2eHarness.h"

namespace {
const char kRedHat[] = "/etc/redhat-release";
const char kSuse[] = "/etc/SuSE-release";

struct Case {
  const char* name;
  const char* redHat;  // null: no such file
  const char* suse;
  const wchar_t* tag;
};

TEST(DetectOS, ReleaseFilesToTags) {
  const char* suse11 =
      "SUSE Linux Enterprise Server 11 (x86_64)\n"
      "VERSION = 11\n"
      "PATCHLEVEL = 1\n";
  const Case kCases[] = {
      {"rhel5", "Red Hat Enterprise Linux Server release 5.5 (Tikanga)\n", nullptr, L"rhel5"},
      {"rhel4", "Red Hat Enterprise Linux AS release 4 (Nahant Update 8)\n", nullptr, L"rhel4"},
      {"rhel6", "Red Hat Enterprise Linux Server release 6.2 (Santiago)\n", nullptr, L"rhel6"},
      {"rhel 7 is not known", "Red Hat Enterprise Linux Server release 7.1 (Maipo)\n", nullptr, L""},
      {"another product in the Red Hat file", "CentOS release 5.5 (Final)\n", suse11, L""},
      {"text before the product name", " Red Hat Enterprise Linux Server release 5.5\n", nullptr, L""},
      {"empty Red Hat file", "", suse11, L""},
      {"sles11 over several lines", nullptr, suse11, L"sles11"},
      {"sles10", nullptr, "SUSE Linux Enterprise Server 10 (i586)\nVERSION = 10\n", L"sles10"},
      {"sles9 is not known", nullptr, "SUSE Linux Enterprise Server 9 (i586)\n", L""},
      {"no release file", nullptr, nullptr, L""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::remove(kRedHat);
    std::remove(kSuse);
    if (c.redHat) {
      ASSERT_TRUE(WriteFileBytes(kRedHat, c.redHat));
    }
    if (c.suse) {
      ASSERT_TRUE(WriteFileBytes(kSuse, c.suse));
    }
    ScratchFolder folder;
    TestComponent component(folder.File("log"));
    component.DetectOS();
    EXPECT_EQ(component.result.host.osTag, c.tag);
    EXPECT_EQ(ReadFileBytes(folder.File("log")), "");  // detection logs nothing
  }
  std::remove(kRedHat);
  std::remove(kSuse);
}
// A release file that never ends (a link to a device) is read up to the bound of what a run keeps
// of one command, said to have been cut there, and not used: the tag stays empty.
TEST(DetectOS, ReleaseFileThatNeverEndsIsNotUsed) {
  std::remove(kRedHat);
  ASSERT_EQ(symlink("/dev/zero", kRedHat), 0);
  ScratchFolder folder;
  TestComponent component(folder.File("log"));
  component.DetectOS();
  std::remove(kRedHat);
  EXPECT_EQ(component.result.host.osTag, L"");
  EXPECT_EQ(ReadFileBytes(folder.File("log")),
            "ERROR! : The release file read passed 64 MiB and was stopped: cat /etc/redhat-release\n");
}
}  // namespace
