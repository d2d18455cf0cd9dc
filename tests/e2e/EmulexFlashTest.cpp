// Flash runs of the real binary over the stand-in kit: the command line, the tool's output in
// the log, the tool's exit code turned into messages and the process exit code, and a log file
// that stops taking the run's items.
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
  bool copyConsole = false;
};

// `run` may bring what the test places around the program (setup lines, a tmpfs, root files).
E2eResult RunFlash(E2eHarness& harness, const FlashRun& flash, E2eRun run = E2eRun()) {
  run.args = flash.args;
  run.files["reference.xml"] = CatalogueXml({kLpe12002});
  StandInKit kit;
  kit.listing = flash.listing;
  kit.flashExitCode = flash.toolExitCode;
  kit.killShellOnFlash = flash.killShell;
  kit.copyConsole = flash.copyConsole;
  AddStandInKit(run, kit);
  return harness.Run(run);
}

std::string FlashCommand(const char* option) {
  return std::string("./elxflashStandalone*/lx/elxflash.sh /fc ") + option + kRedirections;
}

std::string ExecutingLine(const char* option) { return "Executing flash engine: " + FlashCommand(option) + "\n"; }

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

// The items of an unforced run whose tool updates the adapter, one by one as the program logs them.
const char kUpdateSuccess[] = "All updates were successful.  Reboot needed.\n";
const std::vector<std::string> kUpdateRunItems = {
    "---------------------------------------------------\n", "Loading references...", "done.\n",
    "Performing discovery...\n", "Preparing the Emulex Kit...", "done\n", "Performing flash -- DO NOT INTERRUPT!\n",
    "Executing flash engine: ", FlashCommand(" /update "), "\n", "Flash Engine exit code: ", "0", "\n",
    kUpdateSuccess, "Flash complete [", "1", "]\n"};

const char kLogError[] = "ERROR : Unable to write to log file\n";

// The console of that run when the log file takes no item in full from `firstRefused` on: each
// of those items is followed by the error line, which a silent run shows as well.
std::string ConsoleRefusingFrom(size_t firstRefused, bool silent) {
  std::string console;
  for (size_t i = 0; i < kUpdateRunItems.size(); ++i) {
    if (!silent) console += kUpdateRunItems[i];
    if (i >= firstRefused) console += kLogError;
  }
  return console;
}

// A log file that stops taking bytes, before or during the run: from the first item that does not
// reach it in full on, every item costs the error line; the rest of the console and the exit
// code are those of a run whose log takes everything.
TEST(EmulexFlash, ItemsTheLogRefusesAreReportedFromTheFirstOnward) {
  ASSERT_EQ(ConsoleRefusingFrom(kUpdateRunItems.size(), false), FlashConsole(" /update ", 0, kUpdateSuccess, 1));
  // A tmpfs of two pages that an earlier run's log fills up to 95 bytes: the first three items
  // (79 bytes) fit, and the fourth is cut short after 16 of its 24.
  const std::string earlier = std::string(8192 - 95 - 1, '#') + "\n";
  const std::map<std::string, std::string> filled = {{"/var/zmt/filler", std::string(8192, 'x')}};
  struct Case {
    const char* what;
    bool silent;
    std::map<std::string, std::string> rootFiles;
    size_t firstRefused;
    std::string log;
  };
  const Case kCases[] = {
      {"full file system", false, filled, 0, ""},
      {"full file system, silent", true, filled, 0, ""},
      {"file system filling during the run", false, {{"/var/zmt/Component.log", earlier}}, 3,
       earlier + "---------------------------------------------------\nLoading references...done.\nPerforming disco"},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    E2eRun run;
    run.zmtTmpfsSize = "8k";
    run.rootFiles = c.rootFiles;
    const std::vector<std::string> args = c.silent ? std::vector<std::string>{"/s"} : std::vector<std::string>{};
    E2eResult r = RunFlash(harness, {args, kUpgradeListing, 0, false}, run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, ConsoleRefusingFrom(c.firstRefused, c.silent));
    EXPECT_TRUE(r.logExists);
    EXPECT_EQ(r.log, c.log);
  }
}

// A caller that ignores SIGCHLD (a daemon or agent that wants no zombies) starts the program with
// it ignored: the tool's status still becomes the run's result, exactly as for any other caller.
TEST(EmulexFlash, IgnoredSigchldChangesNoOutcome) {
  struct Case {
    int toolExitCode;
    bool killShell;
    int result;
  };
  const Case kCases[] = {{0, false, 1}, {1, false, 3}, {2, false, 7}, {9, false, 9}, {0, true, 137}};
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::to_string(c.toolExitCode) + (c.killShell ? ", shell killed" : ""));
    const FlashRun flash = {{"/f"}, kRewriteListing, c.toolExitCode, c.killShell};
    E2eResult standard = RunFlash(harness, flash);
    E2eRun ignoring;
    ignoring.ignoreSigchld = true;
    E2eResult r = RunFlash(harness, flash, ignoring);
    ASSERT_TRUE(standard.started) << standard.error;
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(standard.exitCode, c.result);
    EXPECT_EQ(r.exitCode, c.result);
    EXPECT_EQ(r.out, standard.out);
    EXPECT_EQ(r.log, standard.log);
    EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n/fc /f\n");
  }
}

