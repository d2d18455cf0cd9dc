// The real binary on catalogues it cannot load, and with a log it cannot write.
#include <gtest/gtest.h>

#include "E2eHarness.h"

namespace {
const char kFailed[] = "---------------------------------------------------\nLoading references...FAILED!\n";

TEST(CatalogueRun, CatalogueThatIsNotWellFormedFailsWithLibxmlDiagnostics) {
  struct Case {
    const char* name;
    std::string text;
  };
  const Case kCases[] = {
      {"empty file", ""},
      {"unclosed root", "<tarvo_fchba_reference><devices>"},
      {"junk", "\x01\x02 not xml at all"},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    E2eRun run;
    run.args = {"/d", "report.xml"};
    run.files["reference.xml"] = c.text;
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_FALSE(r.signaled) << c.name;
    EXPECT_EQ(r.exitCode, 7) << c.name;
    EXPECT_EQ(r.out, kFailed) << c.name;
    EXPECT_EQ(r.log, kFailed) << c.name;
    EXPECT_NE(r.err.find("reference.xml"), std::string::npos) << c.name << ": " << r.err;
    EXPECT_FALSE(r.WorkFileExists("report.xml")) << c.name;
  }
}

TEST(CatalogueRun, LogIsAppendedAcrossRuns) {
  E2eHarness harness;
  E2eRun run;
  run.rootFiles["/var/zmt/Component.log"] = "an earlier run\n";
  E2eResult r = harness.Run(run);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.log, std::string("an earlier run\n") + kFailed);
}

TEST(CatalogueRun, UnwritableLogCostsAnErrorLinePerItemAlsoWhenSilent) {
  const std::string error = "ERROR : Unable to write to log file\n";
  E2eHarness harness;
  for (bool silent : {false, true}) {
    E2eRun run;
    run.readOnlyVar = true;
    if (silent) run.args = {"/s"};
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_FALSE(r.logExists);
    const std::string expected = silent ? error + error + error
                                        : "---------------------------------------------------\n" + error +
                                              "Loading references..." + error + "FAILED!\n" + error;
    EXPECT_EQ(r.out, expected) << silent;
  }
}
}  // namespace
