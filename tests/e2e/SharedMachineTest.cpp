// Runs on a machine that has other local users. The program and the vendor's tools run as root,
// so nothing that another user can write may change what root runs or where root writes. Here
// that user is nobody, who may pass through the test's folder to the working folder (root's,
// mode 0755) but write nothing in it.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "StandInKit.h"

namespace {
const char kExampleLine[] =
    "HBA=LPe12002-M8, PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, Boot Code=UB5.12a2\n";
const CatalogueEntry kLpe12002 = {"10df.f100.10df.f100", "LPe12002", "2.01A12", "5.12a3", "120"};
const ReportDevice kExampleDevice = {"10DF.F100.10DF.F100",
                                     "LPe12002",
                                     {{"Firmware", "2.01A12", "2.01A12", "rewrite", "120", "no"},
                                      {"Boot BIOS ROM", "5.12a3", "5.12a2", "upgrade", "120", ""}}};
const std::string kDiscovered = std::string(kRunUpToKit) + "Generating self-discovery XML...done.\n";
const char kRunUpToDiscovery[] =
    "---------------------------------------------------\n"
    "Loading references...done.\n"
    "Performing discovery...\n";

// The start of a setup line that runs the rest as nobody.
const char kAsNobody[] = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
// The harness's own folder around the working folder is root's alone; nobody may pass through.
const char kLetOthersIn[] = "chmod 711 ..";

// A run of the program over the stand-in kit that lists the example adapter.
E2eRun KitRun(const std::vector<std::string>& args, StandInKit kit = StandInKit()) {
  E2eRun run;
  run.args = args;
  run.files["reference.xml"] = CatalogueXml({kLpe12002});
  kit.listing = kExampleLine;
  AddStandInKit(run, kit);
  return run;
}

// The mode bits of what stands at the path (not following a link); -1 when nothing does.
int ModeOf(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

// The names in the folder, sorted; a temporary file left behind shows among them.
std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* listing = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(listing))
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) names.push_back(entry->d_name);
    closedir(listing);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string VarPath(const E2eResult& r, const std::string& relative) { return r.workDir + "/../var/" + relative; }

// The unpacked kit's folders and its script are 755, its image 644: writable by root alone.
void ExpectKitWritableByItsOwnerOnly(const E2eResult& r) {
  const int kKitModes[] = {0755, 0755, 0755, 0644};  // folder, lx, the script, the image
  for (size_t i = 0; i < sizeof kKitModes / sizeof kKitModes[0]; ++i)
    EXPECT_EQ(ModeOf(r.workDir + "/" + kKitEntries[i]), kKitModes[i]) << kKitEntries[i];
}

// Runs the program through the shell script in run.args while nobody runs the shell script `loop`
// without pause in the working folder; the loop ends with the run, and `looped` tells whether it
// was still going then.
E2eResult RunWhileNobodyLoops(E2eHarness& harness, E2eRun run, const std::string& loop, bool& looped) {
  run.program = "/bin/sh";
  run.files["loop.sh"] = loop;
  run.setup.push_back(kLetOthersIn);
  run.setup.push_back(std::string(kAsNobody) + "sh loop.sh & echo $! > loop.txt");
  E2eResult r = harness.Run(run);
  const pid_t pid = static_cast<pid_t>(std::atoi(r.ReadWorkFile("loop.txt").c_str()));
  looped = pid > 0 && kill(pid, SIGKILL) == 0;
  return r;
}

// Root runs the kit's script, so it must never run what another user wrote into it. Here nobody
// rewrites it without pause through a self-discovery and a flash run; the script was never
// writable by others, so both runs ran the package's own script, and it stays so.
TEST(SharedMachine, AnotherUserRewritingTheKitScriptNeverHasRootRunIt) {
  E2eRun run = KitRun({"-c", "\"$0\" /d report.xml > console-d.txt; echo $? > exit-d.txt; "
                             "\"$0\" /f > console-f.txt; echo $? > exit-f.txt",
                       FCHBA_BINARY});
  const char kRewriter[] =
      "while :; do\n"
      "  for f in elxflashStandalone*/lx/elxflash.sh; do\n"
      "    grep -q pwned \"$f\" || printf '#!/bin/sh\\nid -u > pwned\\n' > \"$f\"\n"
      "  done\n"
      "done 2>/dev/null\n";
  E2eHarness harness;
  bool rewriterRan = false;
  E2eResult r = RunWhileNobodyLoops(harness, run, kRewriter, rewriterRan);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_TRUE(rewriterRan);
  EXPECT_EQ(r.ReadWorkFile("exit-d.txt"), "3\n");
  EXPECT_EQ(r.ReadWorkFile("exit-f.txt"), "1\n");
  EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n/q /fc\n/fc /f\n");
  EXPECT_FALSE(r.WorkFileExists("pwned"));
  EXPECT_EQ(ModeOf(r.workDir + "/elxflashStandalone-t/lx/elxflash.sh"), 0755);
}

