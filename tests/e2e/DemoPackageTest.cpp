// The demo package as the build zips it: a self-discovery finds both of its adapters.
#include <gtest/gtest.h>

#include <cstdlib>

#include "StandInKit.h"

namespace {
TEST(DemoPackage, SelfDiscoveryReportsBothAdapters) {
  const std::string console = std::string(kRunUpToKit) + "Generating self-discovery XML...done.\n";
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  // "/s" after the report path still counts as an option: the run is silent.
  const Case kCases[] = {
      {{"/d", "report.xml"}, console},
      {{"/d", "report.xml", "/s"}, ""},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.args.size());
    E2eRun run;
    run.setup = {"cp -a '" FCHBA_DEMO_PACKAGE "/.' ."};
    run.args = c.args;
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.log, console);
    EXPECT_EQ(r.ReadWorkFile("report.xml"),
              ReportXml({{"10DF.F100.10DF.F100",
                          "LPe12002",
                          {{"Firmware", "2.01A12", "2.01A12", "rewrite", "120", "no"},
                           {"Boot BIOS ROM", "5.12A4", "5.12A2", "upgrade", "120", ""}}},
                         {"10DF.E200.10DF.E282",
                          "LPe16002",
                          {{"Firmware", "11.1.183.58", "11.1.183.58", "rewrite", "180", "no"}}}}));
  }
}

// On an overlay with xino the files of a lower layer on another file system carry the layer's
// number in the top bits of their inode numbers (as do files on XFS with inode64 or on btrfs): a
// stat without 64-bit inode numbers fails on them, and a 32-bit build then reads the catalogue
// as missing. Here the whole package sits on such a layer.
TEST(DemoPackage, PackageOnALayerWithWideInodeNumbersRunsAsAnyOther) {
  E2eHarness harness;
  E2eRun run;
  run.setup = {"top=$(cd .. && pwd)",
               "mkdir \"$top/lower\" \"$top/upper\"",
               "mount -t tmpfs fchbalower \"$top/lower\" && mount -t tmpfs fchbaupper \"$top/upper\"",
               "mkdir \"$top/upper/files\" \"$top/upper/work\" && cp -a '" FCHBA_DEMO_PACKAGE "/.' \"$top/lower\"",
               "mount -t overlay overlay -o \"lowerdir=$top/lower,upperdir=$top/upper/files,"
               "workdir=$top/upper/work,xino=on\" \"$top/work\" && cd \"$top/work\"",
               "stat -c %i reference.xml >&2"};
  run.args = {"/d", "report.xml"};
  E2eResult r = harness.Run(run);
  ASSERT_TRUE(r.started) << r.error;
  ASSERT_GT(std::strtoull(r.err.c_str(), nullptr, 10), 0xFFFFFFFFull) << r.err;
  const std::string console = std::string(kRunUpToKit) + "Generating self-discovery XML...done.\n";
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, console);
  EXPECT_EQ(r.log, console);
}
}  // namespace
