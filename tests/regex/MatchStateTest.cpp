// The match state's searches and the pattern's operations built on them: successive
// searches, collecting, splitting, substituting, the cache and group read-out, in both engines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineTypes.h"

namespace {

template <class E>
class MatchStateSearch : public ::testing::Test {};
TYPED_TEST_SUITE(MatchStateSearch, BothEngines, EngineNames);
template <class E>
class PatternOperations : public ::testing::Test {};
TYPED_TEST_SUITE(PatternOperations, BothEngines, EngineNames);

TYPED_TEST(MatchStateSearch, FindNextSteppingOverEmptyMatches) {
  const auto T = TypeParam::T;
  Compiled<TypeParam> c("a*");
  ASSERT_NE(c.pattern, nullptr);
  auto* m = c.pattern->CreateMatchState(T("aab"));
  ASSERT_TRUE(m->FindFirst());
  EXPECT_EQ(m->GetGroupStart(0), 0);
  EXPECT_EQ(m->GetGroupText(0), T("aa"));
  ASSERT_TRUE(m->FindNext());
  EXPECT_EQ(m->GetGroupStart(0), 2);
  EXPECT_EQ(m->GetGroupText(0), T(""));
  EXPECT_FALSE(m->FindNext());
  // Asked again after the end, it stays at the end instead of starting over.
  EXPECT_FALSE(m->FindNext());
  EXPECT_FALSE(m->FindNext());
  delete m;
}

TYPED_TEST(MatchStateSearch, FindNextAfterAFailedSearchStaysFailed) {
  const auto T = TypeParam::T;
  Compiled<TypeParam> c("b");
  auto* m = c.pattern->CreateMatchState(T("abc"));
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

TYPED_TEST(MatchStateSearch, EmptyTextAndFailedSearchGroups) {
  const auto T = TypeParam::T;
  Compiled<TypeParam> c("x*");
  auto* m = c.pattern->CreateMatchState(T(""));
  ASSERT_TRUE(m->FindFirst());
  EXPECT_EQ(m->GetGroupStart(0), 0);
  EXPECT_EQ(m->GetGroupEnd(0), 0);
  EXPECT_FALSE(m->FindNext());
  delete m;

  Compiled<TypeParam> y("y");
  m = y.pattern->CreateMatchState(T("abc"));
  EXPECT_FALSE(m->FindFirst());
  EXPECT_EQ(m->GetGroupStart(0), -1);
  EXPECT_EQ(m->GetGroupEnd(0), -1);
  EXPECT_FALSE(m->MatchWhole());
  EXPECT_EQ(m->GetGroupStart(0), 0);
  EXPECT_EQ(m->GetGroupEnd(0), -1);
  delete m;
}

TYPED_TEST(MatchStateSearch, GroupReadOut) {
  const auto T = TypeParam::T;
  Compiled<TypeParam> c("(a)(b)");
  auto* m = c.pattern->CreateMatchState(T("ab"));
  // Before any search every group reads as the empty text at 0.
  EXPECT_EQ(m->GetGroupStart(0), 0);
  EXPECT_EQ(m->GetGroupText(0), T(""));
  ASSERT_TRUE(m->MatchWhole());
  EXPECT_EQ(m->GetGroupTexts(false), (TextsOf<TypeParam>({"a", "b"})));
  EXPECT_EQ(m->GetGroupTexts(true), (TextsOf<TypeParam>({"ab", "a", "b"})));
  EXPECT_EQ(m->GetGroupText(5), T(""));
  EXPECT_EQ(m->GetGroupStart(5), -1);
  EXPECT_EQ(m->GetGroupEnd(-1), -1);
  EXPECT_EQ(m->GetGroupText(-1), T(""));
  delete m;

  Compiled<TypeParam> none("abc");
  m = none.pattern->CreateMatchState(T("abc"));
  ASSERT_TRUE(m->MatchWhole());
  EXPECT_TRUE(m->GetGroupTexts(false).empty());
  delete m;

  Compiled<TypeParam> optional("(a)?b");
  m = optional.pattern->CreateMatchState(T("b"));
  ASSERT_TRUE(m->MatchWhole());
  EXPECT_EQ(m->GetGroupText(1), T(""));
  EXPECT_EQ(m->GetGroupStart(1), -1);
  delete m;
}

TYPED_TEST(MatchStateSearch, EndOfMatchAnchorFollowsThePreviousMatch) {
  const auto T = TypeParam::T;
  Compiled<TypeParam> c("\\Ga");
  EXPECT_EQ(c.pattern->CollectMatches(T("aab")), (TextsOf<TypeParam>({"a", "a"})));
  EXPECT_EQ(c.pattern->CollectMatches(T("aba")), (TextsOf<TypeParam>({"a"})));
}

TYPED_TEST(PatternOperations, CollectSubstituteSplit) {
  const auto T = TypeParam::T;
  Compiled<TypeParam> a("a*");
  EXPECT_EQ(a.pattern->CollectMatches(T("aab")), (TextsOf<TypeParam>({"aa", ""})));
  Compiled<TypeParam> x("x*");
  EXPECT_EQ(x.pattern->CollectMatches(T("ab")), (TextsOf<TypeParam>({"", ""})));
  EXPECT_EQ(x.pattern->SubstituteAll(T("ab"), T("-")), T("-a-b"));
  Compiled<TypeParam> b("(b)");
  EXPECT_EQ(b.pattern->SubstituteAll(T("abc"), T("[\\1]")), T("a[b]c"));
  EXPECT_EQ(b.pattern->SubstituteAll(T("abc"), T("\\2")), T("ac"));
  EXPECT_EQ(b.pattern->SubstituteAll(T("abc"), T("x\\")), T("ax\\c"));
  EXPECT_EQ(b.pattern->SubstituteAll(T("abc"), T("\\0\\\\\\n")), T("ab\\nc"));
  EXPECT_EQ(b.pattern->SubstituteAll(T("abc"), T("\\99999999999999")), T("ac"));

  Compiled<TypeParam> comma(",");
  EXPECT_EQ(comma.pattern->SplitText(T("a,,b,"), false, 0), (TextsOf<TypeParam>({"a", "b"})));
  EXPECT_EQ(comma.pattern->SplitText(T("a,,b,"), true, 0), (TextsOf<TypeParam>({"a", "", "b"})));
  EXPECT_EQ(comma.pattern->SplitText(T(",a"), true, 0), (TextsOf<TypeParam>({"", "a"})));
  EXPECT_EQ(comma.pattern->SplitText(T(",a"), false, 0), (TextsOf<TypeParam>({"a"})));
  EXPECT_EQ(comma.pattern->SplitText(T("a,b,c,d"), false, 2), (TextsOf<TypeParam>({"a", "b", "c,d"})));
  EXPECT_EQ(comma.pattern->SplitText(T("a,b,c,d"), false, 0), (TextsOf<TypeParam>({"a", "b", "c", "d"})));
  EXPECT_TRUE(comma.pattern->SplitText(T(""), true, 0).empty());
  EXPECT_EQ(x.pattern->SplitText(T(""), true, 0), (TextsOf<TypeParam>({""})));
  EXPECT_TRUE(x.pattern->SplitText(T(""), false, 0).empty());
}

TYPED_TEST(PatternOperations, QuickOperations) {
  using P = typename TypeParam::PatternType;
  using Text = typename TypeParam::Text;
  const auto T = TypeParam::T;
  EXPECT_TRUE(P::QuickMatch(T("a.c"), T("abc"), 0));
  EXPECT_FALSE(P::QuickMatch(T("a.c"), T("abcd"), 0));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(P::QuickMatch(T("a("), T("a("), 0));
  EXPECT_EQ(P::QuickSubstitute(T("a("), T("x"), T("y"), 0), T(""));
  EXPECT_TRUE(P::QuickSplit(T("a("), T("x"), true, 0, 0).empty());
  EXPECT_TRUE(P::QuickCollect(T("a("), T("x"), 0).empty());
  EXPECT_EQ(P::QuickFindNth(T("a("), T("x"), 0, 0), std::make_pair(Text(), -1));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(P::QuickSubstitute(T("b"), T("abcb"), T("x"), 0), T("axcx"));
  EXPECT_EQ(P::QuickSplit(T(","), T("a,b"), false, 0, 0), (TextsOf<TypeParam>({"a", "b"})));
  EXPECT_EQ(P::QuickCollect(T("\\d+"), T("a12b3"), 0), (TextsOf<TypeParam>({"12", "3"})));
  EXPECT_EQ(P::QuickFindNth(T(","), T("a,b,c"), 1, 0), std::make_pair(T(","), 3));
  EXPECT_EQ(P::QuickFindNth(T(","), T("a,b,c"), 2, 0), std::make_pair(Text(), -1));
  EXPECT_EQ(P::QuickFindNth(T(","), T("a,b,c"), -1, 0), std::make_pair(Text(), -1));
}

TYPED_TEST(PatternOperations, CacheIsKeyedByTextAlone) {
  using P = typename TypeParam::PatternType;
  const auto T = TypeParam::T;
  P* first = P::CompileCached(T("ab"), PatternFlag::FoldCase);
  P* second = P::CompileCached(T("ab"), 0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(second->GetCompileFlags(), PatternFlag::FoldCase);
  EXPECT_TRUE(second->MatchWhole(T("AB")));
  testing::internal::CaptureStderr();
  EXPECT_EQ(P::CompileCached(T("("), 0), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStderr(), "");
  testing::internal::CaptureStderr();
  EXPECT_EQ(P::CompileCached(T("("), 0), nullptr);  // the null is cached: no new diagnostic
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  P::DeleteCachedPatterns();
  EXPECT_TRUE(P::compiledCache.empty());
}

TYPED_TEST(PatternOperations, SourceTextAndOwnStateFollowTheSubject) {
  const auto T = TypeParam::T;
  Compiled<TypeParam> c("b+");
  EXPECT_EQ(c.pattern->GetSourceText(), T("b+"));
  EXPECT_TRUE(c.pattern->MatchWhole(T("bbb")));
  EXPECT_EQ(c.pattern->ownMatchState->GetText(), T("bbb"));
  auto* m = c.pattern->CreateMatchState(T("abba"));
  m->SetText(T("xbx"));
  EXPECT_TRUE(m->FindFirst());
  EXPECT_EQ(m->GetGroupStart(0), 1);
  delete m;
}

}  // namespace
