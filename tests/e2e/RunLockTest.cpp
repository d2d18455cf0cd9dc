// Several runs of the real binary in one package folder, with one /var: one run at a time works
// past the log's preparation, a run that must wait says so once before it waits, and the lock
// lasts exactly as long as the run or a tool it started.
//
// Each case is one shell script in the namespace ("$0" is the program) that starts the runs, each
// with its console in its own file. The stand-in kit's flash call records its start and end and
// its process ids, runs the case's kit-flash-wait.sh, and leaves the adapter at the package's
// version. The listing call notes when it holds a descriptor of the lock, as only the flash
// command may.
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
    "  for fd in /proc/$$/fd/*; do\n"
    "    case $(readlink $fd) in */Component.lock) echo 'lock held by the listing' >> kit-args.txt ;; esac\n"
    "  done 2>/dev/null\n"
    "  [ ! -f kit-listing-extra.sh ] || . ./kit-listing-extra.sh\n"
    "  cat kit-listing.txt; exit 0\n"
    "fi\n"
    "echo \"$$ $PPID\" >> flash-pids.txt\n"
    "kit=$(stat -c '%i %z' \"$0\")\n"
    "echo \"start $(date +%s%N)\" >> flash-times.txt\n"
    "touch flash-started\n"
    ". ./kit-flash-wait.sh\n"
    "cp kit-listing-flashed.txt kit-listing.txt\n"
    "echo \"end $(date +%s%N)\" >> flash-times.txt\n"
    "[ \"$(stat -c '%i %z' \"$0\")\" = \"$kit\" ] || echo 'kit changed under the tool' >> kit-args.txt\n"
    "echo 'flash ended' >> kit-args.txt\n";

// The notice with the holder's process id as "PID" (WithPid gives the id a run printed).
const char kWaitingNotice[] =
    "NOTICE : The run lock /var/zmt/Component.lock is held by another run of this component or by a flash tool "
    "that one started (process PID); waiting for it to be released.\n";
const char kFlashLines[] =
    "Performing flash -- DO NOT INTERRUPT!\n"
    "Executing flash engine: ./elxflashStandalone*/lx/elxflash.sh /fc  /update 1>> /var/zmt/Component.log "
    "2>> /var/zmt/Component.log 3>> /var/zmt/Component.log\n";
const char kFlashResult[] =
    "Flash Engine exit code: 0\nAll updates were successful.  Reboot needed.\nFlash complete [1]\n";
const std::string kFlashedConsole = std::string(kRunUpToKit) + kFlashLines + kFlashResult;
const std::string kNothingToDoConsole = std::string(kRunUpToKit) + "NOTICE : No operation was done.\n";

// Sourced by the scripts of the cases: waits until the kernel's lock table shows a process that
// waits for this namespace's lock file (other tests' runs may wait for theirs meanwhile), at most
// 10 s; $i is then 200.
const char kWaitForAWaitingRun[] =
    "i=0; lock=\":$(stat -c %i /var/zmt/Component.lock) \"\n"
    "until grep -- '-> FLOCK' /proc/locks | grep -qF \"$lock\" || [ $i -ge 200 ]; do sleep 0.05; i=$((i + 1)); done\n";

// The flash call of the cases where a second run starts during it: it goes on once the second
// run waits for the lock, and notes that it saw it.
const char kWaitForTheSecondRun[] =
    ". ./wait-for-a-waiting-run.sh\n"
    "[ $i -ge 200 ] || echo 'second run waiting' >> kit-args.txt\n";

// The text with the process id of each waiting notice written as "PID".
std::string WithoutPids(std::string text) {
  const std::string before = "(process ";
  for (size_t at = text.find(before); at != std::string::npos; at = text.find(before, at + 1)) {
    const size_t digits = at + before.size();
    const size_t end = text.find(')', digits);
    if (end != std::string::npos && end > digits) text.replace(digits, end - digits, "PID");
  }
  return text;
}

// The process id that the first waiting notice in the text names; empty when there is none.
std::string NoticedPid(const std::string& text) {
  const std::string before = "(process ";
  const size_t at = text.find(before);
  if (at == std::string::npos) return std::string();
  const size_t digits = at + before.size();
  return text.substr(digits, text.find(')', digits) - digits);
}

