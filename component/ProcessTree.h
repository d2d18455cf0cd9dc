// The processes that a command started, wherever they went: while a ProcessTree lives the
// process is a child subreaper where the kernel allows it, so what the command leaves orphaned
// comes back to it rather than to init; where it does not, those that still hold the command's
// output are found by it. The processes are not moved to a group or session of their own (a
// child reading the terminal must stay in its foreground group); they are found through /proc,
// which is read only when the command has to be ended. Only processes that started with the
// command's shell or after it are ever signalled, and each only while it is still the process
// that was read.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

// What /proc/<pid>/stat tells of one process.
struct ProcessStat {
  pid_t pid;
  pid_t parent;
  char state;                    // 'Z' a zombie, 'T' stopped, ...
  unsigned long long startTime;  // in clock ticks since boot

  bool Alive() const { return state != 'Z' && state != 'X' && state != 'x'; }
  bool Stopped() const { return state == 'T' || state == 't'; }
};

// False once the process is gone.
bool ReadProcessStat(pid_t pid, ProcessStat& stat);

// True when the process started after `shell`: at a later clock tick, or at the same tick with a
// higher pid (pids are handed out rising, and cannot wrap around within one tick).
bool StartedAfter(const ProcessStat& process, const ProcessStat& shell);

// True when `now`, read again just before a signal, is still the process that was read as
// `scanned`: found, and started at the same moment (a pid that was given to a new process has a
// later start).
bool StillTheSameProcess(const ProcessStat& scanned, bool found, const ProcessStat& now);

// The processes to end for a command whose shell is `shell`, from a table of /proc: the shell
// and its descendants, parents before children; the children of `self` that started after the
// shell (orphans of the command that came back to the process) with their descendants; and the
// `outputHolders` (processes that hold the command's output) that started after the shell. The
// other children of `self` (what an earlier command left running, orphans of processes that the
// caller started before) and everything else are left alone.
std::vector<ProcessStat> EndingTargets(const std::vector<ProcessStat>& table, pid_t self, const ProcessStat& shell,
                                       const std::vector<ProcessStat>& outputHolders);

class ProcessTree {
 public:
  ProcessTree();   // becomes a subreaper where the kernel allows it; reads nothing
  ~ProcessTree();  // puts back the subreaper setting the process had
  ProcessTree(const ProcessTree&) = delete;
  ProcessTree& operator=(const ProcessTree&) = delete;

  // Ends the command whose shell is `shell` and whose output is the read end `output`: stops
  // every process of EndingTargets (those holding the output are looked for only where the
  // process is no subreaper), round after round until a round finds none still running, kills at
  // once one that did not stop a round after it was told to (it sleeps where no stop reaches
  // it), then kills everything it stopped and every target, round after round, until a round
  // finds none left (and, without a subreaper, the output has no writer), or some seconds have
  // passed; reads and drops what they still write, and reaps the children of the process among
  // them, `shell` too. No process is left stopped. True when it reaped `shell`, whose wait
  // status is then in shellStatus. Without a usable /proc it kills `shell` alone; then, and when
  // time ran out first, the caller waits for `shell`.
  bool EndDescendants(pid_t shell, int output, int& shellStatus) const;

 private:
  int previousSubreaper_ = 1;
  bool subreaper_ = false;
};

// Calls `found` with the process and the descriptor's number for every descriptor of another
// process that has the file open, a process's descriptors one after the other.
void ForEachDescriptorOf(const struct stat& file, const std::function<void(pid_t, const std::string&)>& found);

// The processes other than this one that have the file open, through any of their descriptors.
std::set<pid_t> ProcessesWithFileOpen(const struct stat& file);
