// Running shell commands for their output, and widening what they print.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <iostream>

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
