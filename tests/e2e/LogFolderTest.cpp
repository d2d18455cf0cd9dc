// What an earlier version, run under a loose umask, left in /var/zmt while another user was at
// work there: once a run has started, the folder, the log and the lock are root's and writable by
// root only; what the other user put at the log's path is not written through, and nothing they
// opened before can write into the log or hold the lock. Each case runs a self-discovery and then
// a run that needs a flash, one after the other; nobody is the other user.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "StandInKit.h"

namespace {
const char kExampleLine[] =
    "HBA=LPe12002-M8, PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, Boot Code=UB5.12a2\n";
const CatalogueEntry kLpe12002 = {"10df.f100.10df.f100", "LPe12002", "2.01A12", "5.12a3", "120"};
const char kAsNobody[] = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
const char kFolderOfNobodys[] = "mkdir -p /var/zmt && chown nobody:nogroup /var/zmt && chmod 777 /var/zmt";
const char kLogError[] = "ERROR : Unable to write to log file\n";

const std::string kDiscovered = std::string(kRunUpToKit) + "Generating self-discovery XML...done.\n";
const std::string kFlashStart = std::string(kRunUpToKit) +
                                "Performing flash -- DO NOT INTERRUPT!\n"
                                "Executing flash engine: ./elxflashStandalone*/lx/elxflash.sh /fc  /update "
                                "1>> /var/zmt/Component.log 2>> /var/zmt/Component.log 3>> /var/zmt/Component.log\n";
const std::string kFlashed =
    kFlashStart + "Flash Engine exit code: 0\nAll updates were successful.  Reboot needed.\nFlash complete [1]\n";
const std::string kNoToolStarted = kFlashStart + "Flash Engine exit code: 2\nAll updates failed.\nFlash complete [7]\n";

// The self-discovery, then the flash run; then the lines of the case, each in its own file.
const char kRuns[] =
    "\"$0\" /d report.xml > console-d.txt; echo $? > exit-d.txt\n"
    "\"$0\" > console-f.txt; echo $? > exit-f.txt\n"
    "[ ! -f after-runs.sh ] || . ./after-runs.sh\n";

std::string WithoutLogErrors(std::string text) {
  for (size_t at = text.find(kLogError); at != std::string::npos; at = text.find(kLogError, at))
    text.erase(at, std::string(kLogError).size());
  return text;
}

struct FileState {
  bool exists;
  unsigned uid;
  unsigned mode;  // the type and mode bits
  unsigned links;
  bool operator==(const FileState& other) const {
    return exists == other.exists && uid == other.uid && mode == other.mode && links == other.links;
  }
};

std::ostream& operator<<(std::ostream& out, const FileState& state) {
  return out << (state.exists ? "" : "missing ") << "uid " << state.uid << " mode " << std::oct << state.mode
             << std::dec << " links " << state.links;
}

FileState StateOf(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return {false, 0, 0, 0};
  return {true, info.st_uid, info.st_mode, static_cast<unsigned>(info.st_nlink)};
}

const unsigned kNobody = 65534;

TEST(LogFolder, WhatAnotherUserLeftBecomesRootsOrIsNotWrittenThrough) {
  struct Case {
    const char* what;
    std::vector<std::string> setup;  // as root in the working folder, before the runs
    std::string afterRuns;           // shell lines run once both runs have ended
    bool linesReachTheLog;           // otherwise every item says that it did not
    std::string flashConsole;        // the flash run's console, without the log's error lines
    std::function<void(const E2eResult&, const std::string& var)> check;
  };
  const std::string nobodysLog = std::string(kAsNobody) + "sh -c 'umask 0; echo earlier > /var/zmt/Component.log'";
  const std::string rootOnly = "echo secret > root-only && chmod 600 root-only";
  const Case kCases[] = {
      {"a folder and a log of another user's, open to all",
       {kFolderOfNobodys, nobodysLog},
       "",
       true,
       kFlashed,
       [](const E2eResult& r, const std::string& var) {
         EXPECT_EQ(StateOf(var + "/zmt/Component.log"), (FileState{true, 0, S_IFREG | 0644, 1}));
         EXPECT_EQ(StateOf(var + "/zmt/Component.lock"), (FileState{true, 0, S_IFREG | 0600, 1}));
         EXPECT_EQ(r.log.substr(0, 8), "earlier\n");  // the log keeps its earlier lines
       }},
      {"another user's FIFO at the log's path",
       {kFolderOfNobodys, std::string(kAsNobody) + "mkfifo -m 666 /var/zmt/Component.log"},
       "",
       false,
       kNoToolStarted,
       [](const E2eResult&, const std::string& var) {
         EXPECT_EQ(StateOf(var + "/zmt/Component.log"), (FileState{true, kNobody, S_IFIFO | 0666, 1}));
       }},
      {"another user's link at the log's path",
       {kFolderOfNobodys, rootOnly, std::string(kAsNobody) + "ln -s \"$PWD/root-only\" /var/zmt/Component.log"},
       "",
       false,
       kNoToolStarted,
       [](const E2eResult& r, const std::string&) { EXPECT_EQ(r.ReadWorkFile("root-only"), "secret\n"); }},
      // Another user can link a file of root's there only on a kernel without hard-link protection;
      // root's own link stands in for it.
      {"a second hard link at the log's path",
       {kFolderOfNobodys, "echo secret > /var/root-only && chmod 600 /var/root-only",
        "ln /var/root-only /var/zmt/Component.log"},
       "",
       false,
       kNoToolStarted,
       [](const E2eResult&, const std::string& var) {
         EXPECT_EQ(ReadFileBytes(var + "/root-only"), "secret\n");
         EXPECT_EQ(StateOf(var + "/zmt/Component.log"), (FileState{true, 0, S_IFREG | 0600, 2}));
       }},
      // It writes into the log all the time through a descriptor it opened before the runs; once a
      // run holds the lock, the log is a copy that the descriptor no longer reaches.
      {"a log that another user holds open for writing",
       {kFolderOfNobodys,
        std::string(kAsNobody) +
            "sh -c 'umask 0; exec 3>> /var/zmt/Component.log; while :; do echo forged >&3; sleep 0.01; done' &"
            " echo $! > holder.txt",
        "until grep -q forged /var/zmt/Component.log 2>/dev/null; do sleep 0.01; done"},
       "sleep 0.3; kill $(cat holder.txt)\n",
       true,
       kFlashed,
       [](const E2eResult& r, const std::string& var) {
         EXPECT_EQ(StateOf(var + "/zmt/Component.log"), (FileState{true, 0, S_IFREG | 0644, 1}));
         const size_t runs = r.log.find("-----");
         ASSERT_NE(runs, std::string::npos);
         EXPECT_EQ(r.log.find("forged", runs), std::string::npos) << r.log;
       }},
      // It holds the lock on the file it opened while the file let it; the runs neither wait for
      // it nor leave a file that it could open.
      {"a lock file of another user's, held by them",
       {kFolderOfNobodys, std::string(kAsNobody) + "sh -c 'umask 022; : > /var/zmt/Component.lock'",
        std::string(kAsNobody) + "flock /var/zmt/Component.lock sleep 60 & echo $! > holder.txt",
        "while flock -n /var/zmt/Component.lock true; do sleep 0.01; done"},
       std::string(kAsNobody) + "flock -n /var/zmt/Component.lock true 2>/dev/null; echo $? > nobody-lock.txt\n"
                                "kill $(cat holder.txt)\n",
       true,
       kFlashed,
       [](const E2eResult& r, const std::string& var) {
         EXPECT_EQ(StateOf(var + "/zmt/Component.lock"), (FileState{true, 0, S_IFREG | 0600, 1}));
         EXPECT_NE(r.ReadWorkFile("nobody-lock.txt"), "0\n");
       }},
      // A lock that cannot be taken lets no tool start; the file the link names keeps its owner and
      // mode.
      {"a second hard link at the lock's path",
       {kFolderOfNobodys,
        std::string(kAsNobody) + "sh -c 'umask 022; : > /var/zmt/mine; ln /var/zmt/mine /var/zmt/Component.lock'"},
       "",
       true,
       kFlashStart +
           "ERROR! : The run lock /var/zmt/Component.lock could not be taken, so no flash tool was started.\n"
           "Flash Engine exit code: 2\nAll updates failed.\nFlash complete [7]\n",
       [](const E2eResult&, const std::string& var) {
         EXPECT_EQ(StateOf(var + "/zmt/Component.lock"), (FileState{true, kNobody, S_IFREG | 0644, 2}));
       }},
      {"root's own link to /dev/null at the log's path",
       {"mkdir -p /var/zmt && ln -s /dev/null /var/zmt/Component.log"},
       "",
       true,
       kFlashed,
       [](const E2eResult&, const std::string& var) {
         EXPECT_EQ(StateOf(var + "/zmt/Component.log").mode & S_IFMT, unsigned(S_IFLNK));
       }},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    E2eRun run;
    run.program = "/bin/sh";
    run.args = {"-c", kRuns, FCHBA_BINARY};
    run.files["reference.xml"] = CatalogueXml({kLpe12002});
    if (!c.afterRuns.empty()) run.files["after-runs.sh"] = c.afterRuns;
    StandInKit kit;
    kit.listing = kExampleLine;
    AddStandInKit(run, kit);
    // nobody works in the working folder and may pass through the harness's folder to it.
    run.setup.insert(run.setup.end(), {"chmod 711 ..", "chmod 777 ."});
    run.setup.insert(run.setup.end(), c.setup.begin(), c.setup.end());
    run.setup.push_back("chmod 755 .");
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_FALSE(r.timedOut);
    if (r.timedOut) continue;
    const std::string var = r.workDir + "/../var";
    const FileState folder = StateOf(var + "/zmt");
    EXPECT_EQ(folder.uid, 0u);
    EXPECT_EQ(folder.mode, unsigned(S_IFDIR | 0755));
    EXPECT_EQ(r.ReadWorkFile("exit-d.txt"), "3\n");
    EXPECT_EQ(r.ReadWorkFile("exit-f.txt"), c.flashConsole == kFlashed ? "1\n" : "7\n");
    EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), c.flashConsole == kFlashed ? "/q /fc\n/q /fc\n/fc /update\n" : "/q /fc\n/q /fc\n");
    const std::string discoveryConsole = r.ReadWorkFile("console-d.txt");
    const std::string flashConsole = r.ReadWorkFile("console-f.txt");
    EXPECT_EQ(WithoutLogErrors(discoveryConsole), kDiscovered);
    EXPECT_EQ(WithoutLogErrors(flashConsole), c.flashConsole);
    const bool errors = discoveryConsole.find(kLogError) != std::string::npos;
    EXPECT_EQ(errors, !c.linesReachTheLog);
    // The log ends with the runs' lines, and the flash tool's output among them.
    if (c.linesReachTheLog && StateOf(var + "/zmt/Component.log").mode == (S_IFREG | 0644)) {
      std::string runs = kDiscovered + c.flashConsole;
      if (c.flashConsole == kFlashed) runs.insert(kDiscovered.size() + kFlashStart.size(), kToolOutput);
      ASSERT_GE(r.log.size(), runs.size());
      EXPECT_EQ(r.log.substr(r.log.size() - runs.size()), runs);
    }
    c.check(r, var);
  }
}
}  // namespace