// The kit's listing script waits for a helper of its own and lists only when the helper's status
// reads as success: an ignored SIGCHLD inherited from the caller would make that wait fail.
TEST(EmulexFlash, IgnoredSigchldReachesNoTool) {
  E2eHarness harness;
  for (bool ignore : {false, true}) {
    SCOPED_TRACE(ignore ? "SIGCHLD ignored" : "SIGCHLD default");
    E2eRun run;
    run.ignoreSigchld = ignore;
    run.files["reference.xml"] = CatalogueXml({kLpe12002});
    StandInKit kit;
    kit.listing = kUpgradeListing;
    kit.script =
        "#!/bin/sh\n"
        "echo \"$*\" >> kit-args.txt\n"
        "[ \"$*\" = \"/q /fc\" ] || exit 0\n"
        "(exit 0) & wait $! && cat kit-listing.txt\n";
    AddStandInKit(run, kit);
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n/fc /update\n");
  }
}

// A console that is a file (or a pipe) is not flushed by lines; what the run has printed still
// reaches it before each command starts (the release-file read, unzip, the listing and the
// flash), so "DO NOT INTERRUPT" shows while the tool runs.
TEST(EmulexFlash, ConsoleThatIsAFileShowsEachStepBeforeItsCommandStarts) {
  E2eHarness harness;
  E2eRun run;
  run.rootFiles["/etc/redhat-release"] = "Red Hat Enterprise Linux Server release 6.4 (Santiago)\n";
  E2eResult r = RunFlash(harness, {{"/f"}, kRewriteListing, 0, false, true}, run);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, FlashConsole(" /f ", 0, kUpdateSuccess, 1));
  const std::string upToDiscovery =
      "---------------------------------------------------\nLoading references...done.\nPerforming discovery...\n";
  EXPECT_EQ(r.ReadWorkFile("console-at-cat.txt"), upToDiscovery);
  EXPECT_EQ(r.ReadWorkFile("console-at-unzip.txt"), upToDiscovery + "Preparing the Emulex Kit...");
  EXPECT_EQ(r.ReadWorkFile("console-at-listing.txt"), kRunUpToKit);
  EXPECT_EQ(r.ReadWorkFile("console-at-flash.txt"),
            std::string(kRunUpToKit) + "Performing flash -- DO NOT INTERRUPT!\n" + ExecutingLine(" /f "));
}

std::string WithoutLogErrors(std::string console) {
  for (size_t at = console.find(kLogError); at != std::string::npos; at = console.find(kLogError, at))
    console.erase(at, sizeof(kLogError) - 1);
  return console;
}

// A file-size limit (from a service manager or a limits file) that the growing log reaches: each
// write past it fails as on a full disk, for the program and for the tool it starts, and the run
// ends as it would without the limit.
TEST(EmulexFlash, FileSizeLimitFailsWritesButNeverEndsTheRun) {
  const unsigned long kLimit = 1ul << 20;
  struct Case {
    std::vector<std::string> args;
    size_t belowLimit;  // how far below the limit the log starts
  };
  const Case kCases[] = {
      {{"/f"}, 0},    // no item fits
      {{"/f"}, 340},  // the tool starts with 17 bytes left: its output runs past the limit
      {{"/f"}, 380},  // the exit-code line runs past the limit
      {{"/f"}, 420},  // the tool's output and the exit-code line fit, the messages after them do not
      {{"/d", "report.xml"}, 0},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.args[0] + ", " + std::to_string(c.belowLimit) + " below");
    E2eRun run;
    run.rootFiles["/var/zmt/Component.log"] = std::string(kLimit - c.belowLimit - 1, '#') + "\n";
    const FlashRun flash = {c.args, kRewriteListing, 0, false};
    E2eResult unlimited = RunFlash(harness, flash, run);
    run.fileSizeLimit = kLimit;
    E2eResult r = RunFlash(harness, flash, run);
    ASSERT_TRUE(unlimited.started) << unlimited.error;
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_FALSE(r.signaled);
    EXPECT_EQ(r.exitCode, unlimited.exitCode);
    EXPECT_EQ(WithoutLogErrors(r.out), unlimited.out);
    EXPECT_NE(r.out.find(kLogError), std::string::npos);
    EXPECT_LE(r.log.size(), kLimit);
    EXPECT_EQ(r.ReadWorkFile("report.xml"), unlimited.ReadWorkFile("report.xml"));
  }
}

// A log that cannot be opened at all also refuses the flash command's redirections, so the tool
// cannot start: the run is a failure, and nothing is flashed without a record. The shells report
// a failed redirection differently (2 or 1); the result is the same whatever /bin/sh is.
TEST(EmulexFlash, LogThatCannotBeOpenedStopsTheToolFromStarting) {
  struct Case {
    const char* what;
    bool readOnlyVar;
    std::vector<std::string> setup;
  };
  const Case kCases[] = {
      {"read-only /var", true, {}},
      {"log that is a folder", false, {"mkdir -p /var/zmt/Component.log"}},
      {"log that is a loop of links", false, {"mkdir -p /var/zmt", "ln -s Component.log /var/zmt/Component.log"}},
  };
  E2eHarness harness;
  for (const char* shell : {"dash", "bash"}) {
    for (const Case& c : kCases) {
      SCOPED_TRACE(std::string(c.what) + ", /bin/sh is " + shell);
      E2eRun run;
      run.readOnlyVar = c.readOnlyVar;
      // Only inside the test's namespace; a mount that fails ends the run with 125.
      run.setup = {"mount --bind /bin/" + std::string(shell) + " /bin/sh || exit 125"};
      run.setup.insert(run.setup.end(), c.setup.begin(), c.setup.end());
      E2eResult r = RunFlash(harness, {{"/f"}, kRewriteListing, 0, false}, run);
      ASSERT_TRUE(r.started) << r.error;
      EXPECT_EQ(r.exitCode, 7);
      EXPECT_EQ(WithoutLogErrors(r.out), FlashConsole(" /f ", 2, "All updates failed.\n", 7));
      EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n");
    }
  }
}
}  // namespace
