// The demo package as the build zips it: a self-discovery finds both of its adapters.
#include <gtest/gtest.h>

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
}  // namespace
