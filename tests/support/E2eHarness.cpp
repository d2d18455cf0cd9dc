#include "E2eHarness.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace {
// Longer than any run takes, also under the sanitizers; a run past it is taken for a hang.
const int kRunTimeLimitSeconds = 90;

bool MakeParents(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    std::string dir = path.substr(0, slash);
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// Writes each file below `base` (its name appended as it is); the name of the first that fails
// goes into `error`.
bool WriteFiles(const std::string& base, const std::map<std::string, std::string>& files, std::string& error) {
  for (const auto& file : files) {
    if (!WriteFileBytes(base + file.first, file.second)) {
      error = "cannot write " + file.first;
      return false;
    }
  }
  return true;
}

// Waits for the run to end; false when it was still running at the time limit, after which
// its process group is killed and reaped.
bool WaitWithinLimit(pid_t pid, int& status, struct rusage& usage) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kRunTimeLimitSeconds);
  for (auto pause = std::chrono::milliseconds(1); std::chrono::steady_clock::now() < deadline;
       pause = std::min(pause * 2, std::chrono::milliseconds(50))) {
    const pid_t ended = wait4(pid, &status, WNOHANG, &usage);
    if (ended == pid || (ended < 0 && errno != EINTR)) return true;
    std::this_thread::sleep_for(pause);
  }
  kill(-pid, SIGKILL);
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  return false;
}
}  // namespace

std::string ReadFileBytes(const std::string& path, bool* exists) {
  std::ifstream in(path, std::ios::binary);
  if (exists) *exists = in.is_open();
  if (!in.is_open()) return std::string();
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  if (!MakeParents(path)) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

std::string E2eResult::ReadWorkFile(const std::string& relative) const {
  return ReadFileBytes(workDir + "/" + relative);
}

bool E2eResult::WorkFileExists(const std::string& relative) const {
  struct stat info;
  return stat((workDir + "/" + relative).c_str(), &info) == 0;
}

bool ProcessHasEnded(pid_t pid) {
  const std::string stat = ReadFileBytes("/proc/" + std::to_string(pid) + "/stat");
  const size_t nameEnd = stat.rfind(')');
  if (nameEnd == std::string::npos) return true;  // gone
  std::istringstream fields(stat.substr(nameEnd + 1));
  char state = 0;
  pid_t parent = 0;
  fields >> state >> parent;
  return state == 'Z' && parent != getpid();
}

E2eHarness::E2eHarness() = default;

void RemoveFolder(const std::string& path) { (void)std::system(("rm -rf '" + path + "'").c_str()); }

E2eHarness::~E2eHarness() {
  for (const std::string& dir : tempDirs_) RemoveFolder(dir);
}

E2eResult E2eHarness::Run(const E2eRun& run) {
  E2eResult result;
  // Letters and digits only: paths of this folder may end up in files whose readers cut at a hyphen.
  char pattern[] = "/tmp/fchbae2eXXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    result.error = "cannot create a temporary folder";
    return result;
  }
  const std::string top = pattern;
  tempDirs_.push_back(top);
  result.workDir = top + "/work";
  const std::string varDir = top + "/var";
  const std::string rootDir = top + "/root";
  mkdir(result.workDir.c_str(), 0755);
  mkdir(varDir.c_str(), 0755);
  mkdir(rootDir.c_str(), 0755);
  if (!WriteFiles(result.workDir + "/", run.files, result.error) || !WriteFiles(rootDir, run.rootFiles, result.error))
    return result;
  std::string setup;
  for (const std::string& line : run.setup) setup += line + "\n";
  std::string launcher;
  if (run.ignoreSigchld || run.fileSizeLimit != 0) {
    launcher = std::string("\"") + FCHBA_LAUNCHER + "\"";
    if (run.ignoreSigchld) launcher += " --ignore-sigchld";
    if (run.fileSizeLimit != 0) launcher += " --file-size-limit " + std::to_string(run.fileSizeLimit);
    launcher += " -- ";
  }
  setup += "exec " + launcher + "\"$0\" \"$@\"\n";

  std::vector<std::string> argv = {FCHBA_SANDBOX_SCRIPT, "--var", varDir, "--root", rootDir, "--work", result.workDir};
  if (run.readOnlyVar) argv.push_back("--ro-var");
  if (!run.zmtTmpfsSize.empty()) argv.insert(argv.end(), {"--zmt-tmpfs", run.zmtTmpfsSize});
  if (run.usrAndSys) {
    argv.push_back("--usr");
    argv.push_back("--sys");
  }
  argv.insert(argv.end(), {"--", "/bin/sh", "-c", setup, run.program.empty() ? FCHBA_BINARY : run.program});
  argv.insert(argv.end(), run.args.begin(), run.args.end());

  const std::string outPath = top + "/stdout";
  const std::string errPath = top + "/stderr";
  pid_t pid = fork();
  if (pid < 0) {
    result.error = "cannot fork";
    return result;
  }
  if (pid == 0) {
    // A group of its own, so that a run past its time limit ends with everything it started.
    setpgid(0, 0);
    int in = open("/dev/null", O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> raw;
    for (std::string& arg : argv) raw.push_back(&arg[0]);
    raw.push_back(nullptr);
    execv(raw[0], raw.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  result.timedOut = !WaitWithinLimit(pid, status, usage);
  result.maxRssKiB = usage.ru_maxrss;
  result.out = ReadFileBytes(outPath);
  result.err = ReadFileBytes(errPath);
  const std::string logPath = varDir + "/zmt/Component.log";
  struct stat logInfo;
  result.logExists = lstat(logPath.c_str(), &logInfo) == 0;
  if (result.logExists && S_ISREG(logInfo.st_mode)) result.log = ReadFileBytes(logPath);
  if (WIFSIGNALED(status)) {
    result.signaled = true;
    result.signal = WTERMSIG(status);
    result.started = true;
    return result;
  }
  result.exitCode = WEXITSTATUS(status);
  if (result.exitCode == 125 && result.err.rfind("sandbox:", 0) == 0) {
    result.error = "the mount namespace could not be set up: " + result.err;
    return result;
  }
  result.started = true;
  return result;
}
