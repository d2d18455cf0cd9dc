// The wide engine where it differs from the narrow one, and the component's own wide calls.
// What the two engines share runs through both in the other test files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <typeinfo>
#include <vector>

#include "EngineTypes.h"
#include "Pattern.h"
#include "UPattern.h"

namespace {

struct WideCase {
  const wchar_t* pattern;
  unsigned flags;
  std::wstring subject;
  bool matches;
  std::wstring group1;  // checked when the pattern has a group and the text matches
};

TEST(WideWholeMatch, CharactersClassesAndFolding) {
  const WideCase kCases[] = {
      // '\x' takes four hexadecimal digits when four follow.
      {L"\\x0041", 0, L"A", true, L""},
      {L"\\x41z", 0, L"Az", true, L""},
      {L"\\x41BC", 0, L"\u41BC", true, L""},
      {L"\\x41BC", 0, L"ABC", false, L""},
      {L"\\x4z", 0, L" 4z", true, L""},
      {L"\\x20AC", 0, L"\u20AC", true, L""},
      {L"[\\x0041-\\x0043]+", 0, L"ABC", true, L""},
      // Characters above 255 match only themselves.
      {L"\u20AC", 0, L"\u20AC", true, L""},
      {L"\u20AC", 0, L"\u20AD", false, L""},
      {L"[\u20AC]", 0, L"\u20AC", true, L""},
      {L"[a-z\u20AC]+", 0, L"a\u20ACz", true, L""},
      {L"[a-z]", 0, L"\u20AC", false, L""},
      {L"(.)b", 0, L"\U0001F600b", true, L"\U0001F600"},
      {L"\U0001F600\U0001F600", 0, L"\U0001F600\U0001F600", true, L""},
      // A complement covers the codes 0 to 255 only; an inverted class outside brackets and
      // "." match every character.
      {L"[^a]", 0, L"\u0100", false, L""},
      {L"[^a]", 0, L"\u00FF", true, L""},
      {L"[\\D]", 0, L"\u0100", false, L""},
      {L"[\\W]", 0, L"\u00E9", true, L""},
      {L"\\D", 0, L"\u0100", true, L""},
      {L"\\W", 0, L"\U0001F600", true, L""},
      {L".", 0, L"\u0100", true, L""},
      {L".", kS, L"\u0100", true, L""},
      {L".", kD, L"\u0100", true, L""},
      {L"[^]", 0, std::wstring(1, L'\0'), true, L""},
      {L"[^]", 0, L"\u00FF", true, L""},
      {L"[^]", 0, L"\u0100", false, L""},
      // Folding changes A to Z only.
      {L"[A-C]+", kI, L"abc", true, L""},
      {L"[\u00C4]", kI, L"\u00C4", true, L""},
      {L"[\u00C4]", kI, L"\u00E4", false, L""},
      {L"k", kI, L"K", true, L""},
      {L"\u00C4", kI, L"\u00E4", false, L""},
      {L"xy\\Qab\\Ec", kI, L"XYABC", true, L""},
      {L"ab", kQ | kI, L"AB", true, L""},
      {L"(\\QaB\\E)d", kI, L"AbD", true, L"Ab"},
      // A range of exactly 300 codes.
      {L"[\\x0100-\\x022B]", 0, L"\u0100", true, L""},
      {L"[\\x0100-\\x022B]", 0, L"\u022B", true, L""},
      {L"[\\x0100-\\x022B]", 0, L"\u022C", false, L""},
  };
  for (const WideCase& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.pattern)) + " on " + testing::PrintToString(c.subject));
    UPattern* p = UPattern::Compile(c.pattern, c.flags);
    ASSERT_NE(p, nullptr);
    MatchUState* m = p->CreateMatchState(c.subject);
    EXPECT_EQ(m->MatchWhole(), c.matches);
    if (c.matches && p->groupCount > 1) {
      EXPECT_EQ(m->GetGroupText(1), c.group1);
    }
    delete m;
    delete p;
  }
}

TEST(WideWholeMatch, WordBoundaryCountsOnlyAsciiLettersAsLetters) {
  struct Case {
    const wchar_t* pattern;
    std::wstring subject;
    int start;
  } const kCases[] = {
      {L"a\\b", L"a\u00E9", 0},
      {L"a\\B", L"a\u00E9", -1},
      {L"\u00E9\\B\u00E9", L"\u00E9\u00E9", 0},
      {L"\u00E9\\b\u00E9", L"\u00E9\u00E9", -1},
  };
  for (const Case& c : kCases) {
    UPattern* p = UPattern::Compile(c.pattern, 0);
    ASSERT_NE(p, nullptr);
    MatchUState* m = p->CreateMatchState(c.subject);
    m->FindFirst();
    EXPECT_EQ(m->GetGroupStart(0), c.start) << testing::PrintToString(std::wstring(c.pattern));
    delete m;
    delete p;
  }
}