// The archive stores its folders open to all: unpacked in place, the kit's folder would let another
// user put a script of theirs at the script's path before its modes are narrowed. Here nobody
// plants one by rename without pause through three self-discoveries and a flash run; the kit is
// unpacked where only root can enter and put in place narrowed, so root runs the package's own
// script every time, and nothing unpacked, inside the kit's folder or beside it, stays writable
// by others.
TEST(SharedMachine, AnotherUserPlantingAScriptInALooseKitNeverHasRootRunIt) {
  StandInKit kit;
  kit.modes = KitModes::OpenToAll;
  E2eRun run = KitRun({"-c",
                       "for i in 1 2 3; do \"$0\" /d report-$i.xml > console-d$i.txt; echo $? >> exits.txt; done; "
                       "\"$0\" /f > console-f.txt; echo $? >> exits.txt",
                       FCHBA_BINARY},
                      kit);
  // Writes the script over the package's wherever the file lets it, and puts a script of its own
  // in its place wherever the folder does.
  const char kPlanter[] =
      "while :; do\n"
      "  for d in elxflashStandalone*/lx .fchba-unpack-*/elxflashStandalone*/lx; do\n"
      "    printf '#!/bin/sh\\nid -u > pwned\\n' > \"$d/elxflash.sh\" ||\n"
      "    { printf '#!/bin/sh\\nid -u > pwned\\n' > \"$d/planted\" && chmod 755 \"$d/planted\" &&\n"
      "      mv -f \"$d/planted\" \"$d/elxflash.sh\"; }\n"
      "  done\n"
      "done 2>/dev/null\n";
  E2eHarness harness;
  bool planterRan = false;
  E2eResult r = RunWhileNobodyLoops(harness, run, kPlanter, planterRan);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_TRUE(planterRan);
  EXPECT_EQ(r.ReadWorkFile("exits.txt"), "3\n3\n3\n1\n");
  EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n/q /fc\n/q /fc\n/q /fc\n/fc /f\n");
  EXPECT_FALSE(r.WorkFileExists("pwned"));
  ExpectKitWritableByItsOwnerOnly(r);
  EXPECT_EQ(ModeOf(r.workDir + "/" + kKitSideEntries[0]), 0755);
  EXPECT_EQ(ModeOf(r.workDir + "/" + kKitSideEntries[1]), 0644);
}

// An earlier unpacked copy of the kit is replaced whole: what an earlier kit or another user left
// in it is gone, not merged with the new one. The private folder that a killed run left behind
// is never taken for a kit, and goes.
TEST(SharedMachine, AnEarlierUnpackedKitIsReplacedWhole) {
  E2eRun run = KitRun({"/d", "report.xml"});
  run.files["elxflashStandalone-t/lx/elxflash.sh"] = "#!/bin/sh\necho stale >> kit-args.txt\n";
  run.files["elxflashStandalone-t/lx/left-by-an-earlier-kit"] = "";
  run.files[".fchba-unpack-Ab12Cd/new/elxflashStandalone-t/lx/elxflash.sh"] = "#!/bin/sh\necho dead >> kit-args.txt\n";
  run.setup.push_back("chmod -R 700 .fchba-unpack-Ab12Cd");
  E2eHarness harness;
  E2eResult r = harness.Run(run);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, kDiscovered);
  EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n");
  EXPECT_FALSE(r.WorkFileExists("elxflashStandalone-t/lx/left-by-an-earlier-kit"));
  EXPECT_FALSE(r.WorkFileExists(".fchba-unpack-Ab12Cd"));
  EXPECT_EQ(ModeOf(r.workDir + "/elxflashStandalone-t/lx/elxflash.sh"), 0755);
}

