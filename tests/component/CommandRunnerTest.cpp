// Running shell commands for their output, and widening what they print.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <iostream>
#include <sstream>
#include <thread>
#include <vector>

#include "CommandRunner.h"
#include "ComponentTestSupport.h"
#include "E2eHarness.h"
#include "VendorTestSupport.h"

namespace {
TEST(RunCommand, ReturnsTheWholeStandardOutput) {
  struct Case {
    const char* command;
    std::string output;
  };
  const std::string longLine(300, 'a');
  const Case kCases[] = {
      {"printf '%300s\\n' '' | tr ' ' a", longLine + "\n"},  // read in pieces, line end kept
      {"printf 'one\\ntwo'", "one\ntwo"},
      {"true", ""},
      {"echo to-stderr >&2; exit 3", ""},   // standard error and exit status are not looked at
      {"no-such-command-here 2>/dev/null", ""},  // the shell started; the command did not
  };
  for (const Case& c : kCases) EXPECT_EQ(RunCommand(c.command), c.output) << c.command;
}

TEST(RunCommand, ManyPiecesArriveInOrder) {
  const std::string output = RunCommand("seq 1 20000");
  std::string expected;
  for (int i = 1; i <= 20000; ++i) expected += std::to_string(i) + "\n";
  EXPECT_EQ(output, expected);
}

// A NUL byte is dropped on its own: the bytes around it, line ends among them, stay.
TEST(RunCommand, NulBytesAreDroppedAndNothingElse) {
  struct Case {
    const char* name;
    const char* command;
    std::string output;
  };
  const Case kCases[] = {
      {"none", "printf 'Node: y\\nHBA Instance: 1\\n'", "Node: y\nHBA Instance: 1\n"},
      {"inside a line", "printf 'No\\000de: y\\n'", "Node: y\n"},
      {"before a line end", "printf 'Node: y\\000\\nHBA Instance: 1\\n'", "Node: y\nHBA Instance: 1\n"},
      {"padding", "printf 'HBA Model: M2462\\000\\000\\000\\nPort: 1\\n'", "HBA Model: M2462\nPort: 1\n"},
      {"only NULs", "head -c 1000 /dev/zero", ""},
      {"a long line of NULs between two texts", "printf a; head -c 300 /dev/zero; printf 'b\\n'", "ab\n"},
  };
  for (const Case& c : kCases) EXPECT_EQ(RunCommand(c.command), c.output) << c.name;
}

// A run keeps at most the bound of one command's output, NUL bytes counted, and stops a command
// that goes on past it instead of waiting for an end that never comes.
TEST(ReadCommandOutput, OutputIsBounded) {
  const std::string bound = std::to_string(kMaxCommandOutput);
  const std::string past = std::to_string(kMaxCommandOutput + 1);
  struct Case {
    std::string command;
    bool tooLong;
    size_t kept;
  };
  const Case kCases[] = {
      {"head -c " + bound + " /dev/zero | tr '\\0' a", false, kMaxCommandOutput},
      {"head -c " + past + " /dev/zero | tr '\\0' a", true, kMaxCommandOutput},
      {"head -c " + past + " /dev/zero", true, 0},
      {"exec yes ''", true, kMaxCommandOutput},
      // a shell that takes no notice of the closed pipe and would loop for ever
      {"line=$(head -c 4095 /dev/zero | tr '\\0' x); trap '' PIPE; while :; do echo \"$line\"; done 2>/dev/null", true,
       kMaxCommandOutput},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.command);
    const CommandOutput output = ReadCommandOutput(c.command);
    EXPECT_TRUE(output.started);
    EXPECT_EQ(output.tooLong, c.tooLong);
    EXPECT_EQ(output.text.size(), c.kept);
  }
  EXPECT_EQ(kMaxCommandOutput, size_t(64) * 1024 * 1024);
}

// Helpers that a command starts in the scratch folder; each appends its pid to "pids" first.
const char kEndlessPrinter[] =  // takes no notice of the closed pipe and prints for ever
    "echo $$ >> pids\n"
    "trap '' PIPE\n"
    "line=$(head -c 4095 /dev/zero | tr '\\0' x)\n"
    "while :; do echo \"$line\"; done 2>/dev/null\n";
