// Running shell commands for their output, and widening what they print.
#include <gtest/gtest.h>

#include "CommandRunner.h"

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

TEST(Widen, AsciiBytesKeepTheirCodes) {
  EXPECT_EQ(Widen(""), L"");
  EXPECT_EQ(Widen("10DF"), L"10DF");
  EXPECT_EQ(Widen("US2.01A12, \r\t~"), L"US2.01A12, \r\t~");
  // A byte the C locale cannot convert ends the text there.
  EXPECT_EQ(Widen("ab\xE9" "cd"), L"ab");
}
}  // namespace