// Whatever umask the caller has and whatever modes the kit's archive stores, nothing that the run
// creates can be written by group or others: the log's folder and file, the lock, the report and
// the unpacked kit. A log folder that an earlier run left open to all is closed again.
TEST(SharedMachine, NothingTheRunCreatesCanBeWrittenByOthers) {
  struct Case {
    const char* what;
    const char* umask;
    KitModes modes;
    std::vector<std::string> setup;
  };
  const Case kCases[] = {
      {"umask 000, an archive without Unix modes", "000", KitModes::None, {}},
      {"umask 000, an archive whose modes are open to all", "000", KitModes::OpenToAll, {}},
      {"umask 022, an archive whose modes are open to all", "022", KitModes::OpenToAll, {}},
      {"umask 000, a log folder that an earlier run left open to all", "000", KitModes::None,
       {"mkdir -p /var/zmt && chmod 777 /var/zmt"}},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    StandInKit kit;
    kit.modes = c.modes;
    E2eRun run = KitRun({"/d", "report.xml"}, kit);
    run.setup.insert(run.setup.end(), c.setup.begin(), c.setup.end());
    run.setup.push_back(std::string("umask ") + c.umask);
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, kDiscovered);
    EXPECT_EQ(r.ReadWorkFile("report.xml"), ReportXml({kExampleDevice}));
    EXPECT_EQ(ModeOf(VarPath(r, "zmt")), 0755);
    EXPECT_EQ(ModeOf(VarPath(r, "zmt/Component.log")), 0644);
    EXPECT_EQ(ModeOf(VarPath(r, "zmt/Component.lock")), 0600);
    EXPECT_EQ(ModeOf(r.workDir + "/report.xml"), 0644);
    ExpectKitWritableByItsOwnerOnly(r);
  }
}

// Another user's links in a log folder that an earlier run left open to all: the one at the log's
// path is not followed, so the run's lines do not reach the root-only file it points to (each
// item says so on the console), and the one at the lock's path neither creates nor opens a file.
TEST(SharedMachine, AnotherUsersLinksInTheLogFolderAreNotFollowed) {
  const std::vector<std::string> kItems = {
      "---------------------------------------------------\n", "Loading references...", "done.\n",
      "Performing discovery...\n", "Preparing the Emulex Kit...", "done\n", "Generating self-discovery XML...",
      "done.\n"};
  std::string console;
  for (const std::string& item : kItems) console += item + "ERROR : Unable to write to log file\n";
  E2eRun run = KitRun({"/d", "report.xml"});
  run.setup.insert(run.setup.end(), {kLetOthersIn, "mkdir -p /var/zmt && chmod 777 /var/zmt",
                                     "echo secret > root-only && chmod 600 root-only",
                                     std::string(kAsNobody) + "ln -s \"$PWD/root-only\" /var/zmt/Component.log",
                                     std::string(kAsNobody) + "ln -s \"$PWD/planted\" /var/zmt/Component.lock"});
  E2eHarness harness;
  E2eResult r = harness.Run(run);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, console);
  EXPECT_EQ(r.ReadWorkFile("root-only"), "secret\n");
  EXPECT_FALSE(r.WorkFileExists("planted"));
  EXPECT_EQ(ModeOf(VarPath(r, "zmt")), 0755);
  EXPECT_EQ(r.ReadWorkFile("report.xml"), ReportXml({kExampleDevice}));
}

// unzip takes options from UNZIP and UNZIPOPT before its command line's: any of these would leave
// the kit of the same name that an earlier package unpacked in place, and the run would list it.
// Only unzip goes without them; the kit's tools see the caller's environment whole.
TEST(SharedMachine, CallersUnzipOptionsLeaveNoEarlierKitInPlace) {
  const char* const kSettings[] = {"UNZIP=-n", "UNZIPOPT=-n", "UNZIP=-l", "UNZIP=-t", "UNZIP='-d elsewhere'"};
  E2eHarness harness;
  for (const char* setting : kSettings) {
    SCOPED_TRACE(setting);
    StandInKit kit;
    kit.script =
        "#!/bin/sh\n"
        "echo \"$*\" >> kit-args.txt\n"
        "echo \"${UNZIP-} ${UNZIPOPT-} ${FCHBA_MARK-}\" > kit-environment.txt\n"
        "cat kit-listing.txt\n";
    E2eRun run = KitRun({"/d", "report.xml"}, kit);
    run.files["elxflashStandalone-t/lx/elxflash.sh"] = "#!/bin/sh\necho stale >> kit-args.txt\n";
    run.setup.push_back(std::string("export FCHBA_MARK=seen ") + setting);
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, kDiscovered);
    EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n");
    EXPECT_EQ(r.ReadWorkFile("report.xml"), ReportXml({kExampleDevice}));
    EXPECT_NE(r.ReadWorkFile("kit-environment.txt").find(" seen\n"), std::string::npos);
    EXPECT_NE(r.ReadWorkFile("kit-environment.txt"), "  seen\n");  // the tool still sees the setting
  }
}

