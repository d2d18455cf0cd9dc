// One run of the component at a time on the machine: an exclusive flock on
// "/var/zmt/Component.lock", beside the log, held from Acquire until the process ends.
#pragma once

#include "ComponentLog.h"

class CRunLock {
 public:
  CRunLock() = default;
  ~CRunLock();  // closes this process's descriptor
  CRunLock(const CRunLock&) = delete;
  CRunLock& operator=(const CRunLock&) = delete;

  // Takes the lock. While another run holds it, logs the waiting notice once and waits for it
  // without a time limit. When the file cannot be opened or locked (the log folder cannot be
  // used), returns at once without the lock, silently: the run goes on as it would without one.
  void Acquire(CComponentLog& log);

 private:
  // Inherited on purpose by everything the run starts (no close-on-exec): the kernel releases the
  // lock only when the last descriptor of it closes, so a tool that outlives a killed run holds
  // it until the tool ends, and however a run ends (a crash, SIGKILL) it leaves no stale lock.
  int fd = -1;
};
