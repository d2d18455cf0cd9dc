// The wide engine where it differs from the narrow one, and the component's own wide calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UPattern.h"

namespace {

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
    UPattern* p = UPattern::Compile(c.pattern, PatternFlag::DotAnyChar);
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

}  // namespace
