// The match state's searches and the pattern's operations built on them: successive
// searches, collecting, splitting, substituting, the cache and group read-out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Pattern.h"

namespace {

using Texts = std::vector<std::string>;

struct Compiled {
  explicit Compiled(const char* text, unsigned flags = 0) : pattern(Pattern::Compile(text, flags)) {}
  ~Compiled() { delete pattern; }
  Pattern* pattern;
};

TEST(MatchStateSearch, FindNextSteppingOverEmptyMatches) {
  Compiled c("a*");
  ASSERT_NE(c.pattern, nullptr);
  MatchState* m = c.pattern->CreateMatchState("aab");
  ASSERT_TRUE(m->FindFirst());
  EXPECT_EQ(m->GetGroupStart(0), 0);
  EXPECT_EQ(m->GetGroupText(0), "aa");
  ASSERT_TRUE(m->FindNext());
  EXPECT_EQ(m->GetGroupStart(0), 2);
  EXPECT_EQ(m->GetGroupText(0), "");
  EXPECT_FALSE(m->FindNext());
  // Asked again after the end, it stays at the end instead of starting over.
  EXPECT_FALSE(m->FindNext());
  EXPECT_FALSE(m->FindNext());
  delete m;
}

TEST(MatchStateSearch, FindNextAfterAFailedSearchStaysFailed) {
  Compiled c("b");
  MatchState* m = c.pattern->CreateMatchState("abc");
  ASSERT_TRUE(m->FindNext());
  EXPECT_EQ(m->GetGroupStart(0), 1);
  EXPECT_FALSE(m->FindNext());
  EXPECT_EQ(m->GetGroupStart(0), -1);
  EXPECT_EQ(m->GetGroupEnd(0), -1);
  EXPECT_FALSE(m->FindNext());
  m->Restart();
  EXPECT_TRUE(m->FindNext());
  delete m;
}

TEST(MatchStateSearch, EmptyTextAndFailedSearchGroups) {
  Compiled c("x*");
  MatchState* m = c.pattern->CreateMatchState("");
  ASSERT_TRUE(m->FindFirst());
  EXPECT_EQ(m->GetGroupStart(0), 0);
  EXPECT_EQ(m->GetGroupEnd(0), 0);
  EXPECT_FALSE(m->FindNext());
  delete m;

  Compiled y("y");
  m = y.pattern->CreateMatchState("abc");
  EXPECT_FALSE(m->FindFirst());
  EXPECT_EQ(m->GetGroupStart(0), -1);
  EXPECT_EQ(m->GetGroupEnd(0), -1);
  EXPECT_FALSE(m->MatchWhole());
  EXPECT_EQ(m->GetGroupStart(0), 0);
  EXPECT_EQ(m->GetGroupEnd(0), -1);
  delete m;
}

TEST(MatchStateSearch, GroupReadOut) {
  Compiled c("(a)(b)");
  MatchState* m = c.pattern->CreateMatchState("ab");
  // Before any search every group reads as the empty text at 0.
  EXPECT_EQ(m->GetGroupStart(0), 0);
  EXPECT_EQ(m->GetGroupText(0), "");
  ASSERT_TRUE(m->MatchWhole());
  EXPECT_EQ(m->GetGroupTexts(false), (Texts{"a", "b"}));
  EXPECT_EQ(m->GetGroupTexts(true), (Texts{"ab", "a", "b"}));
  EXPECT_EQ(m->GetGroupText(5), "");
  EXPECT_EQ(m->GetGroupStart(5), -1);
  EXPECT_EQ(m->GetGroupEnd(-1), -1);
  EXPECT_EQ(m->GetGroupText(-1), "");
  delete m;

  Compiled none("abc");
  m = none.pattern->CreateMatchState("abc");
  ASSERT_TRUE(m->MatchWhole());
  EXPECT_TRUE(m->GetGroupTexts(false).empty());
  delete m;

  Compiled optional("(a)?b");
  m = optional.pattern->CreateMatchState("b");
  ASSERT_TRUE(m->MatchWhole());
  EXPECT_EQ(m->GetGroupText(1), "");
  EXPECT_EQ(m->GetGroupStart(1), -1);
  delete m;
}

TEST(MatchStateSearch, EndOfMatchAnchorFollowsThePreviousMatch) {
  Compiled c("\\Ga");
  EXPECT_EQ(c.pattern->CollectMatches("aab"), (Texts{"a", "a"}));
  EXPECT_EQ(c.pattern->CollectMatches("aba"), (Texts{"a"}));
}

TEST(PatternOperations, CollectSubstituteSplit) {
  Compiled a("a*");
  EXPECT_EQ(a.pattern->CollectMatches("aab"), (Texts{"aa", ""}));
  Compiled x("x*");
  EXPECT_EQ(x.pattern->CollectMatches("ab"), (Texts{"", ""}));
  EXPECT_EQ(x.pattern->SubstituteAll("ab", "-"), "-a-b");
  Compiled b("(b)");
  EXPECT_EQ(b.pattern->SubstituteAll("abc", "[\\1]"), "a[b]c");
  EXPECT_EQ(b.pattern->SubstituteAll("abc", "\\2"), "ac");
  EXPECT_EQ(b.pattern->SubstituteAll("abc", "x\\"), "ax\\c");
  EXPECT_EQ(b.pattern->SubstituteAll("abc", "\\0\\\\\\n"), "ab\\nc");
  EXPECT_EQ(b.pattern->SubstituteAll("abc", "\\99999999999999"), "ac");

  Compiled comma(",");
  EXPECT_EQ(comma.pattern->SplitText("a,,b,", false, 0), (Texts{"a", "b"}));
  EXPECT_EQ(comma.pattern->SplitText("a,,b,", true, 0), (Texts{"a", "", "b"}));
  EXPECT_EQ(comma.pattern->SplitText(",a", true, 0), (Texts{"", "a"}));
  EXPECT_EQ(comma.pattern->SplitText(",a", false, 0), (Texts{"a"}));
  EXPECT_EQ(comma.pattern->SplitText("a,b,c,d", false, 2), (Texts{"a", "b", "c,d"}));
  EXPECT_EQ(comma.pattern->SplitText("a,b,c,d", false, 0), (Texts{"a", "b", "c", "d"}));
  EXPECT_TRUE(comma.pattern->SplitText("", true, 0).empty());
  EXPECT_EQ(x.pattern->SplitText("", true, 0), (Texts{""}));
  EXPECT_TRUE(x.pattern->SplitText("", false, 0).empty());
}

TEST(PatternOperations, QuickOperations) {
  EXPECT_TRUE(Pattern::QuickMatch("a.c", "abc", 0));
  EXPECT_FALSE(Pattern::QuickMatch("a.c", "abcd", 0));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Pattern::QuickMatch("a(", "a(", 0));
  EXPECT_EQ(Pattern::QuickSubstitute("a(", "x", "y", 0), "");
  EXPECT_TRUE(Pattern::QuickSplit("a(", "x", true, 0, 0).empty());
  EXPECT_TRUE(Pattern::QuickCollect("a(", "x", 0).empty());
  EXPECT_EQ(Pattern::QuickFindNth("a(", "x", 0, 0), std::make_pair(std::string(), -1));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(Pattern::QuickSubstitute("b", "abcb", "x", 0), "axcx");
  EXPECT_EQ(Pattern::QuickSplit(",", "a,b", false, 0, 0), (Texts{"a", "b"}));
  EXPECT_EQ(Pattern::QuickCollect("\\d+", "a12b3", 0), (Texts{"12", "3"}));
  EXPECT_EQ(Pattern::QuickFindNth(",", "a,b,c", 1, 0), std::make_pair(std::string(","), 3));
  EXPECT_EQ(Pattern::QuickFindNth(",", "a,b,c", 2, 0), std::make_pair(std::string(), -1));
  EXPECT_EQ(Pattern::QuickFindNth(",", "a,b,c", -1, 0), std::make_pair(std::string(), -1));
}