// The kit's commands name the script by its pattern. An earlier package's kit left unpacked under
// another name makes it name two, and the shell would run the one that sorts first: the run then
// lists and flashes nothing and names both, whatever was asked.
TEST(SharedMachine, ASecondKitScriptStopsTheRunBeforeAnyToolRuns) {
  const std::string failed = std::string(kRunUpToDiscovery) +
                             "Preparing the Emulex Kit...FAILED!\n"
                             "ERROR! : More than one kit script was found, so the package's own cannot be told: "
                             "./elxflashStandalone-10/lx/elxflash.sh ./elxflashStandalone-t/lx/elxflash.sh\n";
  const std::vector<std::string> kArgs[] = {{"/d", "report.xml"}, {}, {"/f"}};
  E2eHarness harness;
  for (const std::vector<std::string>& args : kArgs) {
    SCOPED_TRACE(args.empty() ? "unforced" : args[0]);
    E2eRun run = KitRun(args);
    run.files["elxflashStandalone-10/lx/elxflash.sh"] = "#!/bin/sh\necho stale >> kit-args.txt\n";
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_EQ(r.out, failed);
    EXPECT_EQ(r.log, failed);
    EXPECT_FALSE(r.WorkFileExists("kit-args.txt"));
    EXPECT_FALSE(r.WorkFileExists("report.xml"));
    EXPECT_EQ(ModeOf(r.workDir + "/elxflashStandalone-10/lx/elxflash.sh"), 0644);  // not made executable
  }
}

// A folder that others can write, as /tmp is.
const char kSharedFolder[] = "mkdir -m 1777 shared";

// A report path in a folder that others can write (/tmp is the usual place): whatever another user
// put at the path stays as it was, and the path then holds a report of root's own, with the mode a
// new report gets. In a folder that only root can write, the path is written as it stands, a link
// that root made there included.
TEST(SharedMachine, ReportInAFolderOthersCanWriteIsAFileOfItsOwn) {
  struct Case {
    const char* what;
    std::vector<std::string> setup;
    const char* path;       // where the report is written
    const char* reportAt;   // where it is to be found
    bool replacesThePath;   // the path ends as a plain file of root's, mode 0644
  };
  const char kRootOnly[] = "echo secret > root-only && chmod 600 root-only";
  const Case kCases[] = {
      {"another user's link to a root-only file", {kSharedFolder, kRootOnly,
        std::string(kAsNobody) + "ln -s \"$PWD/root-only\" shared/report.xml"}, "shared/report.xml",
       "shared/report.xml", true},
      {"a hard link to a root-only file", {kSharedFolder, kRootOnly, "ln root-only shared/report.xml"},
       "shared/report.xml", "shared/report.xml", true},
      {"a file that another user made", {kSharedFolder, kRootOnly,
        std::string(kAsNobody) + "sh -c 'umask 0; echo mine > shared/report.xml'"}, "shared/report.xml",
       "shared/report.xml", true},
      {"a folder of another user's", {kRootOnly, "mkdir theirs && chown nobody theirs"}, "theirs/report.xml",
       "theirs/report.xml", true},
      {"root's own folder, through root's link", {kRootOnly, "mkdir own && ln -s ../linked.xml own/report.xml"},
       "own/report.xml", "linked.xml", false},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    E2eRun run = KitRun({"/d", c.path});
    run.setup.push_back(kLetOthersIn);
    run.setup.insert(run.setup.end(), c.setup.begin(), c.setup.end());
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, kDiscovered);
    EXPECT_EQ(r.ReadWorkFile("root-only"), "secret\n");
    EXPECT_EQ(r.ReadWorkFile(c.reportAt), ReportXml({kExampleDevice}));
    struct stat report;
    ASSERT_EQ(lstat((r.workDir + "/" + c.path).c_str(), &report), 0);
    if (c.replacesThePath) {
      EXPECT_TRUE(S_ISREG(report.st_mode));
      EXPECT_EQ(report.st_uid, 0u);
      EXPECT_EQ(report.st_nlink, 1u);
      EXPECT_EQ(report.st_mode & 07777, 0644u);
    } else {
      EXPECT_TRUE(S_ISLNK(report.st_mode));
    }
  }
}

