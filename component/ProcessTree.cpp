#include "ProcessTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>

namespace {
// A process in uninterruptible sleep dies only once its wait ends; past this the run goes on.
const std::chrono::seconds kEndingTimeLimit(10);
const std::chrono::milliseconds kLongestPause(20);

bool AllDigits(const char* text) {
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (*text < '0' || *text > '9') return false;
  }
  return true;
}

// Every process /proc shows, sorted by parent; false when /proc is missing or is not this
// process's own (a /proc of another PID namespace names other processes by these numbers).
bool ReadProcessTable(std::vector<ProcessStat>& table) {
  table.clear();
  char self[32] = {};
  if (readlink("/proc/self", self, sizeof self - 1) <= 0 || std::to_string(getpid()) != self) return false;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return false;
  while (const dirent* item = readdir(proc)) {
    ProcessStat entry{};
    if (AllDigits(item->d_name) && ReadProcessStat(static_cast<pid_t>(std::atoi(item->d_name)), entry))
      table.push_back(entry);
  }
  closedir(proc);
  std::sort(table.begin(), table.end(),
            [](const ProcessStat& a, const ProcessStat& b) { return a.parent < b.parent; });
  return true;
}

// The descendants of `root` in the table, parents before their children, without the children
// of root listed in `left` and their subtrees; then the other processes of the table that hold the
// file `held` open.
std::vector<ProcessStat> EndingTargets(const std::vector<ProcessStat>& table, pid_t root,
                                        const std::vector<pid_t>& left, const struct stat& held) {
  std::vector<ProcessStat> found;
  std::vector<pid_t> parents = {root};
  for (size_t next = 0; next < parents.size(); ++next) {
    const pid_t parent = parents[next];
    auto byParent = [](const ProcessStat& entry, pid_t value) { return entry.parent < value; };
    for (auto it = std::lower_bound(table.begin(), table.end(), parent, byParent);
         it != table.end() && it->parent == parent; ++it) {
      if (parent == root && std::find(left.begin(), left.end(), it->pid) != left.end()) continue;
      found.push_back(*it);
      parents.push_back(it->pid);
    }
  }
  // Read after the table: a holder that the table does not show yet is read on its own.
  for (const pid_t holder : ProcessesWithFileOpen(held)) {
    ProcessStat entry{};
    if (std::find(parents.begin(), parents.end(), holder) == parents.end() &&
        ReadProcessStat(holder, entry))
      found.push_back(entry);
  }
  return found;
}

// False once no process holds the pipe's write end any more (a read gives its end); what the
// holders still write is read and dropped meanwhile.
bool OutputStillHeld(int output) {
  char drop[64 * 1024];
  for (int reads = 0; reads < 64; ++reads) {
    const ssize_t got = read(output, drop, sizeof drop);
    if (got == 0) return false;
    if (got < 0) return errno == EAGAIN || errno == EINTR;
  }
  return true;
}
}  // namespace

ProcessTree::ProcessTree() {
  std::vector<ProcessStat> table;
  const pid_t self = getpid();
  if (ReadProcessTable(table)) {
    for (const ProcessStat& entry : table) {
      if (entry.parent == self) earlierChildren_.push_back(entry.pid);
    }
  }
  // Unknown on a kernel without subreapers: then there is nothing to put back either.
  if (prctl(PR_GET_CHILD_SUBREAPER, &previousSubreaper_) != 0) previousSubreaper_ = 1;
  if (previousSubreaper_ == 0) (void)prctl(PR_SET_CHILD_SUBREAPER, 1);
}

ProcessTree::~ProcessTree() {
  if (previousSubreaper_ == 0) (void)prctl(PR_SET_CHILD_SUBREAPER, 0);
}

