// One run of the component at a time on the machine: an exclusive flock on
// "/var/zmt/Component.lock", beside the log, held from Acquire until the process ends. The file
// is root's alone (mode 0600, never reached through a symbolic link), and of everything a run
// starts only its flash command inherits the lock.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "ComponentLog.h"

class CRunLock {
 public:
  CRunLock() = default;
  ~CRunLock();  // closes this process's descriptor
  CRunLock(const CRunLock&) = delete;
  CRunLock& operator=(const CRunLock&) = delete;

  // Takes the lock. While something else holds it, shows the waiting notice on the console
  // (unless the log is quiet) and waits without a time limit; once the lock is held the notice
  // is recorded in the log file, at the head of this run's own lines, so that it never splits a
  // line of the run it waited for. A lock file that others could open (an earlier version left
  // it readable by all, or another user made it) is replaced by a fresh one first, so nothing
  // opened before can hold the lock. When the file cannot be opened or locked (a link or a
  // second hard link at its path, a log folder that cannot be used), returns at once without the
  // lock.
  void Acquire(CComponentLog& log);
  bool Held() const { return fd >= 0; }
  // True when the lock is held on the file that stands at the path now. A run whose file was
  // replaced after it took the lock (by a run that found it open to others at the same moment)
  // takes the lock afresh first, waiting as Acquire does, so two runs never flash at once.
  bool Confirm(CComponentLog& log);

  // RunShell(command) with the lock's descriptor inherited by the command: a flash tool that
  // outlives a killed run keeps the lock until the tool ends. The kernel releases the lock only
  // when the last descriptor of it closes, so however a run ends it leaves no stale lock.
  int RunShellHoldingLock(const std::string& command) const;

  static const char* Path();

 private:
  void Release();

  int fd = -1;  // close-on-exec but for RunShellHoldingLock
  bool noticeShown = false;
};

// A process that has the lock file open, as /proc shows it.
struct LockFileOpener {
  pid_t pid;
  unsigned long long startTime;  // in clock ticks since boot
  bool holdsLock;                // the kernel shows the lock on a descriptor of the process
};

// The process that the waiting notice names, from the lock table (the text of /proc/locks) read
// before and after the scan of the processes that have the file open (`file` as the table writes
// it, "MAJOR:MINOR:INODE"): the run that took the lock while it holds it, otherwise the earliest
// started of the processes that hold it (a flash tool that inherited it from a run that ended).
// 0, to name nobody, when no process is shown holding it, or when the lock changed hands during
// the scan: a process that only has the file open may be a run that waits for it.
pid_t LockHolderShown(const std::string& tableBefore, const std::vector<LockFileOpener>& openers,
                      const std::string& tableAfter, const std::string& file);
