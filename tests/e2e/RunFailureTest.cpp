// Runs that could not look or could not act: a kit that was not unpacked whole, an adapter
// listing that could not be run, a report that could not be saved. Each ends with 7 and says so;
// none reads as "nothing to do". A listing tool's own exit codes stay its own.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "StandInKit.h"

namespace {
const char kExampleLine[] =
    "HBA=LPe12002-M8, PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, Boot Code=UB5.12a2\n";
const CatalogueEntry kLpe12002 = {"10df.f100.10df.f100", "LPe12002", "2.01A12", "5.12a3", "120"};
const char kRunUpToDiscovery[] =
    "---------------------------------------------------\n"
    "Loading references...done.\n"
    "Performing discovery...\n";
const char kListingCommand[] = "./elxflashStandalone*/lx/elxflash.sh /q /fc";
// Bigger than the file-size limit and the full folder below, so unzip cannot write it whole.
const size_t kBigKitFile = 2u << 20;
const unsigned long kOneMiB = 1u << 20;

// Mounts over the working folder take effect for the run once the shell enters it anew.
std::string MountOverWorkFolder(const std::string& options) {
  return "mount --bind . \"$PWD\" && mount -o remount,bind," + options + " \"$PWD\" && cd \"$PWD\"";
}
const char kFullWorkFolder[] =
    "saved=$(mktemp -d) && cp -a . \"$saved\" && mount -t tmpfs -o size=1m fchbafull \"$PWD\" && cd \"$PWD\" && "
    "cp -a \"$saved\"/. . && rm -rf \"$saved\"";

struct Case {
  const char* name;
  std::vector<std::string> args;
  bool kit;                         // the stand-in kit is placed
  std::string script;               // its whole script, when not the stand-in's
  bool bigKitFile;                  // the kit also holds a file of kBigKitFile bytes
  std::vector<std::string> setup;   // after the kit is zipped
  bool usrAndSys;
  unsigned long fileSizeLimit;
  int exitCode;
  std::string tail;                 // the console and the log after the discovery's first line
};

E2eResult RunCase(E2eHarness& harness, const Case& c) {
  E2eRun run;
  run.args = c.args;
  run.files["reference.xml"] = CatalogueXml({kLpe12002});
  if (c.kit) {
    StandInKit kit;
    kit.listing = kExampleLine;
    kit.script = c.script;
    if (c.bigKitFile) run.files["kitsource/elxflashStandalone-t/lx/image.bin"] = std::string(kBigKitFile, 'x');
    AddStandInKit(run, kit);
  }
  run.setup.insert(run.setup.end(), c.setup.begin(), c.setup.end());
  run.usrAndSys = c.usrAndSys;
  run.fileSizeLimit = c.fileSizeLimit;
  return harness.Run(run);
}

void ExpectCase(const Case& c, const E2eResult& r) {
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_FALSE(r.timedOut);
  EXPECT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(r.exitCode, c.exitCode);
  EXPECT_EQ(r.out, kRunUpToDiscovery + c.tail);
  EXPECT_EQ(r.log, r.out);
}

// Nothing is listed, flashed or reported from a kit that was not unpacked whole.
TEST(RunFailure, KitThatWasNotUnpackedWholeEndsTheRun) {
  const std::string failed = "Preparing the Emulex Kit...FAILED!\n";
  // A pipe that nobody writes, as some agents leave standard input: a question asked on it is
  // never answered.
  const std::string stdinLeftOpen = "mkfifo stdin.fifo && exec 9<>stdin.fifo <stdin.fifo";
  const Case kCases[] = {
      {"no archive", {}, false, "", false, {}, false, 0, 7, failed},
      {"no archive, forced", {"/f"}, false, "", false, {}, false, 0, 7, failed},
      {"no archive, self-discovery", {"/d", "report.xml"}, false, "", false, {}, false, 0, 7, failed},
      {"two archives", {}, true, "", false, {"cp elxflashStandalone-t.zip elxflashStandalone-u.zip"}, false, 0, 7,
       failed},
      {"no unzip on the machine", {}, true, "", false, {"rm -f /usr/bin/unzip"}, true, 0, 7, failed},
      {"read-only package folder", {}, true, "", false, {MountOverWorkFolder("ro")}, false, 0, 7, failed},
      {"full package folder", {"/d", "report.xml"}, true, "", true, {kFullWorkFolder}, false, 0, 7, failed},
      {"file-size limit cuts a kit file", {}, true, "", true, {}, false, kOneMiB, 7, failed},
      {"file-size limit, standard input left open", {"/f"}, true, "", true, {stdinLeftOpen}, false, kOneMiB, 7,
       failed},
      // Unpacked whole, but with nothing to run: "done" would promise a kit that is not there.
      {"kit without its script", {"/f"}, true, "", false,
       {"zip -qd elxflashStandalone-t.zip elxflashStandalone-t/lx/elxflash.sh"}, false, 0, 7,
       failed + "ERROR! : No kit script was found in the kit's archive: ./elxflashStandalone*/lx/elxflash.sh\n"},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    E2eResult r = RunCase(harness, c);
    ExpectCase(c, r);
    EXPECT_FALSE(r.WorkFileExists("kit-args.txt"));  // the kit's tool never ran
    EXPECT_FALSE(r.WorkFileExists("report.xml"));
  }
}

// The adapter listing that could not be run is not "no adapter"; the tool's own exit codes are.
TEST(RunFailure, ListingThatCouldNotBeRunEndsTheRun) {
  const std::string ran = std::string("Preparing the Emulex Kit...done\n");
  auto error = [](const std::string& problem) {
    return "Preparing the Emulex Kit...done\nERROR! : The adapter listing " + problem + ": " + kListingCommand + "\n";
  };
  const std::string killed = std::string("#!/bin/sh\necho '") + "HBA=LPe12002-M8, PCI ID=F100, VID=10DF, SSID=F100, "
                             "SVID=10DF, Firmware=US2.01A12, Boot Code=UB5.12a2'\nkill -9 $$\n";
  const std::string listingThenExit = std::string("#!/bin/sh\n[ \"$*\" = \"/q /fc\" ] || exit 0\ncat kit-listing.txt\nexit ");
  const Case kCases[] = {
      {"package folder mounted noexec", {"/d", "report.xml"}, true, "", false, {MountOverWorkFolder("noexec")}, false,
       0, 7, error("could not be run (exit code 126)")},
      {"kit script whose interpreter is missing", {"/f"}, true, "#!/no/such/shell\n", false, {}, false, 0, 7,
       error("could not be run (exit code 127)")},
      {"listing tool killed part-way", {"/d", "report.xml"}, true, killed, false, {}, false, 0, 7,
       error("could not be run (exit code 137, most likely ended by signal 9)")},
      {"listing tool that never stops printing", {"/f"}, true, "#!/bin/sh\nexec yes ''\n", false, {}, false, 0, 7,
       error("passed 64 MiB and was stopped")},
      // Nothing tells a code of 129 to 192 apart from a shell's report of a killed tool.
      {"listing tool exiting 150 of its own accord", {"/d", "report.xml"}, true, listingThenExit + "150\n", false, {},
       false, 0, 7, error("could not be run (exit code 150, most likely ended by signal 22)")},
      // Codes of the tool's own, "no adapter" among them, are not looked at.
      {"listing tool exiting 1 with nothing listed", {}, true, "#!/bin/sh\nexit 1\n", false, {}, false, 0, 3,
       ran + "NOTICE : No operation was done.\n"},
      {"listing tool exiting 2 with an adapter listed", {"/d", "report.xml"}, true, listingThenExit + "2\n", false, {},
       false, 0, 3, ran + "Generating self-discovery XML...done.\n"},
      {"listing tool exiting 255 with an adapter listed", {"/d", "report.xml"}, true, listingThenExit + "255\n", false,
       {}, false, 0, 3, ran + "Generating self-discovery XML...done.\n"},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    E2eResult r = RunCase(harness, c);
    ExpectCase(c, r);
    EXPECT_EQ(r.WorkFileExists("report.xml"), c.exitCode == 3 && c.args.size() == 2);
    // The run keeps a bounded part of the endless output only: a small multiple of 64 MiB.
    EXPECT_LT(r.maxRssKiB, 6 * 64 * 1024);
  }
}

// A caller reads the report at its path after exit 3; a report that could not be saved is 7.
TEST(RunFailure, ReportThatCouldNotBeSavedEndsTheRun) {
  const std::string failed = "Preparing the Emulex Kit...done\nGenerating self-discovery XML...FAILED!\n";
  const Case kCases[] = {
      {"missing folder", {"/d", "no/such/folder/report.xml"}, true, "", false, {}, false, 0, 7, failed},
      {"read-only folder", {"/d", "ro/report.xml"}, true, "", false,
       {"mkdir ro && mount --bind ro ro && mount -o remount,bind,ro ro"}, false, 0, 7, failed},
      {"full disk", {"/d", "full/report.xml"}, true, "", false,
       {"mkdir full && mount -t tmpfs -o size=4k fchbafull full && head -c 4096 /dev/zero > full/filler"}, false, 0,
       7, failed},
      {"a folder at the path", {"/d", "report.xml"}, true, "", false, {"mkdir report.xml"}, false, 0, 7, failed},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ExpectCase(c, RunCase(harness, c));
  }
}

// The processes whose working folder is `folder`: a run's stand-ins and all they start.
std::vector<pid_t> ProcessesIn(const std::string& folder) {
  std::vector<pid_t> found;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return found;
  while (const dirent* item = readdir(proc)) {
    char cwd[4096];
    const std::string link = std::string("/proc/") + item->d_name + "/cwd";
    const ssize_t length = readlink(link.c_str(), cwd, sizeof cwd);
    if (length > 0 && std::string(cwd, static_cast<size_t>(length)) == folder) found.push_back(std::atoi(item->d_name));
  }
  closedir(proc);
  return found;
}

// Past the bound, the listing ends with everything it started, a helper double-forked away from
// it among them: nothing of it outlives the run, not even a zombie.
TEST(RunFailure, ListingPastTheBoundLeavesNothingRunning) {
  E2eRun run;
  run.args = {"/f"};
  run.files["reference.xml"] = CatalogueXml({kLpe12002});
  // Takes no notice of the closed pipe and prints for ever.
  run.files["printer"] =
      "echo $$ >> pids\n"
      "trap '' PIPE\n"
      "line=$(head -c 4095 /dev/zero | tr '\\0' x)\n"
      "while :; do echo \"$line\"; done 2>/dev/null\n";
  StandInKit kit;
  kit.script = "#!/bin/sh\n[ \"$*\" = \"/q /fc\" ] || exit 0\necho $$ >> pids\n(sh printer &)\nsh printer\n";
  AddStandInKit(run, kit);
  E2eHarness harness;
  const E2eResult r = harness.Run(run);
  const std::vector<pid_t> leftovers = ProcessesIn(r.workDir);
  for (pid_t pid : leftovers) kill(pid, SIGKILL);  // a failed case leaves nothing running

  ASSERT_TRUE(r.started) << r.error;
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 7);
  EXPECT_EQ(r.out, std::string(kRunUpToDiscovery) + "Preparing the Emulex Kit...done\n" +
                       "ERROR! : The adapter listing passed 64 MiB and was stopped: " + kListingCommand + "\n");
  EXPECT_EQ(r.log, r.out);
  std::istringstream listed(r.ReadWorkFile("pids"));
  int count = 0;
  for (pid_t pid; listed >> pid; ++count) {
    EXPECT_TRUE(ProcessHasEnded(pid)) << "pid " << pid << " is still there";
  }
  EXPECT_GE(count, 2);  // the listing and the printer it waits for, at least
  EXPECT_EQ(leftovers, std::vector<pid_t>());
}
// Past the bound the run ends what the listing started, and nothing else: a helper that the
// listing sent off on its own with its output elsewhere ends (it comes back to the run, which is
// a subreaper meanwhile; where the run cannot be one, nothing leads to it and it lives on), while
// an orphan of the caller's, handed to the run while the listing prints, lives on.
TEST(RunFailure, ListingPastTheBoundEndsWhatItStartedAndNothingElse) {
  struct Case {
    const char* what;
    std::vector<std::string> setup;  // before the program is exec'd in the setup shell's place
    std::string listing;             // the kit's listing call, after its first line
    const char* pidFile;             // where the process that the row follows wrote its pid
    bool endsWhereOrphansComeBack;
  };
  const Case kCases[] = {
      {"a helper the listing double-forked, its output elsewhere", {},
       "(sh -c 'echo $$ > helper.txt; exec sleep 300' > /dev/null 2>&1 &)\nexec yes\n", "helper.txt", true},
      {"an orphan of the caller's", {"sh -c 'sleep 300 > /dev/null 2>&1 & echo $! > caller-orphan.txt; sleep 0.7' &"},
       "sleep 1.5\nexec yes\n", "caller-orphan.txt", false},
  };
  int subreaper = 0;
  const bool orphansComeBack = prctl(PR_GET_CHILD_SUBREAPER, &subreaper) == 0;
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    E2eRun run;
    run.args = {"/f"};
    run.files["reference.xml"] = CatalogueXml({kLpe12002});
    StandInKit kit;
    kit.script = "#!/bin/sh\n[ \"$*\" = \"/q /fc\" ] || exit 0\n" + c.listing;
    AddStandInKit(run, kit);
    run.setup.insert(run.setup.end(), c.setup.begin(), c.setup.end());
    const E2eResult r = harness.Run(run);
    const pid_t followed = static_cast<pid_t>(std::atoi(r.ReadWorkFile(c.pidFile).c_str()));
    const bool ended = followed > 0 && ProcessHasEnded(followed);
    if (followed > 0) kill(followed, SIGKILL);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_EQ(r.out, std::string(kRunUpToDiscovery) + "Preparing the Emulex Kit...done\n" +
                         "ERROR! : The adapter listing passed 64 MiB and was stopped: " + kListingCommand + "\n");
    ASSERT_GT(followed, 0);
    EXPECT_EQ(ended, c.endsWhereOrphansComeBack && orphansComeBack);
  }
}
}  // namespace
