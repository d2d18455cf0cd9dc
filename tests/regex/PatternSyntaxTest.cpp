// Syntax errors: compile returns null, and the report on standard error has its exact text,
// caret line and number of reports.
#include <gtest/gtest.h>

#include <string>

#include "Pattern.h"

namespace {

int CountReports(const std::string& err) {
  int count = 0;
  for (size_t at = err.find("Syntax Error near here."); at != std::string::npos;
       at = err.find("Syntax Error near here.", at + 1))
    ++count;
  return count;
}

struct ErrorCase {
  std::string pattern;
  unsigned flags;
  int reports;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << "'" << c.pattern.substr(0, 40) << "'"; }

class SyntaxError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SyntaxError, CompileFailsWithReports) {
  const ErrorCase& c = GetParam();
  testing::internal::CaptureStderr();
  Pattern* p = Pattern::Compile(c.pattern, c.flags);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(p, nullptr);
  delete p;
  EXPECT_EQ(CountReports(err), c.reports) << err.substr(0, 400);
}

const ErrorCase kErrors[] = {
    {"ab)", 0, 1},
    {"(*)", 0, 2},
    {"((*)x)", 0, 3},
    {"(a", 0, 2},
    {"((a", 0, 4},
    {"a**", 0, 1},
    {"*", 0, 1},
    {"a|*", 0, 1},
    {"(a|*)", 0, 2},
    {"]", 0, 1},
    {"}", 0, 1},
    {"a\\", 0, 1},
    {"a{x}", 0, 1},
    {"a{x,1}", 0, 1},
    {"a{1", 0, 1},
    {"(a){1", 0, 2},
    {"(a){1,x}", 0, 2},
    {"((a){1)", 0, 3},
    {"\\Qa", 0, 1},
    {"(?<=ab", 0, 1},
    {"(?<=a\\)", 0, 1},
    {"(?x)", 0, 2},
    {"(?i-m-s)", 0, 2},
    {"(?", 0, 2},
    {"{nm", 0, 1},
    {"{9x}", 0, 1},
    {"{unknownName}", 0, 1},
    {"[a-]", 0, 2},
    {"[a-&]", 0, 2},
    {"[a&&b]", 0, 2},
    {"[a", 0, 1},
    {"[a-", 0, 2},
    {"[a-\\d]", 0, 1},
    {"[\\Qa\\E]", 0, 2},
    {"[\\", 0, 2},
    {"\\p{Lower", 0, 2},  // the name, then the "{" read as an unclosed bound
    {"\\pL", 0, 1},
    {"\\p{lower}", 0, 1},
    {"\\08", 0, 1},
    {"\\01", 0, 1},
    {"(?>a)*", 0, 1},
    {"(?=a)+", 0, 1},
    {"(?i)*", 0, 1},
    {"a*{2}", 0, 1},
    // Nesting beyond the compiler's bound is refused, not recursed into.
    {std::string(1500, '('), 0, 1001},
    {std::string(1500, '['), 0, 1000},
};
INSTANTIATE_TEST_SUITE_P(Reports, SyntaxError, ::testing::ValuesIn(kErrors));

TEST(SyntaxErrorReport, ExactTextWithCaretUnderTheCharacter) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(Pattern::Compile("ab)", 0), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ab)\n  ^\nSyntax Error near here. Possible unescaped meta character.\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(Pattern::Compile("a\\", 0), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "a\\\n ^\nSyntax Error near here. \n");
}

TEST(SyntaxErrorReport, LongAlternationIsRefusedNotOverflowed) {
  std::string many = "a";
  for (int i = 0; i < 20000; ++i) many += "|a";
  testing::internal::CaptureStderr();
  EXPECT_EQ(Pattern::Compile(many, 0), nullptr);
  EXPECT_EQ(CountReports(testing::internal::GetCapturedStderr()), 1);
  std::string fine = "a";
  for (int i = 0; i < 500; ++i) fine += "|b";
  Pattern* p = Pattern::Compile(fine + "|c", 0);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->MatchWhole("c"));
  delete p;
}