const char kSleeper[] = "echo $$ >> pids\nexec sleep 1000\n";
// Hands on to a new walker and ends, over and over, each an orphan at once, until "stop" exists.
const char kWalker[] = "[ -e stop ] && exit\necho $$ >> pids\nsh walker &\n";

// A scratch folder holding the helpers, entered. Leaving, it stops the walkers and kills what
// "pids" lists, and what gets listed meanwhile, so that a failed case leaves nothing running;
// it reaps those that came back to the test process.
class HelperFolder {
 public:
  HelperFolder() {
    folder_.Write("printer", kEndlessPrinter);
    folder_.Write("sleeper", kSleeper);
    folder_.Write("walker", kWalker);
  }
  ~HelperFolder() {
    folder_.Write("stop", "");
    for (int pass = 0; pass < 500; ++pass) {
      bool anyLeft = false;
      for (pid_t pid : Listed()) {
        if (kill(pid, SIGKILL) == 0) anyLeft = true;
        (void)waitpid(pid, nullptr, WNOHANG);
      }
      if (!anyLeft) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  HelperFolder(const HelperFolder&) = delete;
  HelperFolder& operator=(const HelperFolder&) = delete;

  std::vector<pid_t> Listed() const {
    std::istringstream lines(ReadFileBytes(folder_.File("pids")));
    std::vector<pid_t> pids;
    for (pid_t pid; lines >> pid;) pids.push_back(pid);
    return pids;
  }

 private:
  ScratchFolder folder_;
};

// Past the bound, the run ends the command with everything it started, wherever it went, and
// leaves no zombie of its own behind. Orphans come back to the process where it can be a
// subreaper; where it cannot (older kernels, a user-mode emulator), those that hold the output
// are found all the same, but a chain of orphans that hands on faster than /proc can be read is
// out of reach, so that row needs a subreaper.
TEST(ReadCommandOutput, PastTheBoundNothingTheCommandStartedLivesOn) {
  struct Case {
    const char* name;
    const char* command;
    bool needsSubreaper;
  };
  const Case kCases[] = {
      {"a printer the shell waits for", "sh printer & wait", false},
      {"a printer double-forked away from the shell", "(sh printer &); sh sleeper", false},
      {"a printer of its own, a quiet helper", "sh sleeper & exec yes", false},
      {"a walker starting its successor all the time", "sh walker & exec yes", true},
  };
  int subreaper = 0;
  const bool subreapers = prctl(PR_GET_CHILD_SUBREAPER, &subreaper) == 0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    if (c.needsSubreaper && !subreapers) {
      std::cerr << "left out where the process cannot be a subreaper: " << c.name << "\n";
      continue;
    }
    HelperFolder helpers;
    const CommandOutput output = ReadCommandOutput(c.command);
    const std::vector<pid_t> pids = helpers.Listed();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(helpers.Listed(), pids) << "a walker still goes on";
    EXPECT_TRUE(output.tooLong);
    EXPECT_FALSE(pids.empty());
    for (pid_t pid : pids) EXPECT_TRUE(ProcessHasEnded(pid)) << "pid " << pid << " is still there";
  }
}

// Below the bound, what a command leaves running in the background is not the run's to end.
TEST(ReadCommandOutput, BelowTheBoundBackgroundProcessesAreLeftRunning) {
  HelperFolder helpers;
  const CommandOutput output = ReadCommandOutput("sleep 1000 >/dev/null & echo $! >> pids; echo done");
  const std::vector<pid_t> pids = helpers.Listed();
  EXPECT_EQ(output.text, "done\n");
  ASSERT_EQ(pids.size(), 1u);
  // Alive: its state, after the command name's ')', is not Z (a zombie).
  const std::string stat = ReadFileBytes("/proc/" + std::to_string(pids[0]) + "/stat");
  const size_t nameEnd = stat.rfind(')');
  ASSERT_NE(nameEnd, std::string::npos) << "pid " << pids[0] << " is gone";
  EXPECT_NE(stat.substr(nameEnd, 3), ") Z");
}

TEST(ReadCommandOutput, TellsACommandThatCouldNotRun) {
  struct Case {
    const char* command;
    bool couldNotRun;
    int exitCode;
  };
  const Case kCases[] = {
      {"exit 0", false, 0},
      {"exit 1", false, 1},
      {"exit 2", false, 2},
      {"exit 125", false, 125},
      {"exit 128", false, 128},
      {"exit 255", false, 255},
      {"exit 126", true, 126},
      {"no-such-command-here 2>/dev/null", true, 127},
      {"exit 137", true, 137},                  // how the shell reports a command killed by signal 9
      {"sh -c 'kill -15 $$'", true, 143},
      {"kill -9 $$", true, 137},                // the shell itself killed
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.command);
    const CommandOutput output = ReadCommandOutput(c.command);
    EXPECT_TRUE(output.started);
    EXPECT_EQ(output.CouldNotRun(), c.couldNotRun);
    EXPECT_EQ(output.ExitCode(), c.exitCode);
  }
}

