// Runs the built fchba-update as a user would: in a fresh working folder, with the test's files,
// inside a private mount namespace whose /etc and /var are the test's own (sandbox.sh). A run
// whose namespace cannot be set up fails the test; it never skips.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

struct E2eRun {
  std::vector<std::string> args;                // after the program name
  std::map<std::string, std::string> files;     // working folder: relative path -> content
  std::map<std::string, std::string> rootFiles; // inside the namespace: "/etc/redhat-release" -> content
  std::vector<std::string> setup;               // shell lines run in the working folder before the run
  bool readOnlyVar = false;                     // /var cannot be written, so the log cannot be made
  // When not empty, /var/zmt is a tmpfs of this size (whole 4 KiB pages, e.g. "8k") that rootFiles
  // under /var/zmt can fill; a program ended by a signal then reads as exit code 128 plus its number.
  std::string zmtTmpfsSize;
  bool usrAndSys = false;                       // also private /usr (with /lib) and an empty /sys
  // How the caller starts the program: with SIGCHLD ignored, and with a file-size limit in bytes
  // (0: none). Both apply to the program and what it starts, not to the setup lines.
  bool ignoreSigchld = false;
  unsigned long fileSizeLimit = 0;
  std::string program;                          // the binary; the built fchba-update when empty
};

struct E2eResult {
  bool started = false;  // false: the sandbox could not be set up (see error)
  int exitCode = -1;
  bool signaled = false;
  int signal = 0;
  bool timedOut = false;  // killed at the harness's time limit (then also signaled)
  std::string out;
  std::string err;
  std::string log;  // the bytes of /var/zmt/Component.log after the run, when it is a regular file
  bool logExists = false;  // also true for a link, which is not followed
  long maxRssKiB = 0;  // the largest resident size of the program or of anything it waited for
  std::string workDir;  // the working folder, kept until the harness object is destroyed
  std::string error;

  // The bytes of a file in the working folder; empty when it does not exist.
  std::string ReadWorkFile(const std::string& relative) const;
  bool WorkFileExists(const std::string& relative) const;
};

class E2eHarness {
 public:
  E2eHarness();
  ~E2eHarness();  // removes every folder that its runs made
  E2eHarness(const E2eHarness&) = delete;
  E2eHarness& operator=(const E2eHarness&) = delete;

  // rootFiles may hold "/var/zmt/Component.log" to start the run with an existing log.
  E2eResult Run(const E2eRun& run);

 private:
  std::vector<std::string> tempDirs_;
};

std::string ReadFileBytes(const std::string& path, bool* exists = nullptr);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// True once the process has ended: it is gone, or it is a zombie that a parent other than this
// process has yet to reap (one that cannot be this process's subreaper left it to init).
bool ProcessHasEnded(pid_t pid);
// Removes a folder that the tests made (a path without single quotes) with everything in it.
void RemoveFolder(const std::string& path);
