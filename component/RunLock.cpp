#include "RunLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
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

// How often the lock is opened afresh because its file was replaced meanwhile, at most.
const int kOpenAttempts = 100;

// True when the path names the open file: nothing has replaced it since it was opened.
bool StandsAtPath(int fd) {
  struct stat held, now;
  return fstat(fd, &held) == 0 && lstat(kRunLockPath, &now) == 0 && held.st_dev == now.st_dev &&
         held.st_ino == now.st_ino;
}

// The lock file, opened without following a link and without waiting on a FIFO that stands at
// its path; -1 when there is no file to lock (anything but a plain file of one name stands
// there). A file that others could open until now (an earlier version left it readable by all,
// or another user made it) may be open in another user's process, which could hold the lock on
// it for as long as it likes: it is removed, and a fresh one made in its place. A file that
// cannot be removed (a read-only /var) is used as it is.
int OpenLockFile() {
  const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    int fd = open(kRunLockPath, O_RDWR | O_CREAT | flags, 0600);
    // A lock file that a read-only /var already holds still locks.
    if (fd < 0) fd = open(kRunLockPath, O_RDONLY | flags);
    if (fd < 0) return -1;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) {
      close(fd);
      return -1;
    }
    const bool openToOthers = info.st_uid != geteuid() || (info.st_mode & 077) != 0;
    if (openToOthers && StandsAtPath(fd) && unlink(kRunLockPath) == 0) {
      close(fd);
      continue;
    }
    (void)fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, kLowestLockDescriptor);
    close(fd);
    return moved;
  }
  return -1;
}

// "MAJOR:MINOR:INODE", as the kernel's lock table names the file.
std::string LockTableName(const struct stat& file) {
  char name[64];
  std::snprintf(name, sizeof name, "%02x:%02x:%llu", major(file.st_dev), minor(file.st_dev),
                static_cast<unsigned long long>(file.st_ino));
  return name;
}

// One line of the kernel's lock table, as /proc/locks and a descriptor's fdinfo write it:
// "1: FLOCK  ADVISORY  WRITE 4242 08:01:1234 0 EOF"; a waiter's has "->" after the number.
// True for a granted flock on `file`, whose taker is then in `pid`.
bool GrantedFlockOn(const std::string& line, const std::string& file, pid_t& pid) {
  std::istringstream in(line);
  std::string number, kind, mode, access, where;
  in >> number >> kind;
  if (kind == "->") return false;
  return static_cast<bool>(in >> mode >> access >> pid >> where) && kind == "FLOCK" && where == file;
}

// The taker of the granted flock on the file in a lock table; 0 when there is none.
pid_t TakerIn(const std::string& table, const std::string& file) {
  std::istringstream lines(table);
  pid_t pid = 0;
  for (std::string line; std::getline(lines, line);)
    if (GrantedFlockOn(line, file, pid)) return pid;
  return 0;
}

// True when the descriptor's fdinfo shows the granted flock on the file: the descriptor shares
// the open file that holds the lock.
bool DescriptorHoldsLock(const std::string& fdinfoPath, const std::string& file) {
  std::ifstream info(fdinfoPath);
  const std::string prefix = "lock:";
  pid_t pid = 0;
  for (std::string line; std::getline(info, line);)
    if (line.compare(0, prefix.size(), prefix) == 0 && GrantedFlockOn(line.substr(prefix.size()), file, pid))
      return true;
  return false;
}

// Every other process that has the lock file open, with whether one of its descriptors holds
// the lock.
std::vector<LockFileOpener> LockFileOpeners(const struct stat& lock, const std::string& file) {
  std::vector<LockFileOpener> openers;
  ForEachDescriptorOf(lock, [&](pid_t pid, const std::string& descriptor) {
    if (openers.empty() || openers.back().pid != pid) {
      ProcessStat process{};
      if (!ReadProcessStat(pid, process)) return;
      openers.push_back({pid, process.startTime, false});
    }
    const std::string fdinfo = "/proc/" + std::to_string(pid) + "/fdinfo/" + descriptor;
    if (DescriptorHoldsLock(fdinfo, file)) openers.back().holdsLock = true;
  });
  return openers;
}

std::string ReadLockTable() {
  std::ifstream table("/proc/locks");
  std::ostringstream text;
  text << table.rdbuf();
  return text.str();
}

// The process that holds the lock, as far as the kernel shows it; 0 when it does not.
pid_t LockHolder(int fd) {
  struct stat lock;
  if (fstat(fd, &lock) != 0) return 0;
  const std::string file = LockTableName(lock);
  const std::string before = ReadLockTable();
  const std::vector<LockFileOpener> openers = LockFileOpeners(lock, file);
  return LockHolderShown(before, openers, ReadLockTable(), file);
}

std::string WaitingNotice(int fd) {
  const pid_t holder = LockHolder(fd);
  const std::string process = holder > 0 ? " (process " + std::to_string(holder) + ")" : "";
  return std::string("NOTICE : The run lock ") + kRunLockPath +
         " is held by another run of this component or by a flash tool that one started" + process +
         "; waiting for it to be released.\n";
}
}  // namespace

pid_t LockHolderShown(const std::string& tableBefore, const std::vector<LockFileOpener>& openers,
                      const std::string& tableAfter, const std::string& file) {
  const pid_t taker = TakerIn(tableBefore, file);
  if (taker == 0 || TakerIn(tableAfter, file) != taker) return 0;
  pid_t earliest = 0;
  unsigned long long earliestStart = 0;
  for (const LockFileOpener& opener : openers) {
    if (!opener.holdsLock) continue;
    if (opener.pid == taker) return taker;
    if (earliest == 0 || opener.startTime < earliestStart) {
      earliest = opener.pid;
      earliestStart = opener.startTime;
    }
  }
  return earliest;
}

CRunLock::~CRunLock() { Release(); }

void CRunLock::Release() {
  if (fd >= 0) close(fd);
  fd = -1;
}

const char* CRunLock::Path() { return kRunLockPath; }

void CRunLock::Acquire(CComponentLog& log) {
  Release();
  std::string notice;
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    fd = OpenLockFile();
    if (fd < 0) return;
    int locked = LockFile(fd, LOCK_EX | LOCK_NB);
    if (locked != 0 && errno == EWOULDBLOCK) {
      if (!noticeShown) {
        notice = WaitingNotice(fd);
        log.Show(notice);
        FlushConsole();  // the notice shows before the wait, also on a console that is a file or a pipe
        noticeShown = true;
      }
      locked = LockFile(fd, LOCK_EX);
    }
    if (locked != 0) break;
    // A run that found the file open to others may have replaced it after this one opened it.
    if (StandsAtPath(fd)) {
      log.ReplaceFileOpenToOthers();
      if (!notice.empty()) log.Record(notice);
      return;
    }
    Release();
  }
  Release();
}

bool CRunLock::Confirm(CComponentLog& log) {
  if (fd >= 0 && StandsAtPath(fd)) return true;
  if (fd >= 0) Acquire(log);
  return Held();
}

int CRunLock::RunShellHoldingLock(const std::string& command) const {
  if (fd >= 0) (void)fcntl(fd, F_SETFD, 0);
  const int status = RunShell(command);
  if (fd >= 0) (void)fcntl(fd, F_SETFD, FD_CLOEXEC);
  return status;
}