E2eResult RunScript(E2eHarness& harness, const std::string& script, const std::string& flashWait,
                    E2eRun run = E2eRun()) {
  run.program = "/bin/sh";
  run.args = {"-c", script, FCHBA_BINARY};
  run.files["reference.xml"] = CatalogueXml({{"10DF.F100.10DF.F100", "LPe12002", "2.01A12", "5.12a3", "120"}});
  run.files["kit-listing-flashed.txt"] = kFlashedListing;
  run.files["kit-flash-wait.sh"] = flashWait;
  run.files["wait-for-a-waiting-run.sh"] = kWaitForAWaitingRun;
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

// Started at the same moment, the two runs may take the lock in either order; the one that gets
// it flashes, and the other, which may or may not have found it taken, then finds the adapter up
// to date. A few rounds, to give a race a chance to show.
TEST(RunLock, RunsStartedTogetherFlashOneAfterTheOther) {
  const char kScript[] =
      "\"$0\" > console-1.txt & one=$!\n"
      "\"$0\" > console-2.txt & two=$!\n"
      "echo $one > pid-1.txt; echo $two > pid-2.txt\n"
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
    // The run that found the lock taken names the run that held it, and says so first in its
    // own lines of the log, after every line of the run it waited for.
    const std::string otherConsole = r.ReadWorkFile("console-" + other + ".txt");
    const bool waited = otherConsole != kNothingToDoConsole;
    EXPECT_EQ(WithoutPids(otherConsole), (waited ? kWaitingNotice : "") + kNothingToDoConsole);
    if (waited) {
      EXPECT_EQ(NoticedPid(otherConsole) + "\n", r.ReadWorkFile("pid-" + flasher + ".txt"));
    }
    EXPECT_EQ(r.log, kFlashedConsole + otherConsole);
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
  };
  const Case kCases[] = {
      {"first run goes on", "", "1\n", kFlashedConsole},
      {"first run killed during its flash", "kill -9 $one\n", "137\n", std::string(kRunUpToKit) + kFlashLines},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const std::string script = std::string(
                                   "\"$0\" > console-1.txt & one=$!\n"
                                   "echo $one > pid-1.txt\n"
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
    const std::string secondConsole = r.ReadWorkFile("console-2.txt");
    EXPECT_EQ(WithoutPids(secondConsole), kWaitingNotice + kNothingToDoConsole);
    // The holder is the first run while it lives, and then the flash tool it started: the shell
    // that runs the tool's command, or the tool where that shell became it.
    std::istringstream flashPids(r.ReadWorkFile("flash-pids.txt"));
    std::string tool, toolsParent;
    flashPids >> tool >> toolsParent;
    const std::string named = NoticedPid(secondConsole);
    if (c.firstExit == std::string("1\n")) {
      EXPECT_EQ(named + "\n", r.ReadWorkFile("pid-1.txt"));
    } else {
      EXPECT_TRUE(named == tool || named == toolsParent) << named << " is not " << tool << " or " << toolsParent;
    }
    // The first run's lines stay whole, and the second run's begin with its notice.
    EXPECT_EQ(r.log, c.firstConsole + secondConsole);
    // Runs that only show the usage or reject their options never wait.
    EXPECT_EQ(r.ReadWorkFile("exit-help.txt"), "3\n");
    EXPECT_EQ(r.ReadWorkFile("exit-bad-options.txt"), "7\n");
    EXPECT_EQ(CountOf(r.ReadWorkFile("console-help.txt") + r.ReadWorkFile("console-bad-options.txt"), "NOTICE"), 0u);
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

const std::string kDiscoveredConsole = std::string(kRunUpToKit) + "Generating self-discovery XML...done.\n";

// Of all that a run starts, only the flash command inherits the lock, and only root can open the
// lock file: neither a process that the listing left running nor another user can make the next
// run wait. A lock file that the last version left readable by all is narrowed.
TEST(RunLock, NothingButAFlashToolHoldsTheLock) {
  // Tries to hold the lock as nobody, and goes on once that has failed or the lock is held.
  const char kNobodyTries[] =
      "setpriv --reuid=nobody --regid=nogroup --clear-groups flock -n /var/zmt/Component.lock "
      "sh -c 'echo held; exec sleep 30' > nobody.txt 2>&1 & holder=$!\n"
      "while kill -0 $holder 2>/dev/null && ! grep -q held nobody.txt; do sleep 0.05; done\n";
  struct Case {
    const char* what;
    const char* listingExtra;  // run by the listing call before it lists
    const char* betweenRuns;
    bool lockFileLeftReadable;
  };
  const Case kCases[] = {
      {"a process the listing left running", "sleep 30 > /dev/null 2>&1 & echo $! > left-running.txt\n", "", false},
      {"another user, no lock file yet", "", kNobodyTries, false},
      {"another user, a lock file the last version left readable by all", "", kNobodyTries, true},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const std::string script = std::string(
                                   "\"$0\" /d r1.xml > console-1.txt; echo $? > exit-1.txt\n") +
                               c.betweenRuns +
                               "\"$0\" /d r2.xml > console-2.txt; echo $? > exit-2.txt\n"
                               "stat -c %a /var/zmt/Component.lock > lock-mode.txt\n"
                               "[ ! -f left-running.txt ] || kill $(cat left-running.txt)\n"
                               "[ -z \"${holder:-}\" ] || kill $holder 2>/dev/null\n";
    E2eRun run;
    run.files["kit-listing-extra.sh"] = c.listingExtra;
    if (c.lockFileLeftReadable) run.rootFiles["/var/zmt/Component.lock"] = "";
    E2eResult r = RunScript(harness, script, "", run);
    ASSERT_TRUE(r.started) << r.error;
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.ReadWorkFile("exit-1.txt"), "3\n");
    EXPECT_EQ(r.ReadWorkFile("exit-2.txt"), "3\n");
    EXPECT_EQ(r.ReadWorkFile("console-2.txt"), kDiscoveredConsole);  // no wait, no notice
    EXPECT_EQ(r.log, kDiscoveredConsole + kDiscoveredConsole);
    EXPECT_EQ(r.ReadWorkFile("lock-mode.txt"), "600\n");
    EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n/q /fc\n");
    EXPECT_EQ(r.ReadWorkFile("nobody.txt").find("held"), std::string::npos);
  }
}

// A flash run that could not take the lock (something but a plain file stands at its path) may be
// racing another flash of the same adapters: it starts no tool, says why and fails. A
// self-discovery goes on without the lock, and a link at its path is never followed.
TEST(RunLock, FlashRunWithoutTheLockStartsNoTool) {
  const std::string noLock =
      std::string(kRunUpToKit) + kFlashLines +
      "ERROR! : The run lock /var/zmt/Component.lock could not be taken, so no flash tool was started.\n"
      "Flash Engine exit code: 2\nAll updates failed.\nFlash complete [7]\n";
  struct Case {
    const char* what;
    const char* atLockPath;  // a shell line that puts it there
    std::vector<std::string> args;
    int exitCode;
    std::string console;
    const char* kitArgs;
  };
  const char kLink[] = "ln -s \"$PWD/planted\" /var/zmt/Component.lock";
  const char kLoop[] = "ln -s Component.lock /var/zmt/Component.lock";
  const char kFolder[] = "mkdir /var/zmt/Component.lock";
  const Case kCases[] = {
      {"a link to a missing file", kLink, {}, 7, noLock, "/q /fc\n"},
      {"a loop of links", kLoop, {}, 7, noLock, "/q /fc\n"},
      {"a folder", kFolder, {}, 7, noLock, "/q /fc\n"},
      {"a link to a missing file, self-discovery", kLink, {"/d", "report.xml"}, 3, kDiscoveredConsole, "/q /fc\n"},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    E2eRun run;
    run.args = c.args;
    run.setup = {"mkdir -p /var/zmt", c.atLockPath};
    run.files["reference.xml"] = CatalogueXml({{"10DF.F100.10DF.F100", "LPe12002", "2.01A12", "5.12a3", "120"}});
    StandInKit kit;
    kit.listing = kOlderListing;
    AddStandInKit(run, kit);
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.out, c.console);
    EXPECT_EQ(r.log, c.console);
    EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), c.kitArgs);
    EXPECT_FALSE(r.WorkFileExists("planted"));
  }
}

