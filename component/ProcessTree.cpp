#include "ProcessTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {
// A process in uninterruptible sleep dies only once its wait ends; past this the run goes on.
const std::chrono::seconds kEndingTimeLimit(10);
const std::chrono::milliseconds kLongestPause(20);

struct ProcessEntry {
  pid_t pid;
  pid_t parent;
  bool alive;  // not yet a zombie
};

bool AllDigits(const char* text) {
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (*text < '0' || *text > '9') return false;
  }
  return true;
}

// The parent and the state of one process from /proc/<pid>/stat; false once it is gone. The
// command name may hold spaces and parentheses, so the fields are read after its last ')'.
bool ReadProcessEntry(const char* name, ProcessEntry& entry) {
  const std::string path = std::string("/proc/") + name + "/stat";
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char line[1024];
  const ssize_t got = read(fd, line, sizeof line - 1);
  close(fd);
  if (got <= 0) return false;
  line[got] = '\0';
  const char* nameEnd = std::strrchr(line, ')');
  char state = 0;
  int parent = 0;
  if (nameEnd == nullptr || std::sscanf(nameEnd + 1, " %c %d", &state, &parent) != 2) return false;
  entry.pid = static_cast<pid_t>(std::atoi(name));
  entry.parent = static_cast<pid_t>(parent);
  entry.alive = state != 'Z' && state != 'X' && state != 'x';
  return true;
}

// Every process /proc shows, sorted by parent; false when /proc is missing or is not this
// process's own (a /proc of another PID namespace names other processes by these numbers).
bool ReadProcessTable(std::vector<ProcessEntry>& table) {
  table.clear();
  char self[32] = {};
  if (readlink("/proc/self", self, sizeof self - 1) <= 0 || std::to_string(getpid()) != self) return false;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return false;
  while (const dirent* item = readdir(proc)) {
    ProcessEntry entry{};
    if (AllDigits(item->d_name) && ReadProcessEntry(item->d_name, entry)) table.push_back(entry);
  }
  closedir(proc);
  std::sort(table.begin(), table.end(),
            [](const ProcessEntry& a, const ProcessEntry& b) { return a.parent < b.parent; });
  return true;
}

// The descendants of `root` in the table, parents before their children, without the children
// of root listed in `left` and their subtrees.
std::vector<ProcessEntry> DescendantsOf(const std::vector<ProcessEntry>& table, pid_t root,
                                        const std::vector<pid_t>& left) {
  std::vector<ProcessEntry> found;
  std::vector<pid_t> parents = {root};
  for (size_t next = 0; next < parents.size(); ++next) {
    const pid_t parent = parents[next];
    auto byParent = [](const ProcessEntry& entry, pid_t value) { return entry.parent < value; };
    for (auto it = std::lower_bound(table.begin(), table.end(), parent, byParent);
         it != table.end() && it->parent == parent; ++it) {
      if (parent == root && std::find(left.begin(), left.end(), it->pid) != left.end()) continue;
      found.push_back(*it);
      parents.push_back(it->pid);
    }
  }
  return found;
}
}  // namespace

ProcessTree::ProcessTree() {
  std::vector<ProcessEntry> table;
  const pid_t self = getpid();
  if (ReadProcessTable(table)) {
    for (const ProcessEntry& entry : table) {
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

// A round that finds no descendant at all ends the work: each one alive when the round's scan
// starts has an ancestor among the children of the process, which only this process reaps, so
// the scan meets at least that child even while processes come and go (and a /proc scan is not
// a snapshot). Killing top-down converges: a fork in a process with SIGKILL pending is cancelled,
// and the children of a killed process are reparented to this one, where the next round finds them.
bool ProcessTree::EndDescendants(pid_t shell, int& shellStatus) const {
  std::vector<ProcessEntry> table;
  if (!ReadProcessTable(table)) {
    kill(shell, SIGKILL);
    return false;
  }
  const pid_t self = getpid();
  const auto deadline = std::chrono::steady_clock::now() + kEndingTimeLimit;
  bool shellReaped = false;
  for (std::chrono::milliseconds pause(1);; pause = std::min(pause * 2, kLongestPause)) {
    const std::vector<ProcessEntry> descendants = DescendantsOf(table, self, earlierChildren_);
    if (descendants.empty()) return shellReaped;
    for (const ProcessEntry& entry : descendants) {
      if (entry.alive) kill(entry.pid, SIGKILL);
      if (entry.parent != self) continue;
      int status = 0;
      if (waitpid(entry.pid, &status, WNOHANG) == shell) {
        shellStatus = status;
        shellReaped = true;
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) return shellReaped;
    std::this_thread::sleep_for(pause);
    if (!ReadProcessTable(table)) return shellReaped;
  }
}
