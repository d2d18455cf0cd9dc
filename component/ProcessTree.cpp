#include "ProcessTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
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

// Sends the signal to the process while it is still the one that was read: through a pidfd,
// which cannot come to name another process, where the kernel has them; otherwise read and
// signalled at once. False when it was not sent.
bool SignalSameProcess(const ProcessStat& target, int signal) {
  int pidfd = -1;
#ifdef __NR_pidfd_open
  pidfd = static_cast<int>(syscall(__NR_pidfd_open, target.pid, 0));
#endif
  ProcessStat now{};
  const bool found = ReadProcessStat(target.pid, now);
  bool sent = false;
  if (StillTheSameProcess(target, found, now)) {
#ifdef __NR_pidfd_send_signal
    if (pidfd >= 0) sent = syscall(__NR_pidfd_send_signal, pidfd, signal, nullptr, 0) == 0;
#endif
    if (pidfd < 0) sent = kill(target.pid, signal) == 0;
  }
  if (pidfd >= 0) close(pidfd);
  return sent;
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

bool StartedAfter(const ProcessStat& process, const ProcessStat& shell) {
  return process.startTime > shell.startTime || (process.startTime == shell.startTime && process.pid > shell.pid);
}

bool StillTheSameProcess(const ProcessStat& scanned, bool found, const ProcessStat& now) {
  return found && now.pid == scanned.pid && now.startTime == scanned.startTime;
}

std::vector<ProcessStat> EndingTargets(const std::vector<ProcessStat>& table, pid_t self, const ProcessStat& shell,
                                       const std::vector<ProcessStat>& outputHolders) {
  std::vector<ProcessStat> found;
  std::vector<pid_t> parents;
  for (const ProcessStat& entry : table) {
    if (entry.pid == shell.pid && StillTheSameProcess(shell, true, entry)) {
      found.push_back(entry);
      parents.push_back(entry.pid);
    }
  }
  // A child of the process that started after the shell can only be an orphan of the command:
  // the process starts nothing else while the command runs.
  for (const ProcessStat& entry : table) {
    if (entry.parent == self && entry.pid != shell.pid && StartedAfter(entry, shell)) {
      found.push_back(entry);
      parents.push_back(entry.pid);
    }
  }
  auto byParent = [](const ProcessStat& entry, pid_t value) { return entry.parent < value; };
  for (size_t next = 0; next < parents.size(); ++next) {
    for (auto it = std::lower_bound(table.begin(), table.end(), parents[next], byParent);
         it != table.end() && it->parent == parents[next]; ++it) {
      found.push_back(*it);
      parents.push_back(it->pid);
    }
  }
  for (const ProcessStat& holder : outputHolders) {
    if (StartedAfter(holder, shell) && std::find(parents.begin(), parents.end(), holder.pid) == parents.end()) {
      found.push_back(holder);
      parents.push_back(holder.pid);
    }
  }
  return found;
}

ProcessTree::ProcessTree() {
  // Unknown on a kernel without subreapers: then there is nothing to put back either.
  if (prctl(PR_GET_CHILD_SUBREAPER, &previousSubreaper_) != 0) {
    previousSubreaper_ = 1;
    return;
  }
  subreaper_ = previousSubreaper_ != 0 || prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
}

ProcessTree::~ProcessTree() {
  if (previousSubreaper_ == 0 && subreaper_) (void)prctl(PR_SET_CHILD_SUBREAPER, 0);
}

// First every target is stopped, round after round until a round finds none still running: a
// stopped process neither forks nor ends, so none of them can leave the tree while it is being
// killed, also where the process cannot be a subreaper (older kernels, emulators). Then what was
// stopped is killed, and the targets round after round, until a round finds none left. Where the
// process is a subreaper, every descendant alive when a round's scan starts has an ancestor among
// the children of the process, which only this process reaps: the scan then meets at least that
// child even while processes come and go (a /proc scan is not a snapshot); an orphan child that
// this process reaps makes for another round. Where it is not, a process that left the tree
// (double-forked) is found while it holds the output, and the pipe itself tells when the last one
// holding it has ended.
bool ProcessTree::EndDescendants(pid_t shell, int output, int& shellStatus) const {
  std::vector<ProcessStat> table;
  ProcessStat shellStat{};
  struct stat outputPipe {};
  if (!ReadProcessTable(table) || !ReadProcessStat(shell, shellStat) || fstat(output, &outputPipe) != 0) {
    kill(shell, SIGKILL);
    return false;
  }
  (void)fcntl(output, F_SETFL, fcntl(output, F_GETFL) | O_NONBLOCK);
  const pid_t self = getpid();
  const auto holders = [&]() {
    std::vector<ProcessStat> found;
    if (subreaper_) return found;
    for (const pid_t pid : ProcessesWithFileOpen(outputPipe)) {
      ProcessStat entry{};
      if (ReadProcessStat(pid, entry)) found.push_back(entry);
    }
    return found;
  };
  bool shellReaped = false;
  // Reaps a child of the process that has ended; true when it did.
  const auto reap = [&](const ProcessStat& entry) {
    int status = 0;
    const pid_t reaped = waitpid(entry.pid, &status, WNOHANG);
    if (reaped == shell) {
      shellStatus = status;
      shellReaped = true;
    }
    return reaped == entry.pid;
  };
  const auto deadline = std::chrono::steady_clock::now() + kEndingTimeLimit;
  std::vector<ProcessStat> stopped;  // told to stop by this run, as they were read
  for (std::chrono::milliseconds pause(1); std::chrono::steady_clock::now() < deadline;
       pause = std::min(pause * 2, kLongestPause)) {
    bool changing = false;
    for (const ProcessStat& entry : EndingTargets(table, self, shellStat, holders())) {
      if (!entry.Alive()) {
        if (entry.parent == self && reap(entry)) changing = true;  // its orphans are ours now
        continue;
      }
      if (entry.Stopped()) continue;
      changing = true;
      const bool toldBefore = std::any_of(stopped.begin(), stopped.end(), [&](const ProcessStat& told) {
        return StillTheSameProcess(told, true, entry);
      });
      // A process that no stop reaches (asleep in the kernel) still dies of a kill.
      if (toldBefore) {
        (void)SignalSameProcess(entry, SIGKILL);
      } else if (SignalSameProcess(entry, SIGSTOP)) {
        stopped.push_back(entry);
      }
    }
    if (!changing) break;
    std::this_thread::sleep_for(pause);
    if (!ReadProcessTable(table)) break;
  }
  for (const ProcessStat& entry : stopped) (void)SignalSameProcess(entry, SIGKILL);
  for (std::chrono::milliseconds pause(1);; pause = std::min(pause * 2, kLongestPause)) {
    bool anyLeft = false;
    for (const ProcessStat& entry : EndingTargets(table, self, shellStat, holders())) {
      if (entry.Alive()) (void)SignalSameProcess(entry, SIGKILL);
      if (entry.parent != self) {
        anyLeft = anyLeft || entry.Alive();  // a zombie of another parent is that parent's to reap
        continue;
      }
      anyLeft = true;
      (void)reap(entry);
    }
    if (!anyLeft && !subreaper_) anyLeft = OutputStillHeld(output);
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

void ForEachDescriptorOf(const struct stat& file, const std::function<void(pid_t, const std::string&)>& found) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return;
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
          target.st_dev == file.st_dev && target.st_ino == file.st_ino)
        found(pid, fd->d_name);
    }
    closedir(open);
  }
  closedir(proc);
}

std::set<pid_t> ProcessesWithFileOpen(const struct stat& file) {
  std::set<pid_t> found;
  ForEachDescriptorOf(file, [&](pid_t pid, const std::string&) { found.insert(pid); });
  return found;
}
