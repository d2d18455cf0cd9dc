// Several runs of the real binary in one package folder, with one /var: one run at a time works
// past the log's preparation, a run that must wait says so once before it waits, and the lock
// lasts exactly as long as the run or a tool it started.
//
// Each case is one shell script in the namespace ("$0" is the program) that starts the runs, each
// with its console in its own file. The stand-in kit's flash call records its start and end, runs
// the case's kit-flash-wait.sh, and leaves the adapter at the package's version. The listing call
// notes a descriptor 3 to 9 that holds the lock: those are the numbers a tool's script can use.
#include <gtest/gtest.h>

#include <sstream>

#include "StandInKit.h"

namespace {
// The boot item is older than the package's before a flash, and the same after one.
const char kOlderListing[] =
    "HBA=LPe12002-M8, PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, Boot Code=UB5.12a2\n";
const char kFlashedListing[] =
    "HBA=LPe12002-M8, PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, Boot Code=UB5.12a3\n";

const char kKitScript[] =
    "#!/bin/sh\n"
    "echo \"$*\" >> kit-args.txt\n"
    "if [ \"$*\" = \"/q /fc\" ]; then\n"
    "  for n in 3 4 5 6 7 8 9; do\n"
    "    case $(readlink /proc/$$/fd/$n) in */Component.lock) echo \"lock on descriptor $n\" >> kit-args.txt ;; esac\n"
    "  done 2>/dev/null\n"
    "  cat kit-listing.txt; exit 0\n"
    "fi\n"
    "kit=$(stat -c '%i %z' \"$0\")\n"
    "echo \"start $(date +%s%N)\" >> flash-times.txt\n"
    "touch flash-started\n"
    ". ./kit-flash-wait.sh\n"
    "cp kit-listing-flashed.txt kit-listing.txt\n"
    "echo \"end $(date +%s%N)\" >> flash-times.txt\n"
    "[ \"$(stat -c '%i %z' \"$0\")\" = \"$kit\" ] || echo 'kit changed under the tool' >> kit-args.txt\n"
    "echo 'flash ended' >> kit-args.txt\n";

const char kWaitingNotice[] = "NOTICE : Another run of this component is in progress; waiting for it to end.\n";
const char kFlashLines[] =
    "Performing flash -- DO NOT INTERRUPT!\n"
    "Executing flash engine: ./elxflashStandalone*/lx/elxflash.sh /fc  /update 1>> /var/zmt/Component.log "
    "2>> /var/zmt/Component.log 3>> /var/zmt/Component.log\n";
const char kFlashResult[] =
    "Flash Engine exit code: 0\nAll updates were successful.  Reboot needed.\nFlash complete [1]\n";
const std::string kFlashedConsole = std::string(kRunUpToKit) + kFlashLines + kFlashResult;
const std::string kNothingToDoConsole = std::string(kRunUpToKit) + "NOTICE : No operation was done.\n";

// The flash call of the cases where a second run starts during it: it goes on once the second
// run's console says that it waits (at most 10 s), and notes that it saw it.
const char kWaitForTheSecondRun[] =
    "i=0\n"
    "until grep -qxF 'NOTICE : Another run of this component is in progress; waiting for it to end.' "
    "console-2.txt 2>/dev/null || [ $i -ge 200 ]; do sleep 0.05; i=$((i + 1)); done\n"
    "[ $i -ge 200 ] || echo 'second run waiting' >> kit-args.txt\n";

E2eResult RunScript(E2eHarness& harness, const std::string& script, const std::string& flashWait) {
  E2eRun run;
  run.program = "/bin/sh";
  run.args = {"-c", script, FCHBA_BINARY};
  run.files["reference.xml"] = CatalogueXml({{"10DF.F100.10DF.F100", "LPe12002", "2.01A12", "5.12a3", "120"}});
  run.files["kit-listing-flashed.txt"] = kFlashedListing;
  run.files["kit-flash-wait.sh"] = flashWait;
  StandInKit kit;
  kit.listing = kOlderListing;
  kit.script = kKitScript;
  AddStandInKit(run, kit);
  return harness.Run(run);
}

// True when the flash intervals in flash-times.txt follow one another: every start after the end
// before it, every end after its start.
bool FlashesFollowOneAnother(const std::string& times) {
  std::istringstream lines(times);
  std::string kind;
  long long at = 0, previous = 0;
  bool expectStart = true;
  while (lines >> kind >> at) {
    if (kind != (expectStart ? "start" : "end") || at < previous) return false;
    expectStart = !expectStart;
    previous = at;
  }
  return expectStart;
}

size_t CountOf(const std::string& text, const std::string& piece) {
  size_t count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
  return count;
}

std::string Without(std::string text, const std::string& piece) {
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece)) text.erase(at, piece.size());
  return text;
}