class NamedPatterns : public ::testing::Test {
 protected:
  void TearDown() override { Pattern::ClearNamedPatterns(); }
};

TEST_F(NamedPatterns, ExpandsInPlaceWithGroupsNumberedOn) {
  ASSERT_TRUE(Pattern::DefineNamedPattern("nm", "ab", 0));
  EXPECT_TRUE(Pattern::QuickMatch("x{nm}y", "xaby", 0));
  EXPECT_FALSE(Pattern::QuickMatch("x{nm}y", "xy", 0));
  ASSERT_TRUE(Pattern::DefineNamedPattern("pair", "(\\d)(\\d)", 0));
  Pattern* p = Pattern::Compile("(x){pair}(y)", 0);
  ASSERT_NE(p, nullptr);
  MatchState* m = p->CreateMatchState("x12y");
  ASSERT_TRUE(m->MatchWhole());
  EXPECT_EQ(m->GetGroupTexts(false), (std::vector<std::string>{"x", "1", "2", "y"}));
  delete m;
  delete p;
}

TEST_F(NamedPatterns, ExpansionUsesItsOwnFlags) {
  ASSERT_TRUE(Pattern::DefineNamedPattern("ci", "ab", PatternFlag::FoldCase));
  EXPECT_TRUE(Pattern::QuickMatch("x{ci}", "xAB", 0));
  EXPECT_FALSE(Pattern::QuickMatch("X{ci}", "xAB", 0));
}

TEST_F(NamedPatterns, FailedDefinitionKeepsTheEarlierOne) {
  ASSERT_TRUE(Pattern::DefineNamedPattern("nm", "ab", 0));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Pattern::DefineNamedPattern("nm", "a(", 0));
  EXPECT_GT(CountReports(testing::internal::GetCapturedStderr()), 0);
  EXPECT_TRUE(Pattern::QuickMatch("{nm}", "ab", 0));
}

TEST_F(NamedPatterns, SelfReferenceIsASyntaxErrorNotEndlessExpansion) {
  ASSERT_TRUE(Pattern::DefineNamedPattern("aa", "x", 0));
  ASSERT_TRUE(Pattern::DefineNamedPattern("aa", "x{aa}", 0));  // passes its trial: "aa" exists
  ASSERT_TRUE(Pattern::DefineNamedPattern("bb", "y", 0));
  ASSERT_TRUE(Pattern::DefineNamedPattern("cc", "{bb}", 0));
  ASSERT_TRUE(Pattern::DefineNamedPattern("bb", "{cc}", 0));
  testing::internal::CaptureStderr();
  EXPECT_EQ(Pattern::Compile("{aa}", 0), nullptr);
  EXPECT_EQ(Pattern::Compile("z{bb}", 0), nullptr);
  EXPECT_GT(CountReports(testing::internal::GetCapturedStderr()), 0);
}

TEST_F(NamedPatterns, QuantifierBehindAReferenceIsRefused) {
  ASSERT_TRUE(Pattern::DefineNamedPattern("nm", "ab", 0));
  for (const char* text : {"{nm}*", "{nm}+", "{nm}?", "{nm}{2}"}) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(Pattern::Compile(text, 0), nullptr) << text;
    EXPECT_EQ(CountReports(testing::internal::GetCapturedStderr()), 1) << text;
  }
  EXPECT_TRUE(Pattern::QuickMatch("(?:{nm})*", "abab", 0));
}

TEST_F(NamedPatterns, UnknownAndMalformedNames) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(Pattern::Compile("{nm}", 0), nullptr);
  EXPECT_EQ(Pattern::Compile("a{x}", 0), nullptr);
  EXPECT_EQ(CountReports(testing::internal::GetCapturedStderr()), 2);
  ASSERT_TRUE(Pattern::DefineNamedPattern("nm", "ab", 0));
  Pattern::ClearNamedPatterns();
  testing::internal::CaptureStderr();
  EXPECT_EQ(Pattern::Compile("{nm}", 0), nullptr);
  testing::internal::GetCapturedStderr();
}

}  // namespace
