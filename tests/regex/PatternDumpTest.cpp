// The graph dump's listing (captured from the standard output) and the character and class
// describers with their bounded writers.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "Pattern.h"

namespace {

std::string CapturedListing(Pattern* pattern) {
  testing::internal::CaptureStdout();
  pattern->DumpGraph();
  return testing::internal::GetCapturedStdout();
}

struct ListingCase {
  const char* pattern;
  unsigned flags;
  const char* listing;
};

const ListingCase kListings[] = {
    // Both alternatives lead on to the rest, which is listed under each.
    {"a|bc", 0,
     "Pattern(a|bc):\n"
     "  12NFAStartNode\n"
     "  9NFAOrNode\n"
     "    one\n"
     "      15NFASubStartNode\n"
     "      11NFACharNode(0x61)\n"
     "      13NFAAcceptNode\n"
     "      13NFAAcceptNode\n"
     "      10NFAEndNode\n"
     "    two\n"
     "      15NFASubStartNode\n"
     "      11NFACharNode(0x62)\n"
     "      11NFACharNode(0x63)\n"
     "      13NFAAcceptNode\n"
     "      13NFAAcceptNode\n"
     "      10NFAEndNode\n"},
    // A quantified group: prologue and loop, none of the group's own nodes.
    {"(ab)*c", 0,
     "Pattern((ab)*c):\n"
     "  12NFAStartNode\n"
     "  15NFASubStartNode\n"
     "  24NFAGroupLoopPrologueNode(gi=1)\n"
     "  16NFAGroupLoopNode(gi=1, min=0, max=2147483647, type=greedy)\n"
     "  11NFACharNode(0x63)\n"
     "  10NFAEndNode\n"},
    {"(ab){1,2}?(c)*+", 0,
     "Pattern((ab){1,2}?(c)*+):\n"
     "  12NFAStartNode\n"
     "  15NFASubStartNode\n"
     "  24NFAGroupLoopPrologueNode(gi=1)\n"
     "  16NFAGroupLoopNode(gi=1, min=1, max=2, type=reluctant)\n"
     "  24NFAGroupLoopPrologueNode(gi=2)\n"
     "  16NFAGroupLoopNode(gi=2, min=0, max=2147483647, type=possessive)\n"
     "  10NFAEndNode\n"},
    // A quantified class: the atom and its accept node under "inner", two levels deeper.
    {"[a-c]+d", 0,
     "Pattern([a-c]+d):\n"
     "  12NFAStartNode\n"
     "  15NFASubStartNode\n"
     "  23NFAGreedyQuantifierNode(min=1, max=2147483647)\n"
     "    inner\n"
     "      12NFAClassNode(3 vals, inv=false)\n"
     "      13NFAAcceptNode\n"
     "  11NFACharNode(0x64)\n"
     "  10NFAEndNode\n"},
    // The dot is the inverted class of the characters it refuses.
    {"x{2,3}?.*+", 0,
     "Pattern(x{2,3}?.*+):\n"
     "  12NFAStartNode\n"
     "  15NFASubStartNode\n"
     "  21NFALazyQuantifierNode(min=2, max=3)\n"
     "    inner\n"
     "      11NFACharNode(0x78)\n"
     "      13NFAAcceptNode\n"
     "  27NFAPossessiveQuantifierNode(min=0, max=2147483647)\n"
     "    inner\n"
     "      12NFAClassNode(2 vals, inv=true)\n"
     "      13NFAAcceptNode\n"
     "  10NFAEndNode\n"},
    // A look-ahead body one level deeper; look-behind, boundary and anchors on one line each.
    {"x(?=y)(?<!ab)\\B\\G\\Z$", 0,
     "Pattern(x(?=y)(?<!ab)\\B\\G\\Z$):\n"
     "  12NFAStartNode\n"
     "  15NFASubStartNode\n"
     "  11NFACharNode(0x78)\n"
     "  16NFALookAheadNode(pos=true)\n"
     "    15NFASubStartNode\n"
     "    11NFACharNode(0x79)\n"
     "    13NFAAcceptNode\n"
     "  17NFALookBehindNode(str=ab, pos=false)\n"
     "  19NFAWordBoundaryNode(pos=false)\n"
     "  17NFAEndOfMatchNode\n"
     "  17NFAEndOfInputNode(term=true)\n"
     "  17NFAEndOfInputNode(term=false)\n"
     "  10NFAEndNode\n"},
    {"(a)\\1\\b", 0,
     "Pattern((a)\\1\\b):\n"
     "  12NFAStartNode\n"
     "  15NFASubStartNode\n"
     "  16NFAGroupHeadNode(gi=1)\n"
     "  11NFACharNode(0x61)\n"
     "  16NFAGroupTailNode(gi=1)\n"
     "  16NFAReferenceNode(gi=1)\n"
     "  19NFAWordBoundaryNode(pos=true)\n"
     "  10NFAEndNode\n"},
    // Folding: the character in lower case, and a folding class with no line of its own.
    {"A\\Qbc\\E[x]", PatternFlag::FoldCase,
     "Pattern(A\\Qbc\\E[x]):\n"
     "  12NFAStartNode\n"
     "  15NFASubStartNode\n"
     "  13NFACICharNode(0x61)\n"
     "  14NFACIQuoteNode(bc)\n"
     "  10NFAEndNode\n"},
    // A byte from 0x80 up is a negative char: eight hexadecimal digits.
    {"\xE9", 0,
     "Pattern(\xE9):\n"
     "  12NFAStartNode\n"
     "  15NFASubStartNode\n"
     "  11NFACharNode(0xFFFFFFE9)\n"
     "  10NFAEndNode\n"},
    {"a(b", PatternFlag::QuoteWhole,
     "Pattern(a(b):\n"
     "  12NFAStartNode\n"
     "  12NFAQuoteNode(a(b)\n"
     "  10NFAEndNode\n"},
    {"(?m)^a", 0,
     "Pattern((?m)^a):\n"
     "  12NFAStartNode\n"
     "  15NFASubStartNode\n"
     "  17NFALookBehindNode(str=, pos=true)\n"
     "  18NFAStartOfLineNode\n"
     "  11NFACharNode(0x61)\n"
     "  10NFAEndNode\n"},
};

TEST(PatternDump, ListingOfEachNodeKind) {
  for (const ListingCase& c : kListings) {
    Pattern* pattern = Pattern::Compile(c.pattern, c.flags);
    ASSERT_NE(pattern, nullptr) << c.pattern;
    EXPECT_EQ(CapturedListing(pattern), c.listing) << c.pattern;
    delete pattern;
  }
}

TEST(PatternDump, PatternWithoutAHeadPrintsOnlyTheHeader) {
  Pattern bare("x+");
  EXPECT_EQ(CapturedListing(&bare), "Pattern(x+):\n");
}

// Every node lists the rest of its chain from within its own call: a chain this long
// overflows an ordinary thread stack in an unoptimised build.
TEST(PatternDump, LongChainIsListedWhole) {
  const size_t kLength = 300000;
  Pattern* pattern = Pattern::Compile(std::string(kLength, 'a'), 0);
  ASSERT_NE(pattern, nullptr);
  std::string listing = CapturedListing(pattern);
  size_t lines = 0;
  for (char c : listing) lines += c == '\n';
  EXPECT_EQ(lines, kLength + 4);  // header, start, sub-start, the characters, end
  const std::string kTail = "  11NFACharNode(0x61)\n  10NFAEndNode\n";
  EXPECT_EQ(listing.compare(listing.size() - kTail.size(), kTail.size(), kTail), 0);
  delete pattern;
}

TEST(PatternDescribe, Characters) {
  const struct {
    char c;
    const char* text;
  } kCases[] = {
      {'\0', "\\0"},   {'\t', "\\t"},          {'\n', "\\n"},          {'\f', "\\p"},
      {'\r', "\\r"},   {'\a', "0x07"},         {'\x1F', "0x1F"},       {'\v', "0x0B"},
      {'0', "0"},      {' ', " "},             {'\x7F', "\x7F"},       {'\\', "\\"},
      {'\xE9', "0xFFFFFFE9"}, {'\x80', "0xFFFFFF80"}, {'\xFF', "0xFFFFFFFF"},
  };
  for (const auto& c : kCases) {
    const char* text = Pattern::DescribeChar(c.c);
    EXPECT_EQ(text, Pattern::charTextBuffer);
    EXPECT_STREQ(text, c.text) << static_cast<int>(c.c);
  }
}

std::map<char, bool> MemberMap(const std::string& members) {
  std::map<char, bool> map;
  for (char c : members) map[c] = true;
  return map;
}

std::string AllBut(const std::string& excluded) {
  std::string members;
  for (int code = 0; code < 256; ++code)
    if (excluded.find(static_cast<char>(code)) == std::string::npos)
      members += static_cast<char>(code);
  return members;
}

const std::string kDigits = "0123456789";

struct ClassCase {
  std::string members;
  bool inverted;
  bool shorter;
  const char* text;
};

const ClassCase kClasses[] = {
    {"-abcxy", false, false, "[\\-a-cxy]"},
    {kDigits, true, false, "[^0-9]"},
    {"\x0B", false, false, "[\\x0B]"},
    {"", false, false, "[]"},
    // Blanks by name right behind the bracket, the space only there.
    {std::string(" \t\n\r\f\0", 6), false, false, "[ \\0\\t\\r\\n\\p]"},
    // Hexadecimal runs: one, two, collapsed from three; a run ends at its range's end.
    {"\x01", false, false, "[\\x01]"},
    {"\x01\x02", false, false, "[\\x01\\x02]"},
    {"\x01\x02\x03\x05", false, false, "[\\x01-\\x03\\x05]"},
    {"\x07\x08\x0B", false, false, "[\\x07\\x08\\x0B]"},
    {AllBut("").substr(128), false, false, "[\\x80-\\xFF]"},
    {"\x7F\x80", false, false, "[\\x80\x7F]"},
    // Characters: digits and letters collapse, punctuation never; the class's own
    // punctuation is escaped.
    {"789:;<", false, false, "[7-9:;<]"},
    {"ABCab", false, false, "[A-Cab]"},
    {"!\"#$", false, false, "[!\"#$]"},
    {"()[\\]^", false, false, "[\\(\\)\\[\\\\\\]^]"},
    {"{|}~", true, false, "[^{|}~]"},
    // The shorter text: the complement's when it is not longer.
    {AllBut(kDigits), false, true, "[^0-9]"},
    {kDigits, false, true, "[0-9]"},
    {AllBut("a"), true, true, "[a]"},
    {"", false, true, "[]"},
};

TEST(PatternDescribe, Classes) {
  for (const ClassCase& c : kClasses) {
    const char* text = Pattern::DescribeClass(MemberMap(c.members), c.inverted, c.shorter);
    EXPECT_EQ(text, Pattern::classTextBuffer);
    EXPECT_STREQ(text, c.text) << c.text;
  }
}

// A compiled class's own member map (a written complement is stored as its members) comes
// back as the class it was written as.
TEST(PatternDescribe, CompiledClassRoundTrips) {
  for (const char* text : {"[\\-a-cxy]", "[^0-9]", "[\\x0B]", "[ \\t#$%]"}) {
    Pattern* pattern = Pattern::Compile(text, 0);
    ASSERT_NE(pattern, nullptr) << text;
    const NFAClassNode* node = nullptr;
    for (auto& entry : pattern->nodes)
      if (auto* c = dynamic_cast<const NFAClassNode*>(entry.first)) node = c;
    ASSERT_NE(node, nullptr) << text;
    EXPECT_STREQ(Pattern::DescribeClass(node->members, node->inverted, true), text);
    delete pattern;
  }
}

// The longest description: runs of two in every collapsing range, each run a separate item.
TEST(PatternDescribe, LongestClassFitsItsBuffer) {
  std::string members;
  for (int code = 0; code < 256; ++code)
    if (code % 3 != 2) members += static_cast<char>(code);
  const char* text = Pattern::DescribeClass(MemberMap(members), true, false);
  size_t length = std::strlen(text);
  EXPECT_LT(length, sizeof Pattern::classTextBuffer);
  EXPECT_EQ(text[length - 1], ']');
}

TEST(PatternDescribe, RangeMembersAndRunsWriteIntoTheCallersBuffer) {
  char buffer[32];
  int length = 0;
  Pattern::DescribeRangeMembers(MemberMap("abcef"), 'a', 'f', true, true, buffer,
                                length, sizeof buffer);
  EXPECT_EQ(std::string(buffer, length), "a-ce");
  int runStart = 'x';
  Pattern::FlushCharRun('z' + 1, runStart, true, false, buffer, length, sizeof buffer);
  EXPECT_EQ(runStart, -1);
  EXPECT_EQ(std::string(buffer, length), "a-cexyz");
  Pattern::FlushCharRun('z' + 1, runStart, true, false, buffer, length, sizeof buffer);
  EXPECT_EQ(length, 7);  // no run pending: nothing written
}

// One pending run of codes first to end - 1, by its length and the two switches.
TEST(PatternDescribe, FlushCharRunByLengthAndSwitches) {
  const struct {
    int first, end;
    bool printable, collapse;
    const char* text;
  } kRuns[] = {
      {'a', 'b', true, true, "a"},
      {'-', '.', true, false, "\\-"},
      {0x01, 0x02, false, true, "\\x01"},
      {0x01, 0x03, false, false, "\\x01\\x02"},
      {'a', 'd', true, true, "a-c"},
      {'(', '+', true, false, "\\(\\)*"},
      {0x01, 0x04, false, true, "\\x01-\\x03"},
      // A run that does not collapse names every member as itself, printable or not.
      {'(', '+', false, false, "\\(\\)*"},
  };
  for (const auto& run : kRuns) {
    char buffer[32];
    int length = 0;
    int runStart = run.first;
    Pattern::FlushCharRun(run.end, runStart, run.printable, run.collapse, buffer, length,
                          sizeof buffer);
    EXPECT_EQ(runStart, -1);
    EXPECT_EQ(std::string(buffer, length), run.text) << run.first << "-" << run.end;
  }
}

// Each call appends the character, behind a backslash where the class syntax needs one; a NUL
// is appended like any other character.
TEST(PatternDescribe, AppendClassCharGrowsTheTextByOneOrTwo) {
  char buffer[8];
  int length = 0;
  Pattern::AppendClassChar('a', buffer, length, sizeof buffer);
  Pattern::AppendClassChar(']', buffer, length, sizeof buffer);
  Pattern::AppendClassChar(0, buffer, length, sizeof buffer);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(std::string(buffer, length), std::string("a\\]\0", 4));
}

// A buffer too small for the text keeps everything inside it, with room for the NUL.
TEST(PatternDescribe, WritersStopAtTheBuffersEnd) {
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  int length = 0;
  int runStart = 0x80;
  Pattern::FlushCharRun(0x100, runStart, false, true, buffer, length, 4);
  EXPECT_EQ(length, 3);
  EXPECT_EQ(std::string(buffer, 3), "\\x8");
  EXPECT_EQ(std::string(buffer + 3, 5), "#####");
  Pattern::AppendClassChar('-', buffer, length, 4);
  EXPECT_EQ(length, 3);
}

}  // namespace
