// The processes that a command started, wherever they went: while a ProcessTree lives the
// process is a child subreaper, so what the command leaves orphaned comes back to it rather than
// to init. The processes are not moved to a group or session of their own (a child reading the
// terminal must stay in its foreground group); the tree is found through /proc alone.
#pragma once

#include <sys/types.h>

#include <vector>

class ProcessTree {
 public:
  ProcessTree();   // records the children the process has now, then becomes a subreaper
  ~ProcessTree();  // puts back the subreaper setting the process had
  ProcessTree(const ProcessTree&) = delete;
  ProcessTree& operator=(const ProcessTree&) = delete;

  // Kills (SIGKILL) every descendant of the process except the children recorded at
  // construction and their subtrees, round after round until a round finds none, alive or
  // dead, or some seconds have passed; reaps the children of the process among them, `shell`
  // too. True when it reaped `shell`, whose wait status is then in shellStatus. Without a usable
  // /proc it kills `shell` alone; then, and when time ran out first, the caller waits for `shell`.
  bool EndDescendants(pid_t shell, int& shellStatus) const;

 private:
  std::vector<pid_t> earlierChildren_;
  int previousSubreaper_ = 0;
};
