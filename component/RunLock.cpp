#include "RunLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "CommandRunner.h"
#include "ProcessTree.h"

namespace {
const char kRunLockPath[] = "/var/zmt/Component.lock";
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

// The lock file, opened without following a link and without waiting on a FIFO that stands at
// its path. A file that an earlier version left readable by others, or that another user made, is
// narrowed to its owner and taken over; anything but a plain file of one name is not used.
// -1 when there is no file to lock.
int OpenLockFile() {
  const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  int fd = open(kRunLockPath, O_RDWR | O_CREAT | flags, 0600);
  // A lock file that a read-only /var already holds still locks.
  if (fd < 0) fd = open(kRunLockPath, O_RDONLY | flags);
  if (fd < 0) return -1;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) {
    close(fd);
    return -1;
  }
  if (info.st_uid != geteuid()) (void)fchown(fd, geteuid(), static_cast<gid_t>(-1));
  if ((info.st_mode & 077) != 0) (void)fchmod(fd, info.st_mode & 0700);
  (void)fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, kLowestLockDescriptor);
  close(fd);
  return moved;
}

// The process that holds the lock on the file, as far as the kernel tells it; 0 when it does
// not. The kernel's lock table names the process that took the lock, which may have ended and
// left the lock to a tool that inherited it: then the holder is the earliest started of the
// processes that have the file open and are not themselves waiting for it.
pid_t LockHolder(int fd) {
  struct stat lock;
  if (fstat(fd, &lock) != 0) return 0;
  char device[64];
  std::snprintf(device, sizeof device, "%02x:%02x:%llu", major(lock.st_dev), minor(lock.st_dev),
                static_cast<unsigned long long>(lock.st_ino));
  // "1: FLOCK  ADVISORY  WRITE 4242 08:01:1234 0 EOF"; a waiter's line has "->" after the number.
  std::ifstream table("/proc/locks");
  pid_t taker = 0;
  std::set<pid_t> waiting;
  for (std::string line; std::getline(table, line);) {
    std::istringstream in(line);
    std::string number, kind, mode, access, where;
    pid_t pid = 0;
    in >> number >> kind;
    const bool waiter = kind == "->";
    if (waiter) in >> kind;
    if (!(in >> mode >> access >> pid >> where) || kind != "FLOCK" || where != device) continue;
    if (waiter)
      waiting.insert(pid);
    else
      taker = pid;
  }
  std::set<pid_t> holders = ProcessesWithFileOpen(lock);
  if (holders.count(taker) != 0) return taker;
  pid_t earliest = 0;
  unsigned long long earliestStart = 0;
  for (pid_t pid : holders) {
    ProcessStat process{};
    if (waiting.count(pid) != 0 || !ReadProcessStat(pid, process)) continue;
    if (earliest == 0 || process.startTime < earliestStart) {
      earliest = pid;
      earliestStart = process.startTime;
    }
  }
  return earliest;
}

std::string WaitingNotice(int fd) {
  const pid_t holder = LockHolder(fd);
  const std::string process = holder > 0 ? " (process " + std::to_string(holder) + ")" : "";
  return std::string("NOTICE : The run lock ") + kRunLockPath +
         " is held by another run of this component or by a flash tool that one started" + process +
         "; waiting for it to be released.\n";
}
}  // namespace

CRunLock::~CRunLock() {
  if (fd >= 0) close(fd);
}

const char* CRunLock::Path() { return kRunLockPath; }

void CRunLock::Acquire(CComponentLog& log) {
  fd = OpenLockFile();
  if (fd < 0) return;
  if (LockFile(fd, LOCK_EX | LOCK_NB) == 0) return;
  if (errno == EWOULDBLOCK) {
    const std::string notice = WaitingNotice(fd);
    log.Show(notice);
    FlushConsole();  // the notice shows before the wait, also on a console that is a file or a pipe
    if (LockFile(fd, LOCK_EX) == 0) {
      log.Record(notice);
      return;
    }
  }
  close(fd);
  fd = -1;
}

int CRunLock::RunShellHoldingLock(const std::string& command) const {
  if (fd >= 0) (void)fcntl(fd, F_SETFD, 0);
  const int status = RunShell(command);
  if (fd >= 0) (void)fcntl(fd, F_SETFD, FD_CLOEXEC);
  return status;
}