// Started at the same moment, the two runs may take the lock in either order; the one that gets
// it flashes, and the other, which may or may not have found it taken, then finds the adapter up
// to date. A few rounds, to give a race a chance to show.
TEST(RunLock, RunsStartedTogetherFlashOneAfterTheOther) {
  const char kScript[] =
      "\"$0\" > console-1.txt & one=$!\n"
      "\"$0\" > console-2.txt & two=$!\n"
      "wait $one; echo $? > exit-1.txt\n"
      "wait $two; echo $? > exit-2.txt\n";
  E2eHarness harness;
  for (int round = 1; round <= 5; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    E2eResult r = RunScript(harness, kScript, "sleep 1\n");
    ASSERT_TRUE(r.started) << r.error;
    ASSERT_FALSE(r.timedOut);
    EXPECT_TRUE(FlashesFollowOneAnother(r.ReadWorkFile("flash-times.txt"))) << r.ReadWorkFile("flash-times.txt");
    EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n/fc /update\nflash ended\n/q /fc\n");
    const bool firstFlashed = r.ReadWorkFile("exit-1.txt") == "1\n";
    const std::string flasher = firstFlashed ? "1" : "2";
    const std::string other = firstFlashed ? "2" : "1";
    EXPECT_EQ(r.ReadWorkFile("exit-" + flasher + ".txt"), "1\n");
    EXPECT_EQ(r.ReadWorkFile("exit-" + other + ".txt"), "3\n");
    EXPECT_EQ(r.ReadWorkFile("console-" + flasher + ".txt"), kFlashedConsole);
    const std::string otherConsole = r.ReadWorkFile("console-" + other + ".txt");
    EXPECT_TRUE(otherConsole == kNothingToDoConsole || otherConsole == kWaitingNotice + kNothingToDoConsole)
        << otherConsole;
    EXPECT_LE(CountOf(r.log, kWaitingNotice), 1u);
    EXPECT_EQ(Without(r.log, kWaitingNotice), kFlashedConsole + kNothingToDoConsole);
  }
}

// A second run started while the first one's tool flashes waits before it unpacks anything, so
// the kit stays as it is under the tool, also when the first run is killed and its tool goes on.
// Runs that only show the usage or reject their options meanwhile end at once.
TEST(RunLock, SecondRunWaitsUntilTheFirstRunsToolHasEnded) {
  struct Case {
    const char* what;
    const char* beforeSecondRun;  // script lines run once the first run's tool has started
    const char* firstExit;
    std::string firstConsole;
    std::string log;
  };
  const Case kCases[] = {
      {"first run goes on", "", "1\n", kFlashedConsole,
       std::string(kRunUpToKit) + kFlashLines + kWaitingNotice + kFlashResult + kNothingToDoConsole},
      {"first run killed during its flash", "kill -9 $one\n", "137\n", std::string(kRunUpToKit) + kFlashLines,
       std::string(kRunUpToKit) + kFlashLines + kWaitingNotice + kNothingToDoConsole},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const std::string script = std::string(
                                   "\"$0\" > console-1.txt & one=$!\n"
                                   "until [ -f flash-started ]; do sleep 0.05; done\n") +
                               c.beforeSecondRun +
                               "\"$0\" /h > console-help.txt; echo $? > exit-help.txt\n"
                               "\"$0\" /d > console-bad-options.txt; echo $? > exit-bad-options.txt\n"
                               "\"$0\" > console-2.txt & two=$!\n"
                               "wait $one; echo $? > exit-1.txt\n"
                               "wait $two; echo $? > exit-2.txt\n";
    E2eResult r = RunScript(harness, script, kWaitForTheSecondRun);
    ASSERT_TRUE(r.started) << r.error;
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n/fc /update\nsecond run waiting\nflash ended\n/q /fc\n");
    EXPECT_EQ(r.ReadWorkFile("exit-1.txt"), c.firstExit);
    EXPECT_EQ(r.ReadWorkFile("console-1.txt"), c.firstConsole);
    EXPECT_EQ(r.ReadWorkFile("exit-2.txt"), "3\n");
    EXPECT_EQ(r.ReadWorkFile("console-2.txt"), kWaitingNotice + kNothingToDoConsole);
    EXPECT_EQ(r.log, c.log);
    // Runs that only show the usage or reject their options never wait.
    EXPECT_EQ(r.ReadWorkFile("exit-help.txt"), "3\n");
    EXPECT_EQ(r.ReadWorkFile("exit-bad-options.txt"), "7\n");
    EXPECT_EQ(CountOf(r.ReadWorkFile("console-help.txt") + r.ReadWorkFile("console-bad-options.txt"), kWaitingNotice),
              0u);
  }
}

// A run killed during its flash together with everything it started leaves no lock behind: the
// next run, started once the kernel holds no lock on the file, neither waits nor says so, and
// flashes what the killed run did not.
TEST(RunLock, KilledRunWithNothingLeftLeavesNoLock) {
  const char kScript[] =
      "setsid \"$0\" > console-1.txt & one=$!\n"
      "until [ -f flash-started ]; do sleep 0.05; done\n"
      "kill -9 -$one; wait $one; echo $? > exit-1.txt\n"
      "until flock -n /var/zmt/Component.lock true; do sleep 0.05; done\n"
      "\"$0\" > console-2.txt; echo $? > exit-2.txt\n";
  // The first flash (the only start in flash-times.txt) waits to be killed; the second goes through.
  const char kFirstFlashWaits[] = "[ $(wc -l < flash-times.txt) -gt 1 ] || sleep 60\n";
  E2eHarness harness;
  E2eResult r = RunScript(harness, kScript, kFirstFlashWaits);
  ASSERT_TRUE(r.started) << r.error;
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.ReadWorkFile("exit-1.txt"), "137\n");
  EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n/fc /update\n/q /fc\n/fc /update\nflash ended\n");
  EXPECT_EQ(r.ReadWorkFile("exit-2.txt"), "1\n");
  EXPECT_EQ(r.ReadWorkFile("console-2.txt"), kFlashedConsole);
  EXPECT_EQ(r.log, std::string(kRunUpToKit) + kFlashLines + kFlashedConsole);
}
}  // namespace
