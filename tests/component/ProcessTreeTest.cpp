// Which processes the run ends past the output bound, and that a signal reaches only the process
// that was read, never one that took over its pid. Tables of /proc entries; nothing is signalled.
#include <gtest/gtest.h>

#include <algorithm>

#include "ProcessTree.h"

namespace {
const pid_t kSelf = 100;
const ProcessStat kShell = {200, kSelf, 'S', 1000};

std::vector<pid_t> PidsOf(const std::vector<ProcessStat>& entries) {
  std::vector<pid_t> pids;
  for (const ProcessStat& entry : entries) pids.push_back(entry.pid);
  std::sort(pids.begin(), pids.end());
  return pids;
}

// The shell's descendants, and the orphans it left that came back to the process, end; what
// existed before the shell started (a caller's orphan, what an earlier command left running) and
// what is no one's of the command's are left alone. Start times tie within a clock tick; the pid
// then tells the order.
TEST(ProcessTree, EndsTheCommandAndWhatItLeftAndNothingElse) {
  std::vector<ProcessStat> table = {
      {1, 0, 'S', 1},
      {150, kSelf, 'S', 900},   // an orphan of the caller's, handed to the process
      {160, 150, 'S', 950},     // its child
      {170, kSelf, 'S', 990},   // left running by an earlier command
      {190, kSelf, 'S', 1000},  // started in the shell's tick, just before it
      kShell,
      {210, kShell.pid, 'S', 1001},
      {220, 210, 'Z', 1002},     // a zombie of the shell's child: that parent's to reap
      {230, kSelf, 'S', 1005},   // an orphan of the command, come back to the process
      {240, 230, 'T', 1006},
      {250, kSelf, 'S', 1000},   // started in the shell's tick, just after it
      {300, 1, 'S', 1010},       // another's
      {310, 300, 'S', 1011},
  };
  std::sort(table.begin(), table.end(), [](const ProcessStat& a, const ProcessStat& b) { return a.parent < b.parent; });
  EXPECT_EQ(PidsOf(EndingTargets(table, kSelf, kShell, {})), (std::vector<pid_t>{200, 210, 220, 230, 240, 250}));
  // Where orphans cannot come back, those holding the command's output are found by it; one that
  // held it before the command started, opened through /proc, is not the command's.
  const std::vector<ProcessStat> holders = {{300, 1, 'S', 1010}, {120, 1, 'S', 500}, {210, kShell.pid, 'S', 1001}};
  EXPECT_EQ(PidsOf(EndingTargets(table, kSelf, kShell, holders)),
            (std::vector<pid_t>{200, 210, 220, 230, 240, 250, 300}));
  // The shell already reaped, and its pid given to another's process: nothing is the command's.
  std::vector<ProcessStat> reused = {{200, 1, 'S', 2000}, {400, 200, 'S', 2001}};
  EXPECT_EQ(PidsOf(EndingTargets(reused, kSelf, kShell, {})), std::vector<pid_t>());
}

// Between the scan and the signal a process may end and its pid go to a new process: that one
// started later, and is not signalled.
TEST(ProcessTree, ASignalGoesOnlyToTheProcessThatWasRead) {
  const ProcessStat scanned = {4242, 4000, 'R', 5000};
  struct Case {
    const char* what;
    bool found;
    ProcessStat now;
    bool same;
  };
  const Case kCases[] = {
      {"still running", true, {4242, 4000, 'R', 5000}, true},
      {"stopped meanwhile, an orphan now", true, {4242, kSelf, 'T', 5000}, true},
      {"ended, not yet reaped", true, {4242, 4000, 'Z', 5000}, true},
      {"gone", false, {0, 0, 0, 0}, false},
      {"the pid taken by a new process", true, {4242, 4100, 'S', 5003}, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(StillTheSameProcess(scanned, c.found, c.now), c.same);
  }
}
}  // namespace
