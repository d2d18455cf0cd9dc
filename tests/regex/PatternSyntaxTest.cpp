// Syntax errors: compile returns null, and the report on standard error has its exact text,
// caret line and number of reports; named patterns and their guards. Both engines run every
// table; where their report counts differ the row says so.
#include <gtest/gtest.h>

#include <string>

#include "EngineTypes.h"
#include "Pattern.h"

namespace {

struct ErrorCase {
  std::string pattern;
  unsigned flags;
  int reports;
  // The wide engine reports a malformed bound behind a group's ")" once, from the group's
  // own level only; -1: as many as the narrow engine.
  int wideReports = -1;
};

template <class E>
class SyntaxError : public ::testing::Test {};
TYPED_TEST_SUITE(SyntaxError, BothEngines, EngineNames);

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
    {"(a|?:b)", 0, 2},
    {"]", 0, 1},
    {"}", 0, 1},
    {"a\\", 0, 1},
    {"a{x}", 0, 1},
    {"a{x,1}", 0, 1},
    {"a{1", 0, 1},
    {"(a){1", 0, 2, 1},
    {"(a){1,x}", 0, 2, 1},
    {"((a){1)", 0, 3, 2},
    {"(a)b{1", 0, 1},
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
    // A range's end escape that fails reports once, then the class goes on.
    {"[a-\\", 0, 2},
    {"[a-\\p{bad}]", 0, 1},
    // A negated escape cannot end a range, also when its name is unknown: the name's report,
    // then the range's.
    {"[a-\\P{Bad}]", 0, 2},
    {"([a-\\P{Bad}])", 0, 3},
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
TYPED_TEST(SyntaxError, CompileFailsWithReports) {
  using P = typename TypeParam::PatternType;
  bool wide = std::is_same<TypeParam, WideEngine>::value;
  for (const ErrorCase& c : kErrors) {
    SCOPED_TRACE("'" + c.pattern.substr(0, 40) + "'");
    testing::internal::CaptureStderr();
    P* p = P::Compile(TypeParam::T(c.pattern), c.flags);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(p, nullptr);
    delete p;
    int expected = wide && c.wideReports >= 0 ? c.wideReports : c.reports;
    EXPECT_EQ(CountReports(err), expected) << err.substr(0, 400);
  }
}

TYPED_TEST(SyntaxError, ExactTextWithCaretUnderTheCharacter) {
  using P = typename TypeParam::PatternType;
  testing::internal::CaptureStderr();
  EXPECT_EQ(P::Compile(TypeParam::T("ab)"), 0), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ab)\n  ^\nSyntax Error near here. Possible unescaped meta character.\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(P::Compile(TypeParam::T("a\\"), 0), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "a\\\n ^\nSyntax Error near here. \n");
  // The level that reported reads nothing further, so the enclosing group's report stands
  // under the same character.
  testing::internal::CaptureStderr();
  EXPECT_EQ(P::Compile(TypeParam::T("((*)x)"), 0), nullptr);
  const std::string report = "((*)x)\n  ^\nSyntax Error near here. Possible unescaped meta character.\n";
  EXPECT_EQ(testing::internal::GetCapturedStderr(), report + report + report);
}

TYPED_TEST(SyntaxError, LongAlternationIsRefusedNotOverflowed) {
  using P = typename TypeParam::PatternType;
  std::string many = "a";
  for (int i = 0; i < 20000; ++i) many += "|a";
  testing::internal::CaptureStderr();
  EXPECT_EQ(P::Compile(TypeParam::T(many), 0), nullptr);
  EXPECT_EQ(CountReports(testing::internal::GetCapturedStderr()), 1);
  std::string fine = "a";
  for (int i = 0; i < 500; ++i) fine += "|b";
  P* p = P::Compile(TypeParam::T(fine + "|c"), 0);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->MatchWhole(TypeParam::T("c")));
  delete p;
}

template <class E>
class NamedPatterns : public ::testing::Test {
 protected:
  void TearDown() override { E::PatternType::ClearNamedPatterns(); }
};
TYPED_TEST_SUITE(NamedPatterns, BothEngines, EngineNames);

TYPED_TEST(NamedPatterns, ExpandsInPlaceWithGroupsNumberedOn) {
  using P = typename TypeParam::PatternType;
  const auto T = TypeParam::T;
  ASSERT_TRUE(P::DefineNamedPattern(T("nm"), T("ab"), 0));
  EXPECT_TRUE(P::QuickMatch(T("x{nm}y"), T("xaby"), 0));
  EXPECT_FALSE(P::QuickMatch(T("x{nm}y"), T("xy"), 0));
  ASSERT_TRUE(P::DefineNamedPattern(T("pair"), T("(\\d)(\\d)"), 0));
  P* p = P::Compile(T("(x){pair}(y)"), 0);
  ASSERT_NE(p, nullptr);
  auto* m = p->CreateMatchState(T("x12y"));
  ASSERT_TRUE(m->MatchWhole());
  EXPECT_EQ(m->GetGroupTexts(false), (TextsOf<TypeParam>({"x", "1", "2", "y"})));
  delete m;
  delete p;
}

