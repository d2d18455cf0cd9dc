// The run lock: whom the waiting notice names, and a lock whose file was replaced after it was
// taken. The sandbox's /var is the test's own.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ComponentTestSupport.h"
#include "RunLock.h"

namespace {
const char kFile[] = "00:2f:1234";
const char kTakenBy4242[] = "1: FLOCK  ADVISORY  WRITE 4242 00:2f:1234 0 EOF\n";

// The kernel's lock table names the process that took the lock, which may have ended and left
// it to a tool that inherited it; a descriptor's fdinfo shows the lock only in the processes that
// share the open file holding it. A process that merely has the file open (a run about to wait
// for it) is never named, nor anyone once the lock changed hands while /proc was read.
TEST(RunLockHolder, NamesOnlyAProcessTheKernelShowsHoldingTheLock) {
  struct Case {
    const char* what;
    std::string before;
    std::vector<LockFileOpener> openers;
    std::string after;
    pid_t named;
  };
  const std::string waiter = "1: -> FLOCK  ADVISORY  WRITE 4300 00:2f:1234 0 EOF\n";
  const Case kCases[] = {
      {"the run that took it", kTakenBy4242, {{4300, 50, false}, {4242, 100, true}}, kTakenBy4242, 4242},
      {"the taker has ended; the tool that inherited it and its shell hold it",
       kTakenBy4242 + waiter,
       {{4300, 50, false}, {5001, 300, true}, {5000, 200, true}},
       kTakenBy4242 + waiter,
       5000},
      {"the taker has ended, and a run that has opened the file has not yet asked for the lock",
       kTakenBy4242, {{4300, 50, false}}, kTakenBy4242, 0},
      {"the taker ended during the scan and another run took the lock",
       kTakenBy4242, {{4300, 50, true}}, "1: FLOCK  ADVISORY  WRITE 4300 00:2f:1234 0 EOF\n", 0},
      {"released during the scan", kTakenBy4242, {{4242, 100, true}}, "", 0},
      {"no lock when the scan began", "", {{4242, 100, true}}, kTakenBy4242, 0},
      {"a lock on another file", "1: FLOCK  ADVISORY  WRITE 4242 00:2f:9999 0 EOF\n", {{4242, 100, true}},
       "1: FLOCK  ADVISORY  WRITE 4242 00:2f:9999 0 EOF\n", 0},
      {"a record lock, not a flock", "1: POSIX  ADVISORY  WRITE 4242 00:2f:1234 0 EOF\n", {{4242, 100, true}},
       "1: POSIX  ADVISORY  WRITE 4242 00:2f:1234 0 EOF\n", 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(LockHolderShown(c.before, c.openers, c.after, kFile), c.named);
  }
}

// True when another open file of the path can take the lock at once.
bool FreeAtPath(const char* path) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd);
  return free;
}

// Another run replaced the lock's file just after this one had locked it: before it may flash,
// the run takes the lock on the file that stands at the path now.
TEST(RunLockFile, ALockWhoseFileWasReplacedIsTakenAfresh) {
  ScratchFolder folder;
  CComponentLog log(folder.File("log"));
  ASSERT_EQ(mkdir("/var/zmt", 0755), 0);
  CRunLock lock;
  lock.Acquire(log);
  ASSERT_TRUE(lock.Held());
  EXPECT_FALSE(FreeAtPath(CRunLock::Path()));
  ASSERT_EQ(unlink(CRunLock::Path()), 0);
  const int replaced = open(CRunLock::Path(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  ASSERT_GE(replaced, 0);
  close(replaced);
  EXPECT_TRUE(FreeAtPath(CRunLock::Path()));
  EXPECT_TRUE(lock.Confirm(log));
  EXPECT_FALSE(FreeAtPath(CRunLock::Path()));
  EXPECT_TRUE(lock.Confirm(log));
}
}  // namespace
