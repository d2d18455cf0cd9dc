// Flash runs of the real binary over the stand-in kit: the command line, the tool's output in
// the log, and the tool's exit code turned into messages and the process exit code.
#include <gtest/gtest.h>

#include "StandInKit.h"

namespace {
// The firmware item is a rewrite and the boot item an upgrade.
const char kUpgradeListing[] =
    "HBA=LPe12002-M8, PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, Boot Code=UB5.12a2\n";
// Both items are rewrites.
const char kRewriteListing[] =
    "HBA=LPe12002-M8, PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, Boot Code=UB5.12a3\n";
const CatalogueEntry kLpe12002 = {"10DF.F100.10DF.F100", "LPe12002", "2.01A12", "5.12a3", "120"};

const char kRedirections[] = "1>> /var/zmt/Component.log 2>> /var/zmt/Component.log 3>> /var/zmt/Component.log";
const char kOfflineNotice[] =
    "For RT770LXA or RT2000K CNAs, please use the \"Firmware image for offline update\" (OneConnect ISO) tool "
    "available on downloads.example.com\n";

struct FlashRun {
  std::vector<std::string> args;
  const char* listing;
  int toolExitCode;
  bool killShell;
};

E2eResult RunFlash(E2eHarness& harness, const FlashRun& flash) {
  E2eRun run;
  run.args = flash.args;
  run.files["reference.xml"] = CatalogueXml({kLpe12002});
  StandInKit kit;
  kit.listing = flash.listing;
  kit.flashExitCode = flash.toolExitCode;
  kit.killShellOnFlash = flash.killShell;
  AddStandInKit(run, kit);
  return harness.Run(run);
}

std::string ExecutingLine(const char* option) {
  return std::string("Executing flash engine: ./elxflashStandalone*/lx/elxflash.sh /fc ") + option + kRedirections +
         "\n";
}

// The console of a flash run from the discovery on; the log holds the tool's output in addition,
// right after the command line.
std::string FlashConsole(const char* option, int code, const std::string& messages, int result) {
  return std::string(kRunUpToKit) + "Performing flash -- DO NOT INTERRUPT!\n" + ExecutingLine(option) +
         "Flash Engine exit code: " + std::to_string(code) + "\n" + messages + "Flash complete [" +
         std::to_string(result) + "]\n";
}
std::string FlashLog(const char* option, int code, const std::string& messages, int result) {
  return std::string(kRunUpToKit) + "Performing flash -- DO NOT INTERRUPT!\n" + ExecutingLine(option) + kToolOutput +
         "Flash Engine exit code: " + std::to_string(code) + "\n" + messages + "Flash complete [" +
         std::to_string(result) + "]\n";
}

TEST(EmulexFlash, UnforcedUpgradeRunsUpdateAndReportsSuccess) {
  E2eHarness harness;
  E2eResult r = RunFlash(harness, {{}, kUpgradeListing, 0, false});
  ASSERT_TRUE(r.started) << r.error;
  const char* success = "All updates were successful.  Reboot needed.\n";
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, FlashConsole(" /update ", 0, success, 1));
  EXPECT_EQ(r.log, FlashLog(" /update ", 0, success, 1));
  EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n/fc /update\n");
}

TEST(EmulexFlash, ForcedRunPassesForceAndNeverUpdate) {
  E2eHarness harness;
  for (const char* option : {"/f", "-e", "/g"}) {
    SCOPED_TRACE(option);
    E2eResult r = RunFlash(harness, {{option}, kRewriteListing, 9, false});
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 9);
    EXPECT_EQ(r.log, FlashLog(" /f ", 9, "", 9));
    EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n/fc /f\n");
  }
}

TEST(EmulexFlash, UnforcedRunWithoutUpgradeDoesNotFlash) {
  E2eHarness harness;
  E2eResult r = RunFlash(harness, {{}, kRewriteListing, 0, false});
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, std::string(kRunUpToKit) + "NOTICE : No operation was done.\n");
  EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n");
}

TEST(EmulexFlash, ToolExitCodesBecomeMessagesAndResults) {
  const std::string skipped = "  Skipped any RT770LXA or RT2000K CNAs.\n";
  struct Case {
    int toolExitCode;
    std::string messages;
    int result;
  };
  const Case kCases[] = {
      {0, "All updates were successful.  Reboot needed.\n", 1},
      {1, "No operation performed.  No updates needed or discovery command executed.\n", 3},
      {2, "All updates failed.\n", 7},
      {6, "All updates failed.\n", 7},
      {7, "", 7},
      {10, "", 10},
      {11, "All updates were successful." + skipped + kOfflineNotice, 7},
      {12, "No updates needed." + skipped + kOfflineNotice, 7},
      {13, "All updates failed." + skipped + kOfflineNotice, 7},
      {14, "Some updates failed." + skipped + kOfflineNotice, 7},
      {15, "No supported hardware found." + skipped + kOfflineNotice, 7},
      {16, "No updates available." + skipped + kOfflineNotice, 7},
      {17, "", 17},
      {255, "", 255},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.toolExitCode);
    E2eResult r = RunFlash(harness, {{"/f"}, kRewriteListing, c.toolExitCode, false});
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, c.result);
    EXPECT_EQ(r.out, FlashConsole(" /f ", c.toolExitCode, c.messages, c.result));
    EXPECT_EQ(r.log, FlashLog(" /f ", c.toolExitCode, c.messages, c.result));
  }
}

TEST(EmulexFlash, SilentRunWritesEverythingToTheLogOnly) {
  E2eHarness harness;
  E2eResult r = RunFlash(harness, {{"/s", "/f"}, kRewriteListing, 12, false});
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.exitCode, 7);
  EXPECT_EQ(r.log, FlashLog(" /f ", 12,
                            "No updates needed.  Skipped any RT770LXA or RT2000K CNAs.\n" + std::string(kOfflineNotice),
                            7));
}

// The shell that system() waits for is killed: that is a failure passed through as the shell
// would report it (128 + 9), never success.
TEST(EmulexFlash, ShellEndedBySignalIsNeverSuccess) {
  E2eHarness harness;
  E2eResult r = RunFlash(harness, {{"/f"}, kRewriteListing, 0, true});
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_FALSE(r.signaled);
  EXPECT_EQ(r.exitCode, 137);
  EXPECT_EQ(r.out, FlashConsole(" /f ", 137, "", 137));
}
}  // namespace