// The process's standard input for the duration of a test: a pipe whose writing end the test
// holds, so a command reading it would wait for ever.
class StandardInputThatStaysOpen {
 public:
  StandardInputThatStaysOpen() {
    int ends[2];
    if (pipe(ends) != 0) std::abort();
    saved_ = dup(STDIN_FILENO);
    dup2(ends[0], STDIN_FILENO);
    close(ends[0]);
    writer_ = ends[1];
  }
  ~StandardInputThatStaysOpen() {
    dup2(saved_, STDIN_FILENO);
    close(saved_);
    close(writer_);
  }

 private:
  int saved_ = -1;
  int writer_ = -1;
};

TEST(ReadCommandOutput, ACommandGivenNoInputReadsItsEndAtOnce) {
  StandardInputThatStaysOpen input;
  const CommandOutput output = ReadCommandOutput("cat; read answer; echo \"end $?\"", ChildInput::Nothing);
  EXPECT_EQ(output.text, "end 1\n");
}

// A shell script that waits for a helper of its own reads the helper's real status, whatever
// SIGCHLD disposition the process was started with.
TEST(ReadCommandOutput, ChildrenSeeTheDefaultChildSignal) {
  UnderEachChildSignal([] {
    EXPECT_EQ(RunCommand("(exit 3) & wait $!; echo $?"), "3\n");
    const CommandOutput output = ReadCommandOutput("exit 5");
    EXPECT_EQ(output.ExitCode(), 5);
  });
}

// The console is a non-blocking pipe, full when the first command starts. What it refused is
// lost; everything written once the reader has drained it arrives.
TEST(FlushConsole, AConsoleThatRefusedAFlushTakesLaterItems) {
  std::string expected, arrived;
  bool consoleUsable = false;
  {
    FullConsole console;
    ScratchFolder folder;
    TestComponent component(folder.File("log"));  // prepares its log through the shell: a flush
    component.log << "refused while the console is full\n";
    FlushConsole();
    console.Drain();
    for (int i = 1; i <= 9; ++i) {
      const std::string line = "line " + std::to_string(i) + "\n";
      component.log << line;
      expected += line;
    }
    FlushConsole();
    arrived = console.Drain();
    consoleUsable = static_cast<bool>(std::cout);
  }
  EXPECT_TRUE(consoleUsable);
  EXPECT_EQ(arrived, expected);
}

TEST(Widen, AsciiBytesKeepTheirCodes) {
  EXPECT_EQ(Widen(""), L"");
  EXPECT_EQ(Widen("10DF"), L"10DF");
  EXPECT_EQ(Widen("US2.01A12, \r\t~"), L"US2.01A12, \r\t~");
  // A byte the C locale cannot convert ends the text there.
  EXPECT_EQ(Widen("ab\xE9" "cd"), L"ab");
}
}  // namespace