// Runs the program as a root without the capabilities named (as setpriv takes them, "-cap,-cap"):
// dropped from the bounding and inheritable sets, so root's exec'd program does not get them.
void RunWithout(E2eRun& run, const std::string& capabilities) {
  run.program = "setpriv";
  run.args.insert(run.args.begin(),
                  {"--bounding-set=" + capabilities, "--inh-caps=" + capabilities, FCHBA_BINARY});
}

// A report that replaces a plain file of root's own with a single link keeps that file's mode and
// group, less the set-id, sticky and group and other write bits; a new one has the mode the umask
// gives, also a stricter umask than the run's own 022. A root that cannot give the report that
// group leaves its group bits out. The folder holds nothing else afterwards.
TEST(SharedMachine, ReportReplacingRootsOwnKeepsItsModeAndGroup) {
  struct Case {
    const char* what;
    const char* setup;
    unsigned mode;
    gid_t group;
    bool withoutChown = false;
  };
  const Case kCases[] = {
      {"root's report, 0600", "echo old > shared/report.xml && chmod 600 shared/report.xml", 0600, 0},
      {"root's report of group 4 (adm), 0640",
       "echo old > shared/report.xml && chgrp 4 shared/report.xml && chmod 640 shared/report.xml", 0640, 4},
      {"root's report of group 4, 0640, by a root that cannot give files to a group",
       "echo old > shared/report.xml && chgrp 4 shared/report.xml && chmod 640 shared/report.xml", 0600, 0, true},
      {"root's report with set-id, sticky and write bits for all",
       "echo old > shared/report.xml && chmod 7777 shared/report.xml", 0755, 0},
      {"a new report under umask 077", "umask 077", 0600, 0},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    E2eRun run = KitRun({"/d", "shared/report.xml"});
    run.setup.insert(run.setup.end(), {kSharedFolder, c.setup});
    if (c.withoutChown) RunWithout(run, "-chown");
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, kDiscovered);
    EXPECT_EQ(r.ReadWorkFile("shared/report.xml"), ReportXml({kExampleDevice}));
    struct stat report;
    ASSERT_EQ(lstat((r.workDir + "/shared/report.xml").c_str(), &report), 0);
    EXPECT_TRUE(S_ISREG(report.st_mode));
    EXPECT_EQ(report.st_uid, 0u);
    EXPECT_EQ(report.st_gid, c.group);
    EXPECT_EQ(report.st_mode & 07777, c.mode);
    EXPECT_EQ(NamesIn(r.workDir + "/shared"), std::vector<std::string>{"report.xml"});
  }
}

// The report is saved under any name its folder takes (up to 255 bytes), and in a folder that
// root may write and search but not read: as a root without the capabilities that pass over
// permissions meets one (on a network file system that maps root to nobody, for one).
TEST(SharedMachine, ReportIsSavedUnderAnyNameAndWithoutReadingTheFolder) {
  struct Case {
    const char* what;
    const char* setup;
    std::string path;
    bool withoutOverridingPermissions;
  };
  const Case kCases[] = {
      {"a 255-byte name in a folder others can write", kSharedFolder,
       "shared/" + std::string(251, 'r') + ".xml", false},
      {"a folder others can write and root may not read", "mkdir -m 1333 dropbox", "dropbox/report.xml", true},
      {"a folder of root's alone that root may not read", "mkdir -m 300 own", "own/report.xml", true},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    E2eRun run = KitRun({"/d", c.path});
    run.setup.push_back(c.setup);
    if (c.withoutOverridingPermissions) RunWithout(run, "-dac_override,-dac_read_search");
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_EQ(r.out, kDiscovered);
    EXPECT_EQ(r.ReadWorkFile(c.path), ReportXml({kExampleDevice}));
    EXPECT_EQ(ModeOf(r.workDir + "/" + c.path), 0644);
  }
}