// First every target is stopped, round after round until a round finds none still running: a
// stopped process neither forks nor ends, so none of them can leave the tree while it is being
// killed, also where the process cannot be a subreaper (older kernels, emulators). Then they are
// killed, round after round, until a round finds no target left and the output pipe has no
// writer left. Each descendant alive when a round's scan starts has an ancestor among the
// children of the process, which only this process reaps, where it is a subreaper: the scan then
// meets at least that child even while processes come and go (a /proc scan is not a snapshot).
// Where it is not, a process that left the tree (double-forked) is found while it holds the
// output, and the pipe itself tells when the last one holding it has ended.
bool ProcessTree::EndDescendants(pid_t shell, int output, int& shellStatus) const {
  std::vector<ProcessStat> table;
  struct stat outputPipe {};
  if (!ReadProcessTable(table) || fstat(output, &outputPipe) != 0) {
    kill(shell, SIGKILL);
    return false;
  }
  (void)fcntl(output, F_SETFL, fcntl(output, F_GETFL) | O_NONBLOCK);
  const pid_t self = getpid();
  const auto deadline = std::chrono::steady_clock::now() + kEndingTimeLimit;
  for (std::chrono::milliseconds pause(1); std::chrono::steady_clock::now() < deadline;
       pause = std::min(pause * 2, kLongestPause)) {
    bool running = false;
    for (const ProcessStat& entry : EndingTargets(table, self, earlierChildren_, outputPipe)) {
      if (!entry.Alive() || entry.Stopped()) continue;
      kill(entry.pid, SIGSTOP);
      running = true;
    }
    if (!running) break;
    std::this_thread::sleep_for(pause);
    if (!ReadProcessTable(table)) break;
  }
  bool shellReaped = false;
  for (std::chrono::milliseconds pause(1);; pause = std::min(pause * 2, kLongestPause)) {
    bool anyLeft = false;
    for (const ProcessStat& entry : EndingTargets(table, self, earlierChildren_, outputPipe)) {
      if (entry.Alive()) kill(entry.pid, SIGKILL);
      if (entry.parent != self) {
        anyLeft = anyLeft || entry.Alive();  // a zombie of another parent is that parent's to reap
        continue;
      }
      anyLeft = true;
      int status = 0;
      if (waitpid(entry.pid, &status, WNOHANG) == shell) {
        shellStatus = status;
        shellReaped = true;
      }
    }
    if (!anyLeft) anyLeft = OutputStillHeld(output);
    if (!anyLeft || std::chrono::steady_clock::now() >= deadline) return shellReaped;
    std::this_thread::sleep_for(pause);
    if (!ReadProcessTable(table)) return shellReaped;
  }
}

bool ReadProcessStat(pid_t pid, ProcessStat& stat) {
  const std::string path = "/proc/" + std::to_string(pid) + "/stat";
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char line[1024];
  const ssize_t got = read(fd, line, sizeof line - 1);
  close(fd);
  if (got <= 0) return false;
  line[got] = '\0';
  // The command name may hold blanks and parentheses: the fields are read after its last ')'.
  // The state and the parent (fields 3 and 4), then 17 fields passed over to the start time.
  const char* nameEnd = std::strrchr(line, ')');
  char state = 0;
  int parent = 0;
  unsigned long long start = 0;
  if (nameEnd == nullptr ||
      std::sscanf(nameEnd + 1, " %c %d %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %llu",
                  &state, &parent, &start) != 3)
    return false;
  stat.pid = pid;
  stat.parent = static_cast<pid_t>(parent);
  stat.state = state;
  stat.startTime = start;
  return true;
}

std::set<pid_t> ProcessesWithFileOpen(const struct stat& file) {
  std::set<pid_t> found;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return found;
  while (const dirent* entry = readdir(proc)) {
    if (!AllDigits(entry->d_name)) continue;
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid == getpid()) continue;
    const std::string fds = std::string("/proc/") + entry->d_name + "/fd";
    DIR* open = opendir(fds.c_str());
    if (open == nullptr) continue;
    while (const dirent* fd = readdir(open)) {
      struct stat target;
      if (fd->d_name[0] != '.' && stat((fds + "/" + fd->d_name).c_str(), &target) == 0 &&
          target.st_dev == file.st_dev && target.st_ino == file.st_ino) {
        found.insert(pid);
        break;
      }
    }
    closedir(open);
  }
  closedir(proc);
  return found;
}
