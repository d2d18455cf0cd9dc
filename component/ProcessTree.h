// The processes that a command started, wherever they went: while a ProcessTree lives the
// process is a child subreaper where the kernel allows it, so what the command leaves orphaned
// comes back to it rather than to init; where it does not, those that still hold the command's
// output are found by it. The processes are not moved to a group or session of their own (a
// child reading the terminal must stay in its foreground group); they are found through /proc.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <set>
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

class ProcessTree {
 public:
  ProcessTree();   // records the children the process has now, then becomes a subreaper
  ~ProcessTree();  // puts back the subreaper setting the process had
  ProcessTree(const ProcessTree&) = delete;
  ProcessTree& operator=(const ProcessTree&) = delete;

  // Ends every descendant of the process except the children recorded at construction and
  // their subtrees, and every other process that holds the write end of the pipe whose read end
  // is `output` (the command's output): stops them all first, then kills them (SIGKILL), round
  // after round until a round finds none left and the pipe has no writer, or some seconds have
  // passed; reads and drops what they still write, and reaps the children of the process among
  // them, `shell` too. True when it reaped `shell`, whose wait status is then in shellStatus.
  // Without a usable /proc it kills `shell` alone; then, and when time ran out first, the caller
  // waits for `shell`.
  bool EndDescendants(pid_t shell, int output, int& shellStatus) const;

 private:
  std::vector<pid_t> earlierChildren_;
  int previousSubreaper_ = 0;
};

// The processes other than this one that have the file open, through any of their descriptors.
std::set<pid_t> ProcessesWithFileOpen(const struct stat& file);