// A run ended by SIGTERM, SIGINT or SIGHUP while it saves (caught as it creates its new file)
// leaves no file behind and the old report whole. A signal that the caller ignores stays ignored:
// that run saves its report.
TEST(SharedMachine, ReportSaveEndedBySignalLeavesNoTemporaryFile) {
  struct Case {
    const char* what;
    int signal;
    const char* callerSetup;
    bool saved;
  };
  const Case kCases[] = {
      {"SIGTERM", SIGTERM, "", false},
      {"SIGINT", SIGINT, "", false},
      {"SIGHUP", SIGHUP, "", false},
      {"SIGHUP that the caller ignores", SIGHUP, "trap '' HUP", true},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    E2eRun run = KitRun({"--signal-at-open", std::to_string(c.signal), "shared", "--", FCHBA_BINARY, "/d",
                         "shared/report.xml"});
    run.program = FCHBA_LAUNCHER;
    run.setup.insert(run.setup.end(), {kSharedFolder, "echo old > shared/report.xml", c.callerSetup});
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.err, "");
    if (c.saved) {
      EXPECT_EQ(r.exitCode, 3);
      EXPECT_EQ(r.ReadWorkFile("shared/report.xml"), ReportXml({kExampleDevice}));
    } else {
      EXPECT_TRUE(r.signaled);
      EXPECT_EQ(r.signal, c.signal);
      EXPECT_EQ(r.ReadWorkFile("shared/report.xml"), "old\n");
    }
    EXPECT_EQ(NamesIn(r.workDir + "/shared"), std::vector<std::string>{"report.xml"});
  }
}

// A folder with an access list counts as one that others can write, as it always has, also where
// the list's mask lets no one else write: root's hard link there is replaced, not written through.
TEST(SharedMachine, ReportInAFolderWithAnAccessListIsAFileOfItsOwn) {
  char top[] = "/tmp/fchbaaclXXXXXX";
  ASSERT_NE(mkdtemp(top), nullptr);
  struct Removal {
    std::string path;
    ~Removal() { RemoveFolder(path); }
  } removal{top};
  const std::string folder = std::string(top) + "/listed";
  ASSERT_TRUE(WriteFileBytes(std::string(top) + "/root-only", "secret\n"));
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  // The kernel's form of "user::rwx user:nobody:rwx group::r-x mask::r-x other::r-x".
  struct AccessEntry {
    uint16_t tag, permissions;
    uint32_t id;
  };
  const uint32_t kVersion = 2, kNoId = UINT32_MAX;
  const AccessEntry kEntries[] = {
      {0x01, 7, kNoId}, {0x02, 7, 65534}, {0x04, 5, kNoId}, {0x10, 5, kNoId}, {0x20, 5, kNoId}};
  std::string list(reinterpret_cast<const char*>(&kVersion), sizeof kVersion);
  list.append(reinterpret_cast<const char*>(kEntries), sizeof kEntries);
  ASSERT_EQ(setxattr(folder.c_str(), "system.posix_acl_access", list.data(), list.size(), 0), 0);
  ASSERT_EQ(ModeOf(folder), 0755);
  ASSERT_EQ(link((std::string(top) + "/root-only").c_str(), (folder + "/report.xml").c_str()), 0);

  E2eHarness harness;
  E2eResult r = harness.Run(KitRun({"/d", folder + "/report.xml"}));
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(ReadFileBytes(std::string(top) + "/root-only"), "secret\n");
  EXPECT_EQ(ReadFileBytes(folder + "/report.xml"), ReportXml({kExampleDevice}));
  struct stat report;
  ASSERT_EQ(lstat((folder + "/report.xml").c_str(), &report), 0);
  EXPECT_EQ(report.st_nlink, 1u);
}

// A report to the standard output, a device in root's /dev, is written there as before.
TEST(SharedMachine, ReportToTheStandardOutputStillWorks) {
  E2eRun run = KitRun({"-c", "\"$0\" /d /dev/stdout | cat > piped.txt", FCHBA_BINARY});
  run.program = "/bin/sh";
  E2eHarness harness;
  E2eResult r = harness.Run(run);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_NE(r.ReadWorkFile("piped.txt").find(ReportXml({kExampleDevice})), std::string::npos);
  EXPECT_EQ(r.log, kDiscovered);
}
}  // namespace
