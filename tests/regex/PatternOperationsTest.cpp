// The pattern's public operations over whole subjects, each table run through the member
// operation and its Quick twin in both engines: substitution with group references,
// splitting with its field rules and limit, collecting and the n-th match, all around empty
// matches; then the narrow cache and the own match state.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "EngineTypes.h"
#include "Pattern.h"

namespace {

using Texts = std::vector<std::string>;

const char kTwelveGroups[] = "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)";

struct SubstituteCase {
  const char* pattern;
  const char* subject;
  const char* replacement;
  const char* result;
};

const SubstituteCase kSubstitutions[] = {
    {"(b)", "abc", "[\\1]", "a[b]c"},
    {"(b)", "abc", "\\0\\0", "abbc"},
    {"(b)", "abc", "\\2", "ac"},                 // no such group: nothing
    {"(b)", "abc", "\\01", "abc"},               // the digit run is decimal: group 1
    {"(b)", "abc", "x\\", "ax\\c"},              // a trailing backslash stays
    {"(b)", "abc", "\\\\", "a\\c"},              // an escaped backslash is one
    {"(b)", "abc", "\\n\\$", "an$c"},            // any other escaped character is itself
    {"(b)", "abc", "\\99999999999999", "ac"},    // beyond the int range: no such group
    {"(x)?b", "abc", "[\\1]", "a[]c"},           // an unset group adds nothing
    {kTwelveGroups, "abcdefghijkl", "\\12\\1", "la"},
    {kTwelveGroups, "abcdefghijkl", "\\10x", "jx"},
    {kTwelveGroups, "abcdefghijkl", "<\\120>", "<>"},
    // Empty matches are replaced once each, never after the subject's last character.
    {"x*", "ab", "-", "-a-b"},
    {"", "abc", "-", "-a-b-c"},
    {"a*", "baac", "<\\0>", "<>b<aa><>c"},
    // The first search does try the end, so an empty subject takes one replacement.
    {"x*", "", "-", "-"},
    {"z", "abc", "-", "abc"},
};

template <class E>
class OperationTables : public ::testing::Test {};
TYPED_TEST_SUITE(OperationTables, BothEngines, EngineNames);

TYPED_TEST(OperationTables, SubstituteAll) {
  using P = typename TypeParam::PatternType;
  const auto T = TypeParam::T;
  for (const SubstituteCase& c : kSubstitutions) {
    SCOPED_TRACE(std::string(c.pattern) + " / " + c.replacement);
    Compiled<TypeParam> compiled(c.pattern);
    ASSERT_NE(compiled.pattern, nullptr);
    EXPECT_EQ(compiled.pattern->SubstituteAll(T(c.subject), T(c.replacement)), T(c.result));
    EXPECT_EQ(P::QuickSubstitute(T(c.pattern), T(c.subject), T(c.replacement)), T(c.result));
  }
}

struct SplitCase {
  const char* pattern;
  const char* subject;
  bool keepEmpty;
  unsigned limit;
  Texts fields;
};

const SplitCase kSplits[] = {
    {",", "a,,b,", false, 0, {"a", "b"}},
    {",", "a,,b,", true, 0, {"a", "", "b"}},  // no empty field after the final match
    {",", ",a", true, 0, {"", "a"}},
    {",", ",a", false, 0, {"a"}},
    {", *", "a, b,  c", false, 0, {"a", "b", "c"}},
    {"z", "abc", true, 0, {"abc"}},
    // A limit of k gives at most k + 1 fields: the rest keeps its separators.
    {",", "a,b,c,d", false, 0, {"a", "b", "c", "d"}},
    {",", "a,b,c,d", false, 1, {"a", "b,c,d"}},
    {",", "a,b,c,d", false, 2, {"a", "b", "c,d"}},
    {",", "a,b,c,d", false, 3, {"a", "b", "c", "d"}},
    {",", "a,b", false, 5, {"a", "b"}},
    {",", "a,,b,c", true, 2, {"a", "", "b,c"}},
    {",", "a,,b,c", false, 1, {"a", ",b,c"}},
    {",", ",,a", false, 1, {"a"}},  // skipped separators add no field
    // Empty matches: each adds the field before it when empty fields are kept, none else.
    {"x*", "ab", true, 0, {"", "a", "b"}},
    {"x*", "ab", false, 0, {"ab"}},
    {"x*", "ab", true, 1, {"", "ab"}},
    // The empty subject: one empty field only where the pattern matches it and empty
    // fields are kept.
    {"x*", "", true, 0, {""}},
    {"x*", "", false, 0, {}},
    {",", "", true, 0, {}},
};

TYPED_TEST(OperationTables, SplitText) {
  using P = typename TypeParam::PatternType;
  const auto T = TypeParam::T;
  for (const SplitCase& c : kSplits) {
    SCOPED_TRACE(std::string(c.pattern) + " in '" + c.subject + "' keep " +
                 std::to_string(c.keepEmpty) + " limit " + std::to_string(c.limit));
    Compiled<TypeParam> compiled(c.pattern);
    ASSERT_NE(compiled.pattern, nullptr);
    EXPECT_EQ(compiled.pattern->SplitText(T(c.subject), c.keepEmpty, c.limit),
              TextsOf<TypeParam>(c.fields));
    EXPECT_EQ(P::QuickSplit(T(c.pattern), T(c.subject), c.keepEmpty, c.limit),
              TextsOf<TypeParam>(c.fields));
  }
}

struct CollectCase {
  const char* pattern;
  const char* subject;
  Texts matches;
};

const CollectCase kCollections[] = {
    {"a*", "aab", {"aa", ""}},  // no empty match after the last character
    {"x*", "ab", {"", ""}},
    {"x*", "", {""}},
    {"", "ab", {"", ""}},
    {"\\d+", "a12b3", {"12", "3"}},
    {"a|ab", "abab", {"a", "a"}},
    {"z", "abc", {}},
};

TYPED_TEST(OperationTables, CollectMatches) {
  using P = typename TypeParam::PatternType;
  const auto T = TypeParam::T;
  for (const CollectCase& c : kCollections) {
    SCOPED_TRACE(c.pattern);
    Compiled<TypeParam> compiled(c.pattern);
    ASSERT_NE(compiled.pattern, nullptr);
    const auto matches = TextsOf<TypeParam>(c.matches);
    EXPECT_EQ(compiled.pattern->CollectMatches(T(c.subject)), matches);
    EXPECT_EQ(P::QuickCollect(T(c.pattern), T(c.subject)), matches);
    // A state that has searched already collects from the start again.
    auto* state = compiled.pattern->CreateMatchState(T(c.subject));
    state->FindFirst();
    state->FindNext();
    EXPECT_EQ(state->CollectMatches(), matches);
    delete state;
  }
}

struct FindNthCase {
  const char* pattern;
  const char* subject;
  int n;
  std::pair<std::string, int> found;
};

const FindNthCase kFindNth[] = {
    {",", "a,b,c", 0, {",", 1}},
    {",", "a,b,c", 1, {",", 3}},
    {",", "a,b,c", 2, {"", -1}},
    {",", "a,b,c", -1, {"", -1}},
    {",", "a,b,c", -7, {"", -1}},
    {"\\d+", "a12b3", 1, {"3", 4}},
    {"x*", "ab", 1, {"", 1}},
    {"x*", "ab", 2, {"", -1}},
    {"x*", "", 0, {"", 0}},
    {"a(", "a(", 0, {"", -1}},  // does not compile
};

TYPED_TEST(OperationTables, QuickFindNth) {
  using P = typename TypeParam::PatternType;
  const auto T = TypeParam::T;
  testing::internal::CaptureStderr();
  for (const FindNthCase& c : kFindNth)
    EXPECT_EQ(P::QuickFindNth(T(c.pattern), T(c.subject), c.n),
              std::make_pair(T(c.found.first), c.found.second))
        << c.pattern << " n " << c.n;
  testing::internal::GetCapturedStderr();
}

class PatternCache : public testing::Test {
 protected:
  void TearDown() override { Pattern::DeleteCachedPatterns(); }
};

// The cache is keyed by the text alone: later flags are ignored, a null result included.
TEST_F(PatternCache, FirstCompileServesEveryLaterCall) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(Pattern::CompileCached("(", 0), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStderr(), "");
  testing::internal::CaptureStderr();
  EXPECT_EQ(Pattern::CompileCached("(", PatternFlag::QuoteWhole), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // no second compile, no report

  Pattern* strict = Pattern::CompileCached("ab", 0);
  ASSERT_NE(strict, nullptr);
  EXPECT_EQ(Pattern::CompileCached("ab", PatternFlag::FoldCase), strict);
  EXPECT_FALSE(strict->MatchWhole("AB"));
  EXPECT_EQ(Pattern::compiledCache.size(), 2u);

  // Once deleted, the text compiles anew with the flags of the next call.
  Pattern::DeleteCachedPatterns();
  EXPECT_TRUE(Pattern::compiledCache.empty());
  Pattern* folding = Pattern::CompileCached("ab", PatternFlag::FoldCase);
  ASSERT_NE(folding, nullptr);
  EXPECT_EQ(folding->GetCompileFlags(), static_cast<unsigned>(PatternFlag::FoldCase));
  EXPECT_TRUE(folding->MatchWhole("AB"));
  EXPECT_NE(Pattern::CompileCached("(", PatternFlag::QuoteWhole), nullptr);
}

TEST(PatternMembers, FlagsAndSourceTextAreThoseGivenToCompile) {
  Compiled<NarrowEngine> inlineFlags("(?i)a(?s:.)", PatternFlag::LineAnchors);
  ASSERT_NE(inlineFlags.pattern, nullptr);
  EXPECT_EQ(inlineFlags.pattern->GetCompileFlags(),
            static_cast<unsigned>(PatternFlag::LineAnchors));
  EXPECT_EQ(inlineFlags.pattern->GetSourceText(), "(?i)a(?s:.)");
}

// The member operations run on the pattern's own state and leave it on their subject; a
// state made by CreateMatchState keeps its own search.
TEST(PatternMembers, OwnMatchStateFollowsEachSubject) {
  Compiled<NarrowEngine> digits("(\\d)");
  ASSERT_NE(digits.pattern, nullptr);
  MatchState* separate = digits.pattern->CreateMatchState("x7");
  ASSERT_TRUE(separate->FindFirst());

  digits.pattern->SubstituteAll("a1", "-");
  EXPECT_EQ(digits.pattern->ownMatchState->GetText(), "a1");
  digits.pattern->SplitText("b2c", false, 0);
  EXPECT_EQ(digits.pattern->ownMatchState->GetText(), "b2c");
  digits.pattern->CollectMatches("3d");
  EXPECT_EQ(digits.pattern->ownMatchState->GetText(), "3d");
  EXPECT_TRUE(digits.pattern->MatchWhole("4"));
  EXPECT_EQ(digits.pattern->ownMatchState->GetText(), "4");
  EXPECT_EQ(digits.pattern->ownMatchState->GetGroupText(1), "4");

  EXPECT_EQ(separate->GetText(), "x7");
  EXPECT_EQ(separate->GetGroupStart(1), 1);
  EXPECT_EQ(separate->GetGroupText(1), "7");
  delete separate;
}

}  // namespace
