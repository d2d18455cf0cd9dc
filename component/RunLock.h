// One run of the component at a time on the machine: an exclusive flock on
// "/var/zmt/Component.lock", beside the log, held from Acquire until the process ends. The file
// is root's alone (mode 0600, never reached through a symbolic link), and of everything a run
// starts only its flash command inherits the lock.
#pragma once

#include <string>

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
  // line of the run it waited for. When the file cannot be opened or locked (a link at its
  // path, a log folder that cannot be used), returns at once without the lock.
  void Acquire(CComponentLog& log);
  bool Held() const { return fd >= 0; }

  // RunShell(command) with the lock's descriptor inherited by the command: a flash tool that
  // outlives a killed run keeps the lock until the tool ends. The kernel releases the lock only
  // when the last descriptor of it closes, so however a run ends it leaves no stale lock.
  int RunShellHoldingLock(const std::string& command) const;

  static const char* Path();

 private:
  int fd = -1;  // close-on-exec but for RunShellHoldingLock
};