// A run that must wait says so on its console at once (unless silent) but writes the notice to
// the shared log only once it holds the lock: the run it waits for may be in the middle of a
// line, here "Preparing the Emulex Kit...", held in unzip until the second run waits.
TEST(RunLock, WaitingNoticeNeverSplitsALineOfTheRunItWaitsFor) {
  const char kHeldUnzip[] =
      "#!/bin/sh\n"
      "if [ ! -f unzip-held ]; then\n"
      "  touch unzip-held; . ./wait-for-a-waiting-run.sh\n"
      "fi\n"
      "PATH=${PATH#*:} exec unzip \"$@\"\n";
  struct Case {
    const char* what;
    const char* secondArgs;
    bool silent;
  };
  const Case kCases[] = {{"second run on the console", "/d r2.xml", false}, {"second run silent", "/s /d r2.xml", true}};
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const std::string script = std::string(
                                   "\"$0\" /d r1.xml > console-1.txt & one=$!\n"
                                   "echo $one > pid-1.txt\n"
                                   "until [ -f unzip-held ]; do sleep 0.05; done\n"
                                   "\"$0\" ") +
                               c.secondArgs +
                               " > console-2.txt; echo $? > exit-2.txt\n"
                               "wait $one; echo $? > exit-1.txt\n";
    E2eRun run;
    run.files["standin/unzip"] = kHeldUnzip;
    run.setup = {"chmod +x standin/unzip", "export PATH=\"$PWD/standin:$PATH\""};
    E2eResult r = RunScript(harness, script, "", run);
    ASSERT_TRUE(r.started) << r.error;
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.ReadWorkFile("exit-1.txt"), "3\n");
    EXPECT_EQ(r.ReadWorkFile("exit-2.txt"), "3\n");
    EXPECT_EQ(r.ReadWorkFile("console-1.txt"), kDiscoveredConsole);
    const std::string pid = r.ReadWorkFile("pid-1.txt");
    const std::string notice = WithoutPids(kWaitingNotice).replace(std::string(kWaitingNotice).find("PID"), 3,
                                                                   pid.substr(0, pid.size() - 1));
    EXPECT_EQ(r.ReadWorkFile("console-2.txt"), c.silent ? "" : notice + kDiscoveredConsole);
    EXPECT_EQ(r.log, kDiscoveredConsole + notice + kDiscoveredConsole);
  }
}
// On a read-only /var the lock file cannot be made, but one that is there already still locks:
// a run waits while another holds it. The log cannot take a line there; each item says so.
TEST(RunLock, LockFileOnAReadOnlyVarStillLocks) {
  const char kScript[] =
      "flock -n /var/zmt/Component.lock sh -c 'touch held; sleep 1' & holder=$!\n"
      "echo $holder > pid-1.txt\n"
      "until [ -f held ]; do sleep 0.05; done\n"
      "\"$0\" /d report.xml > console-2.txt; echo $? > exit-2.txt\n"
      "wait $holder\n";
  E2eRun run;
  run.readOnlyVar = true;
  run.rootFiles["/var/zmt/Component.lock"] = "";
  E2eHarness harness;
  E2eResult r = RunScript(harness, kScript, "", run);
  ASSERT_TRUE(r.started) << r.error;
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.ReadWorkFile("exit-2.txt"), "3\n");
  const std::string console = r.ReadWorkFile("console-2.txt");
  const std::string logError = "ERROR : Unable to write to log file\n";
  std::string withoutErrors = console;
  for (size_t at = withoutErrors.find(logError); at != std::string::npos; at = withoutErrors.find(logError, at))
    withoutErrors.erase(at, logError.size());
  EXPECT_EQ(WithoutPids(withoutErrors), kWaitingNotice + kDiscoveredConsole);
  EXPECT_EQ(NoticedPid(console) + "\n", r.ReadWorkFile("pid-1.txt"));
}
}  // namespace
