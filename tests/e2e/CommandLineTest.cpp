// The real binary on the command line: usage, a missing report path, and options that are not.
#include <gtest/gtest.h>

#include "E2eHarness.h"

namespace {
const char kUsage[] =
    "KDXXXXXX.kdpak [options]\n"
    "    options\n"
    "    --------------------------\n"
    "    /f = Force the installation\n"
    "    /s = Execute silently\n"
    "    /d [path] = Perform self-discovery and output to [path]\n";

const char kHeader[] = "---------------------------------------------------\n";

struct Case {
  std::vector<std::string> args;
  int exitCode;
  std::string out;
};

TEST(CommandLine, UsageAndParseErrorsAnswerWithoutRunning) {
  const Case kCases[] = {
      {{"/h"}, 3, kUsage},
      {{"-h", "/d"}, 3, kUsage},
      {{"/d", "x.xml", "/h"}, 3, kUsage},
      {{"/s", "/h"}, 3, kUsage},
      {{"/d"}, 7, std::string(kUsage) + "ERROR! : Failed to parse command line\n"},
      {{"/s", "-d"}, 7, std::string(kUsage) + "ERROR! : Failed to parse command line\n"},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    E2eRun run;
    run.args = c.args;
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0];
    EXPECT_EQ(r.out, c.out) << c.args[0];
    // The log folder and file are made before the options are read, and stay empty.
    EXPECT_TRUE(r.logExists);
    EXPECT_EQ(r.log, "");
  }
}

TEST(CommandLine, OptionsDifferingInCaseOrLengthAreIgnored) {
  E2eHarness harness;
  for (const char* arg : {"/H", "/hh", "h", "--h", "/D"}) {
    E2eRun run;
    run.args = {arg};
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    // Without a catalogue the run itself fails at its first step.
    EXPECT_EQ(r.exitCode, 7) << arg;
    EXPECT_EQ(r.out, std::string(kHeader) + "Loading references...FAILED!\n") << arg;
    EXPECT_EQ(r.log, r.out) << arg;
  }
}

TEST(CommandLine, ProgramNameIsComparedLikeAnyArgument) {
  E2eHarness harness;
  E2eRun run;
  // The binary copied to "-h" in the working folder and found through PATH, so argv[0] is "-h".
  run.setup = {"cp '" FCHBA_BINARY "' ./-h", "PATH=.:$PATH"};
  run.program = "-h";
  E2eResult r = harness.Run(run);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, kUsage);
}

TEST(CommandLine, PathAfterSlashDIsNeverAnOption) {
  E2eHarness harness;
  E2eRun run;
  run.args = {"/d", "/s"};
  E2eResult r = harness.Run(run);
  ASSERT_TRUE(r.started) << r.error;
  // "/s" is the report path, so the run is not silent.
  EXPECT_EQ(r.out, std::string(kHeader) + "Loading references...FAILED!\n");
  EXPECT_EQ(r.exitCode, 7);
}

TEST(CommandLine, SilentRunWritesOnlyTheLog) {
  E2eHarness harness;
  E2eRun run;
  run.args = {"-s"};
  E2eResult r = harness.Run(run);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.log, std::string(kHeader) + "Loading references...FAILED!\n");
}
}  // namespace