TEST(PatternOperations, CacheIsKeyedByTextAlone) {
  Pattern* first = Pattern::CompileCached("ab", PatternFlag::FoldCase);
  Pattern* second = Pattern::CompileCached("ab", 0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(second->GetCompileFlags(), PatternFlag::FoldCase);
  EXPECT_TRUE(second->MatchWhole("AB"));
  testing::internal::CaptureStderr();
  EXPECT_EQ(Pattern::CompileCached("(", 0), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStderr(), "");
  testing::internal::CaptureStderr();
  EXPECT_EQ(Pattern::CompileCached("(", 0), nullptr);  // the null is cached: no new diagnostic
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  Pattern::DeleteCachedPatterns();
  EXPECT_TRUE(Pattern::compiledCache.empty());
}

TEST(PatternOperations, SourceTextAndOwnStateFollowTheSubject) {
  Compiled c("b+");
  EXPECT_EQ(c.pattern->GetSourceText(), "b+");
  EXPECT_TRUE(c.pattern->MatchWhole("bbb"));
  EXPECT_EQ(c.pattern->ownMatchState->GetText(), "bbb");
  MatchState* m = c.pattern->CreateMatchState("abba");
  m->SetText("xbx");
  EXPECT_TRUE(m->FindFirst());
  EXPECT_EQ(m->GetGroupStart(0), 1);
  delete m;
}

}  // namespace