TYPED_TEST(NamedPatterns, ExpansionUsesItsOwnFlags) {
  using P = typename TypeParam::PatternType;
  const auto T = TypeParam::T;
  ASSERT_TRUE(P::DefineNamedPattern(T("ci"), T("ab"), PatternFlag::FoldCase));
  EXPECT_TRUE(P::QuickMatch(T("x{ci}"), T("xAB"), 0));
  EXPECT_FALSE(P::QuickMatch(T("X{ci}"), T("xAB"), 0));
}

TYPED_TEST(NamedPatterns, FailedDefinitionKeepsTheEarlierOne) {
  using P = typename TypeParam::PatternType;
  const auto T = TypeParam::T;
  ASSERT_TRUE(P::DefineNamedPattern(T("nm"), T("ab"), 0));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(P::DefineNamedPattern(T("nm"), T("a("), 0));
  EXPECT_GT(CountReports(testing::internal::GetCapturedStderr()), 0);
  EXPECT_TRUE(P::QuickMatch(T("{nm}"), T("ab"), 0));
}

TYPED_TEST(NamedPatterns, SelfReferringDefinitionIsRefusedAndTheEarlierOneKept) {
  using P = typename TypeParam::PatternType;
  const auto T = TypeParam::T;
  ASSERT_TRUE(P::DefineNamedPattern(T("aa"), T("x"), 0));
  ASSERT_TRUE(P::DefineNamedPattern(T("bb"), T("y"), 0));
  ASSERT_TRUE(P::DefineNamedPattern(T("cc"), T("{bb}"), 0));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(P::DefineNamedPattern(T("aa"), T("x{aa}"), 0));
  EXPECT_FALSE(P::DefineNamedPattern(T("bb"), T("{cc}"), 0));
  EXPECT_FALSE(P::DefineNamedPattern(T("dd"), T("(a{dd})"), 0));
  EXPECT_GT(CountReports(testing::internal::GetCapturedStderr()), 0);
  EXPECT_TRUE(P::QuickMatch(T("{aa}"), T("x"), 0));
  EXPECT_TRUE(P::QuickMatch(T("z{cc}"), T("zy"), 0));
  EXPECT_EQ(P::namedPatterns.count(T("dd")), 0u);
  EXPECT_EQ(P::namedPatterns.size(), 3u);
}

TYPED_TEST(NamedPatterns, CycleInTheRegistryIsASyntaxErrorNotEndlessExpansion) {
  using P = typename TypeParam::PatternType;
  const auto T = TypeParam::T;
  P::namedPatterns[T("aa")] = {T("x{aa}"), 0};
  P::namedPatterns[T("bb")] = {T("{cc}"), 0};
  P::namedPatterns[T("cc")] = {T("{bb}"), 0};
  testing::internal::CaptureStderr();
  EXPECT_EQ(P::Compile(T("{aa}"), 0), nullptr);
  EXPECT_EQ(P::Compile(T("z{bb}"), 0), nullptr);
  EXPECT_GT(CountReports(testing::internal::GetCapturedStderr()), 0);
}

TYPED_TEST(NamedPatterns, QuantifierBehindAReferenceIsRefused) {
  using P = typename TypeParam::PatternType;
  const auto T = TypeParam::T;
  ASSERT_TRUE(P::DefineNamedPattern(T("nm"), T("ab"), 0));
  for (const char* text : {"{nm}*", "{nm}+", "{nm}?", "{nm}{2}"}) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(P::Compile(T(text), 0), nullptr) << text;
    EXPECT_EQ(CountReports(testing::internal::GetCapturedStderr()), 1) << text;
  }
  EXPECT_TRUE(P::QuickMatch(T("(?:{nm})*"), T("abab"), 0));
}

TYPED_TEST(NamedPatterns, UnknownAndMalformedNames) {
  using P = typename TypeParam::PatternType;
  const auto T = TypeParam::T;
  testing::internal::CaptureStderr();
  EXPECT_EQ(P::Compile(T("{nm}"), 0), nullptr);
  EXPECT_EQ(P::Compile(T("a{x}"), 0), nullptr);
  EXPECT_EQ(CountReports(testing::internal::GetCapturedStderr()), 2);
  ASSERT_TRUE(P::DefineNamedPattern(T("nm"), T("ab"), 0));
  P::ClearNamedPatterns();
  testing::internal::CaptureStderr();
  EXPECT_EQ(P::Compile(T("{nm}"), 0), nullptr);
  testing::internal::GetCapturedStderr();
}

}  // namespace