// Ranges run upward and span at most 300 codes; anything else is refused.
TEST(WideSyntaxError, ReversedAndOverlongRangesAreRefused) {
  for (const wchar_t* text : {L"[b-a]", L"[\\x0100-\\x022C]", L"[\\x0000-\\xFFFF]", L"x[\u20AC-a]y"}) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(UPattern::Compile(text, 0), nullptr);
    EXPECT_EQ(CountReports(testing::internal::GetCapturedStderr()), 1)
        << testing::PrintToString(std::wstring(text));
  }
}

// Member lists grow as needed: a class of more than 66,000 members, built from ranges of
// 300 codes, and its intersection with another.
TEST(WideWholeMatch, ClassesBeyondSixtySixThousandMembers) {
  const int kFirst = 0x100, kRanges = 230, kLast = kFirst + kRanges * 300 - 1;
  std::wstring ranges;
  for (int k = 0; k < kRanges; ++k)
    ranges += {wchar_t(kFirst + k * 300), L'-', wchar_t(kFirst + k * 300 + 299)};
  UPattern* all = UPattern::Compile(L"[" + ranges + L"]+", 0);
  ASSERT_NE(all, nullptr);
  EXPECT_TRUE(all->MatchWhole({wchar_t(kFirst), wchar_t(kFirst + 40000), wchar_t(kLast)}));
  EXPECT_FALSE(all->MatchWhole({wchar_t(kLast + 1)}));
  delete all;
  UPattern* both = UPattern::Compile(L"[" + ranges + L"&&[" + ranges + L"]]", 0);
  ASSERT_NE(both, nullptr);
  EXPECT_TRUE(both->MatchWhole({wchar_t(kLast)}));
  EXPECT_FALSE(both->MatchWhole({wchar_t(kFirst - 1)}));
  delete both;
}

// The report is narrow text: characters the locale cannot convert show as '?', so the whole
// pattern stands on the first line and the caret under its character.
TEST(WideSyntaxError, ReportShowsTheWholePatternAsNarrowText) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(UPattern::Compile(L"\u00E9\u20ACb)c", 0), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "??b)c\n   ^\nSyntax Error near here. Possible unescaped meta character.\n");
}

// Each order in a fresh process, so that the standard error stream has no orientation yet
// when the first report is written.
void NarrowReportThenWide() {
  Pattern::Compile("ab)", 0);
  UPattern::Compile(L"x\u00E9)", 0);
  std::exit(0);
}
void WideReportThenNarrow() {
  UPattern::Compile(L"x\u00E9)", 0);
  Pattern::Compile("ab)", 0);
  std::exit(0);
}
const char kNarrowReport[] = "ab\\)\n  \\^\nSyntax Error near here\\. Possible unescaped meta character\\.\n";
const char kWideReport[] = "x\\?\\)\n  \\^\nSyntax Error near here\\. Possible unescaped meta character\\.\n";

TEST(SyntaxErrorStream, BothEnginesReportsReachStandardErrorInEitherOrder) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(NarrowReportThenWide(), ::testing::ExitedWithCode(0),
              std::string(kNarrowReport) + kWideReport);
  EXPECT_EXIT(WideReportThenNarrow(), ::testing::ExitedWithCode(0),
              std::string(kWideReport) + kNarrowReport);
}

// The wide engine keeps its own registry and cache.
TEST(WideMaps, RegistryAndCacheAreApartFromTheNarrowOnes) {
  ASSERT_TRUE(Pattern::DefineNamedPattern("nm", "ab", 0));
  testing::internal::CaptureStderr();
  EXPECT_EQ(UPattern::Compile(L"{nm}", 0), nullptr);
  EXPECT_EQ(CountReports(testing::internal::GetCapturedStderr()), 1);
  Pattern::ClearNamedPatterns();
  ASSERT_TRUE(UPattern::DefineNamedPattern(L"nm", L"\u20AC", 0));
  EXPECT_TRUE(UPattern::QuickMatch(L"x{nm}", L"x\u20AC", 0));
  testing::internal::CaptureStderr();
  EXPECT_EQ(Pattern::Compile("{nm}", 0), nullptr);
  testing::internal::GetCapturedStderr();
  UPattern::ClearNamedPatterns();

  UPattern* wide = UPattern::CompileCached(L"ab", kI);
  ASSERT_NE(wide, nullptr);
  EXPECT_TRUE(Pattern::compiledCache.empty());
  EXPECT_EQ(UPattern::CompileCached(L"ab", 0), wide);
  EXPECT_TRUE(wide->MatchWhole(L"AB"));
  UPattern::DeleteCachedPatterns();
  EXPECT_TRUE(UPattern::compiledCache.empty());
}

