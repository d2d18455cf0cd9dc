#include "RunLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "CommandRunner.h"

namespace {
const char kRunLockPath[] = "/var/zmt/Component.lock";
const char kWaitingNotice[] = "NOTICE : Another run of this component is in progress; waiting for it to end.\n";
// The descriptor is moved to this number or above, out of the range 0 to 9 that a shell script
// can name: a tool's "3>> file" would otherwise close it in the tool, and a tool that writes to
// an inherited descriptor 3 would write into the lock file.
const int kLowestLockDescriptor = 10;

// flock, again after a signal handler interrupted it; -1 with errno on any other failure.
int LockFile(int fd, int operation) {
  int rc;
  do rc = flock(fd, operation);
  while (rc != 0 && errno == EINTR);
  return rc;
}
}  // namespace

CRunLock::~CRunLock() {
  if (fd >= 0) close(fd);
}

void CRunLock::Acquire(CComponentLog& log) {
  // No O_CLOEXEC: see the header. A lock file that a read-only /var already holds still locks.
  int opened = open(kRunLockPath, O_RDWR | O_CREAT, 0644);
  if (opened < 0) opened = open(kRunLockPath, O_RDONLY);
  if (opened < 0) return;
  fd = fcntl(opened, F_DUPFD, kLowestLockDescriptor);
  close(opened);
  if (fd < 0) return;
  if (LockFile(fd, LOCK_EX | LOCK_NB) == 0) return;
  if (errno == EWOULDBLOCK) {
    log << kWaitingNotice;
    FlushConsole();  // the notice shows before the wait, also on a console that is a file or a pipe
    if (LockFile(fd, LOCK_EX) == 0) return;
  }
  close(fd);
  fd = -1;
}
