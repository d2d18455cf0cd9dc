// The component log: console unless quiet, appended to the file item by item, never truncated.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include <iostream>

#include "CommandRunner.h"
#include "ComponentLog.h"
#include "ComponentTestSupport.h"
#include "E2eHarness.h"

namespace {
TEST(ComponentLog, ItemsReachConsoleAndFileUnchanged) {
  ScratchFolder folder;
  const std::string path = folder.File("zmt/Component.log");
  testing::internal::CaptureStdout();
  {
    CComponentLog log(path);
    log << "Loading references..." << "done.\n" << "Flash complete [" << -12 << "]\n" << 0 << std::wstring(L"wide\n");
  }
  const std::string expected = "Loading references...done.\nFlash complete [-12]\n0wide\n";
  EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
  EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST(ComponentLog, QuietLogWritesOnlyTheFileAndAppendsToEarlierRuns) {
  ScratchFolder folder;
  const std::string path = folder.File("Component.log");
  folder.Write("Component.log", "earlier run\n");
  testing::internal::CaptureStdout();
  {
    CComponentLog log(path);
    log.SetQuiet(true);
    log << "one\n" << 7 << std::wstring(L"\n");
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(ReadFileBytes(path), "earlier run\none\n7\n");
}

TEST(ComponentLog, UnwritableFileCostsOneErrorLinePerItemEvenWhenQuiet) {
  ScratchFolder folder;
  // A folder in place of the file: it can never be opened for appending.
  mkdir(folder.File("Component.log").c_str(), 0755);
  testing::internal::CaptureStdout();
  {
    CComponentLog log(folder.File("Component.log"));
    log << "a";
    log.SetQuiet(true);
    log << "b" << 3 << std::wstring(L"c");
  }
  const std::string error = "ERROR : Unable to write to log file\n";
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "a" + error + error + error + error);
}

// The file opens but takes no byte: it lies on a file system of one page that a filler has
// filled. A small item stays in the stream's buffer until the close writes it out; one larger
// than that buffer is written at once: both cost the error line. An empty item loses nothing.
TEST(ComponentLog, ItemsTheFileRefusesCostOneErrorLineEachEvenWhenQuiet) {
  ScratchFolder folder;
  // The test's own tmpfs, in the sandbox's private mount namespace.
  const std::string full = folder.File("full");
  ASSERT_EQ(mkdir(full.c_str(), 0755), 0);
  ASSERT_EQ(mount("fchbafull", full.c_str(), "tmpfs", 0, "size=4k"), 0);
  ASSERT_TRUE(WriteFileBytes(full + "/filler", std::string(4096, 'x')));
  const std::string path = full + "/Component.log";
  testing::internal::CaptureStdout();
  {
    CComponentLog log(path);
    log << "a" << 3 << std::wstring(L"w") << "";
    log.SetQuiet(true);
    log << "b" << std::string(100000, 'x') << std::wstring(L"");
  }
  const std::string error = "ERROR : Unable to write to log file\n";
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "a" + error + "3" + error + "w" + error + error + error);
  umount2(full.c_str(), MNT_DETACH);
}

// The console is a non-blocking pipe, full when an item larger than the console's buffer comes:
// the stream refuses it. Once the reader has drained the pipe, the next item arrives; the log
// does not leave the console stream failed, which would drop every later item unseen.
TEST(ComponentLog, AConsoleThatRefusedAnItemTakesTheNextOne) {
  ScratchFolder folder;
  CComponentLog log(folder.File("Component.log"));
  bool refused = true;
  std::string arrived;
  {
    FullConsole console;
    log << std::string(100000, 'x');
    refused = !std::cout;
    console.Drain();
    log << "the next item\n";
    FlushConsole();
    arrived = console.Drain();
  }
  EXPECT_FALSE(refused);  // the refused write is not left standing in the stream
  EXPECT_NE(arrived.find("the next item\n"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(folder.File("Component.log")), std::string(100000, 'x') + "the next item\n");
}

TEST(ComponentLog, PathWithShellCharactersIsPreparedLiterally) {
  ScratchFolder folder;
  const std::string path = folder.File("a b;'c/$(x)/Component.log");
  testing::internal::CaptureStdout();
  {
    CComponentLog log(path);
  }
  testing::internal::GetCapturedStdout();
  bool exists = false;
  ReadFileBytes(path, &exists);
  EXPECT_TRUE(exists);
}
}  // namespace