// A malformed bound behind a group's ")" is reported by the group alone; the enclosing level
// does not look for a quantifier again (the narrow engine reports it twice).
TEST(WideSyntaxError, MalformedBoundBehindAGroupIsReportedOnce) {
  for (const char* text : {"(a){1", "(a){1,x}"}) {
    std::wstring wide(text, text + std::char_traits<char>::length(text));
    testing::internal::CaptureStderr();
    EXPECT_EQ(UPattern::Compile(wide, 0), nullptr);
    EXPECT_EQ(CountReports(testing::internal::GetCapturedStderr()), 1) << text;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Pattern::Compile(text, 0), nullptr);
    EXPECT_EQ(CountReports(testing::internal::GetCapturedStderr()), 2) << text;
  }
}

TEST(WideSystemPatterns, VersionPartIsAllDigits) {
  struct Case {
    std::wstring part;
    bool digits;
  } const kCases[] = {
      {L"2010", true}, {L"7", true}, {L"", false}, {L"1a", false}, {L" 1", false}, {L"1 ", false},
  };
  for (const Case& c : kCases)
    EXPECT_EQ(UPattern::QuickMatch(L"\\d+", c.part, 0), c.digits) << "'" << c.part.size() << "'";
}

TEST(WideSystemPatterns, BrocadeVersionTextsGiveTheirGroup) {
  struct Case {
    const wchar_t* pattern;
    std::wstring text;
    bool matches;
    std::wstring group1;
  } const kCases[] = {
      {L".*(\\d+\\.\\d+\\.\\d+\\.\\d+).*", L"12.3.4.5", true, L"2.3.4.5"},
      {L".*(\\d+\\.\\d+\\.\\d+\\.\\d+).*", L"fw v3.0.1.2\nbuild", true, L"3.0.1.2"},
      {L".*(\\d+\\.\\d+\\.\\d+\\.\\d+).*", L"1.2.3", false, L""},
      {L"(\\d+\\.\\d+\\.\\d+).*", L"3.1.0a\n", true, L"3.1.0"},
      {L"(\\d+\\.\\d+\\.\\d+).*", L"v3.1.0", false, L""},
  };
  for (const Case& c : kCases) {
    testing::internal::CaptureStderr();
    UPattern* p = UPattern::Compile(c.pattern, PatternFlag::DotAnyChar);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_NE(p, nullptr);
    MatchUState* m = p->CreateMatchState(c.text);
    EXPECT_EQ(m->MatchWhole(), c.matches);
    if (c.matches) {
      EXPECT_TRUE(m->GetGroupText(1) == c.group1);
      EXPECT_EQ(m->GetGroupTexts(false), std::vector<std::wstring>{c.group1});
    }
    delete m;
    delete p;
  }
}

std::set<std::string> NodeNames(const UPattern* p) {
  std::set<std::string> names;
  for (auto& entry : p->nodes) names.insert(typeid(*entry.first).name());
  return names;
}

TEST(WideGraph, NodesCarryTheirOwnClassNames) {
  UPattern* p = UPattern::Compile(L"a(b)*[cd]|e+?", PatternFlag::FoldCase);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(NodeNames(p),
            (std::set<std::string>{"14NFACICharUNode", "13NFAStartUNode", "11NFAEndUNode",
                                   "16NFASubStartUNode", "17NFAGroupHeadUNode",
                                   "17NFAGroupTailUNode", "25NFAGroupLoopPrologueUNode",
                                   "17NFAGroupLoopUNode", "15NFACIClassUNode", "14NFAAcceptUNode",
                                   "10NFAOrUNode", "22NFALazyQuantifierUNode"}));
  delete p;
}

// No wide node answers OpensGroup or AnchorsInputStart: a pattern anchored at the input's
// start gets its start node all the same.
TEST(WideGraph, PredicatesAnswerFalse) {
  UPattern* p = UPattern::Compile(L"\\Aab(c)", 0);
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(typeid(*p->head).name(), "13NFAStartUNode");
  for (auto& entry : p->nodes) {
    EXPECT_FALSE(entry.first->OpensGroup()) << typeid(*entry.first).name();
    EXPECT_FALSE(entry.first->AnchorsInputStart()) << typeid(*entry.first).name();
  }
  EXPECT_TRUE(p->MatchWhole(L"abc"));
  MatchUState* m = p->CreateMatchState(L"xabc");
  EXPECT_FALSE(m->FindFirst());
  delete m;
  delete p;
}

}  // namespace
