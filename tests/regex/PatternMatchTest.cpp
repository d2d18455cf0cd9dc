// Syntax and matching through the public operations: one table per behaviour, each row a
// pattern, its flags, a subject and the expected outcome with the groups. The tables run
// through both engines, which agree on them.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <typeinfo>
#include <vector>

#include "EngineTypes.h"
#include "Pattern.h"

namespace {

using F = unsigned;

// Whole-text match: matches, and when it does, the texts of groups 0 onward.
struct WholeCase {
  const char* pattern;
  F flags;
  std::string subject;
  bool matches;
  std::vector<std::string> groups;
};

std::string Describe(const WholeCase& c) { return "'" + std::string(c.pattern) + "' on '" + c.subject + "'"; }

template <class E>
void CheckWholeMatch(const WholeCase& c) {
  SCOPED_TRACE(Describe(c));
  using P = typename E::PatternType;
  P* p = P::Compile(E::T(c.pattern), c.flags);
  ASSERT_NE(p, nullptr);
  auto* m = p->CreateMatchState(E::T(c.subject));
  EXPECT_EQ(m->MatchWhole(), c.matches);
  if (c.matches && !c.groups.empty()) {
    EXPECT_EQ(m->GetGroupTexts(true), TextsOf<E>(c.groups));
  }
  delete m;
  delete p;
}

template <class E>
class WholeMatch : public ::testing::Test {};
TYPED_TEST_SUITE(WholeMatch, BothEngines, EngineNames);

const WholeCase kGrammar[] = {
    {"", 0, "", true, {""}},
    {"", 0, "a", false, {}},
    {"a|b|c", 0, "c", true, {"c"}},
    {"(a|b|c)d", 0, "b", false, {}},
    {"(a|b|c)d", 0, "cd", true, {"cd", "c"}},
    {"(a|b)", 0, "b", true, {"b", "b"}},
    {"(x)|(y)", 0, "y", true, {"y", "", "y"}},
    {"(?:a)(b)", 0, "ab", true, {"ab", "b"}},
    {"((x)|b)", 0, "b", true, {"b", "b", ""}},
    {"x(?:a|b)", 0, "xb", true, {"xb"}},
    {"(?>a*)a", 0, "aaa", false, {}},
    {"(?>a|ab)c", 0, "abc", false, {}},
    {"(?:a|ab)c", 0, "abc", true, {"abc"}},
    {"(?i)abc", 0, "ABC", true, {}},
    {"a(?i)b", 0, "aB", true, {}},
    {"a(?i)b", 0, "AB", false, {}},
    {"(?i:a)b", 0, "Ab", true, {}},
    {"(?i:a)b", 0, "AB", false, {}},
    {"(?i)a(?-i)b", 0, "Ab", true, {}},
    {"(?i)a(?-i)b", 0, "AB", false, {}},
    {"(?i)a|b", 0, "B", true, {}},
    {"(?s).", 0, "\n", true, {}},
    {"(?d).", 0, "\r", true, {}},
    {"(?)a", 0, "a", true, {}},
    {"a{2,}", 0, "aaaa", true, {}},
    {"a{2,}", 0, "a", false, {}},
    {"a{,2}", 0, "aa", true, {}},
    {"a{,2}", 0, "aaa", false, {}},
    {"a{}", 0, "", true, {}},
    {"a{}b", 0, "b", true, {}},
    {"a{}b", 0, "ab", false, {}},
    {"a{2}", 0, "aa", true, {}},
    {"a{,}", 0, "aaaaa", true, {}},
    {"a{1,3}?", 0, "aa", true, {}},
    {"a{3,1}", 0, "aaa", true, {}},
    {"a{3,1}", 0, "aaaa", false, {}},
    {"a{99999999999}", 0, "a", false, {}},
    {"(a)\\1", 0, "aa", true, {"aa", "a"}},
    {"(a)\\1", 0, "ab", false, {}},
    {"\\12", 0, "", true, {""}},
    {"(a)\\1b", 0, "aab", true, {}},
    {"(a)?b\\1", 0, "b", true, {"b", ""}},
    {"\\Qa.b\\E", 0, "a.b", true, {}},
    {"\\Qa.b\\E", 0, "axb", false, {}},
    {"\\Qa\\\\b\\E", 0, "a\\b", true, {}},
    {"x\\QAB\\Ey", kI, "XaBY", true, {"XaBY"}},
    {"(?<=ab)c", 0, "abc", false, {}},
    {"a.(?<=ab)c", 0, "abc", true, {}},
    {"a(?<!a\\))b", 0, "ab", true, {}},
    {"a\\)(?<!a\\))b", 0, "a)b", false, {}},
    {"(?<=)a", 0, "a", true, {}},
    {"(?<!)a", 0, "a", false, {}},
    {"(?<!abc)a", 0, "a", true, {}},
    {"(?<=abc)a", 0, "a", false, {}},
    {"a(?=b)b", 0, "ab", true, {}},
    {"a(?!b)b", 0, "ab", false, {}},
    {"a(?!c)b", 0, "ab", true, {}},
    {"(?=(a))ab|(b)", 0, "ab", true, {"ab", "a", ""}},
    {"(?=(a))x|ab", 0, "ab", true, {"ab", "a"}},
    {"a.b", 0, "a\nb", false, {}},
    {"a.b", 0, "a\rb", false, {}},
    {"a.b", kD, "a\rb", true, {}},
    {"a.b", kD, "a\nb", false, {}},
    {"a.b", kS, "a\nb", true, {}},
    {"a.b", kS | kD, "a\nb", true, {}},
    {"a.b", kQ, "a.b", true, {"a.b"}},
    {"a.b", kQ, "axb", false, {}},
    {"a.b", kQ | kI, "A.B", true, {"A.B"}},
    {"(a)", kQ, "(a)", true, {"(a)"}},
    {"\\x41", 0, "A", true, {}},
    {"\\x4", 0, " 4", true, {}},
    {"\\xg1", 0, " g1", true, {}},
    {"\\x41", kI, "a", false, {}},
    {"[\\x41]", kI, "a", true, {}},
    {"\\012", 0, "\n", true, {}},
    {"\\0101", 0, "A", true, {}},
    {"\\0777", 0, "?7", true, {}},
    {"\\e", 0, "\r", true, {}},
    {"\\t\\n\\r\\f\\a", 0, "\t\n\r\f\a", true, {}},
    {"\\.\\*\\[\\\\", 0, ".*[\\", true, {}},
    {"\\d\\D", 0, "1a", true, {}},
    {"\\d", 0, "a", false, {}},
    {"\\s\\S", 0, "\fx", true, {}},
    {"\\s", 0, "\v", false, {}},
    {"\\p{Space}", 0, "\v", true, {}},
    {"\\w\\W", 0, "_-", true, {}},
    {"\\p{Print}", 0, " ", false, {}},
    {"\\p{Print}", 0, "~", true, {}},
    {"\\P{Digit}", 0, "x", true, {}},
    {"\\P{Digit}", 0, "5", false, {}},
    {"\\p{XDigit}+", 0, "09afAF", true, {}},
    {"\\p{Cntrl}", 0, "\x7f", true, {}},
    {"\\p{Punct}+", 0, "!/:@[`{~", true, {}},
    {"\\p{Alnum}+", 0, "aZ9", true, {}},
    {"\\p{ASCII}", 0, "\x80", false, {}},
    {"\\p{Blank}\\p{Blank}", 0, " \t", true, {}},
    {"\\D", kI, "\xe9", true, {}},
};
TYPED_TEST(WholeMatch, Grammar) {
  for (const WholeCase& c : kGrammar) CheckWholeMatch<TypeParam>(c);
}

const WholeCase kClasses[] = {
    {"[abc]+", 0, "cab", true, {}},
    {"[a-c]+", 0, "cab", true, {}},
    {"[\\x61-c]+", 0, "cab", true, {}},
    {"[a-\\x63]+", 0, "cab", true, {}},
    {"[a-c]", 0, "d", false, {}},
    {"[\\D]", 0, "a", true, {}},
    {"[\\D]", 0, "5", false, {}},
    {"[^\\p{Cntrl}]", 0, "A", true, {}},
    {"[^\\p{Cntrl}]", 0, "\t", false, {}},
    {"[\\0001-\\0177]+", 0, "\x01\x7f", true, {}},
    {"[\\0001-\\0177]", 0, "\x80", false, {}},
    {"[\\w\\.]+", 0, "a_9.", true, {}},
    {"[\\w\\.]", 0, "-", false, {}},
    {"[\\w-a]+", 0, "-a_", true, {}},
    {"[]", 0, "a", false, {}},
    {"[^]", 0, std::string(1, '\0'), true, {}},
    {"[^]", 0, "\xff", true, {}},
    {"[-a]+", 0, "-a", true, {}},
    {"[a&b]+", 0, "a&b", true, {}},
    {"[a-z&&[aeiou]]+", 0, "aeiou", true, {}},
    {"[a-z&&[aeiou]]", 0, "b", false, {}},
    {"[a-z&&[^aeiou]]", 0, "b", true, {}},
    {"[a-z&&[^aeiou]]", 0, "a", false, {}},
    {"[a-z&&[def]x]+", 0, "defx", true, {}},
    {"[a-z&&[def]x]", 0, "a", false, {}},
    {"[\\w&&[^\\d]]+", 0, "aZ_", true, {}},
    {"[\\w&&[^\\d]]", 0, "1", false, {}},
    {"[b-b]", 0, "b", true, {}},
    {"[b-b]", 0, "c", false, {}},
    {"[a-c]", kI, "B", true, {}},
    {"[^a]", kI, "A", false, {}},
    {"[^a]", kI, "b", true, {}},
    {"[[ab][cd]]+", 0, "dacb", true, {}},
    {"[\\b]", 0, "b", true, {}},
    {"[\\1]", 0, "1", true, {}},
    {"[a^]+", 0, "^a", true, {}},
    {"[^\\W]", 0, "a", true, {}},
    {"[\\W]", 0, "a", false, {}},
    {"[\\xe9]", kI, "\xe9", true, {}},
    {"\xe9", kI, "\xe9", true, {}},
    {"\xc9", kI, "\xe9", false, {}},
    {"[\x80-\x81]", 0, "\x81", true, {}},
};
TYPED_TEST(WholeMatch, Classes) {
  for (const WholeCase& c : kClasses) CheckWholeMatch<TypeParam>(c);
}

// A range written backwards wraps round within the 8 bits of a narrow character (the wide
// engine refuses it).
TEST(NarrowWholeMatch, ReversedRangeWraps) {
  const WholeCase kCases[] = {
      {"[z-a]", 0, "\xff", true, {}},
      {"[z-a]", 0, std::string(1, '\0'), true, {}},
      {"[z-a]", 0, "m", false, {}},
  };
  for (const WholeCase& c : kCases) CheckWholeMatch<NarrowEngine>(c);
}

const WholeCase kRepetition[] = {
    {"a*", 0, "aaa", true, {"aaa"}},
    {"a*a", 0, "aaa", true, {}},
    {"(a*)(a)", 0, "aaa", true, {"aaa", "aa", "a"}},
    {"(a*?)(a*)", 0, "aaa", true, {"aaa", "", "aaa"}},
    {"a*+a", 0, "aaa", false, {}},
    {"a?+a", 0, "a", false, {}},
    {"a++b", 0, "aab", true, {}},
    {"\\b*", 0, "", true, {}},
    {"^+a", 0, "a", true, {}},
    {"(ab)*", 0, "abab", true, {"abab", "ab"}},
    {"(ab)*", 0, "", true, {"", ""}},
    {"(a){2}", 0, "aa", true, {"aa", "a"}},
    {"(a){2}", 0, "a", false, {}},
    {"(a){2}", 0, "aaa", false, {}},
    {"(a*)*", 0, "b", false, {}},
    {"(a*)*b", 0, "b", true, {"b", ""}},
    {"(a)*?b", 0, "aab", true, {"aab", "a"}},
    {"(a|b)*c", 0, "abac", true, {"abac", "a"}},
    {"((a)|b)+", 0, "ab", true, {"ab", "b", "a"}},
    {"(?:(a)|b)+", 0, "ba", true, {"ba", "a"}},
    {"((a)*b)*", 0, "aabab", true, {"aabab", "ab", "a"}},
    {"(a){1,2}?a", 0, "aa", true, {"aa", "a"}},
    {"(a)*+a", 0, "aaa", false, {}},
    {"(?:a|b)*+b", 0, "ab", false, {}},
    {"(a)?+a", 0, "a", false, {}},
    {"(a){1,2}+a", 0, "aa", false, {}},
    {"(a){1,2}+a", 0, "aaa", true, {}},
    {"(a){0}+b", 0, "b", true, {}},
    {"(?>a+)b", 0, "aab", true, {}},
    {"(?>(a))\\1", 0, "aa", true, {"aa", "a"}},
    {"(a)+\\1", 0, "aaa", true, {"aaa", "a"}},
    {"(a+|b+)*c", 0, "aabbc", true, {"aabbc", "bb"}},
};
TYPED_TEST(WholeMatch, Repetition) {
  for (const WholeCase& c : kRepetition) CheckWholeMatch<TypeParam>(c);
}

// Searches: the first match's group 0 with its start, or no match.
struct FindCase {
  const char* pattern;
  F flags;
  std::string subject;
  int start;  // -1: no match
  std::string text;
};

template <class E>
void CheckFindFirst(const FindCase& c) {
  SCOPED_TRACE("'" + std::string(c.pattern) + "' in '" + c.subject + "'");
  using P = typename E::PatternType;
  P* p = P::Compile(E::T(c.pattern), c.flags);
  ASSERT_NE(p, nullptr);
  auto* m = p->CreateMatchState(E::T(c.subject));
  EXPECT_EQ(m->FindFirst(), c.start >= 0);
  EXPECT_EQ(m->GetGroupStart(0), c.start);
  if (c.start >= 0) {
    EXPECT_EQ(m->GetGroupText(0), E::T(c.text));
  }
  delete m;
  delete p;
}

template <class E>
class FindFirst : public ::testing::Test {};
TYPED_TEST_SUITE(FindFirst, BothEngines, EngineNames);

const FindCase kAnchors[] = {
    {"\\b", 0, "a", 0, ""},
    {"a\\b", 0, "a", 0, "a"},
    {"a\\B", 0, "a", 0, "a"},
    {"\\B", 0, "a", 1, ""},
    {"\\b", 0, "1", 1, ""},
    {"\\B", 0, "1", 0, ""},
    {"a\\b1", 0, "a1", 0, "a1"},
    {"a\\Bb", 0, "ab", 0, "ab"},
    {" \\B ", 0, "  ", 0, "  "},
    {"\\b", 0, "\xe9", 1, ""},
    {"a\\Z", 0, "a\r\n", 0, "a"},
    {"a\\Z", 0, "a\r", 0, "a"},
    {"a\\Z", 0, "a\n", 0, "a"},
    {"a\\Z", 0, "a\nb", -1, ""},
    {"a\\Z", 0, "a\n\r", -1, ""},
    {"a\\z", 0, "a\n", -1, ""},
    {"a$", 0, "a\n", -1, ""},
    {"a$", kM, "a\rb", 0, "a"},
    {"^b", kM, "a\rb", 2, "b"},
    {"^b", kM, "a\nb", 2, "b"},
    {"^b", 0, "a\nb", -1, ""},
    {"\\Ab", 0, "ab", -1, ""},
    {"\\Gb", 0, "ab", -1, ""},
    {"\\Ga", 0, "ab", 0, "a"},
    {"a|ab", 0, "ab", 0, "a"},
    {"x*", 0, "", 0, ""},
    {"b", 0, "aab", 2, "b"},
    {"\\G{2,}", 0, "x", 0, ""},
};
TYPED_TEST(FindFirst, Anchors) {
  for (const FindCase& c : kAnchors) CheckFindFirst<TypeParam>(c);
}

template <class E>
class PatternShape : public ::testing::Test {};
TYPED_TEST_SUITE(PatternShape, BothEngines, EngineNames);

TYPED_TEST(PatternShape, GroupNumberingAndCounts) {
  using P = typename TypeParam::PatternType;
  const auto T = TypeParam::T;
  P* p = P::Compile(T("(x)|(y)"), 0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->groupCount, 3);
  delete p;
  p = P::Compile(T("(?:a)(?:b)(c)"), 0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->groupCount, 2);
  EXPECT_EQ(p->nonCapturingCounter, -2);
  delete p;
  p = P::Compile(T("a(b"), PatternFlag::QuoteWhole);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->groupCount, 1);
  EXPECT_EQ(p->ownMatchState->groupCount + p->ownMatchState->nonCapturingCount, 1);
  delete p;
}

// The node map holds exactly the nodes reachable from the head: no node is left outside the
// graph and none is missing from the map that owns it.
TYPED_TEST(PatternShape, NodeMapHoldsExactlyTheReachableNodes) {
  using P = typename TypeParam::PatternType;
  for (const char* text : {"a(b|c)*d", "(?>a|ab)c", "(?=x(y))z", "[a-z]+?\\1(?i)q", "x|y|z",
                           "(a){2,3}+", "\\Qab\\E$"}) {
    P* p = P::Compile(TypeParam::T(text), 0);
    ASSERT_NE(p, nullptr) << text;
    auto all = p->nodes;
    p->nodes.clear();
    p->head->CollectNodes(p);
    EXPECT_EQ(p->nodes, all) << text;
    delete p;
  }
}

TEST(PatternGraph, NodesCarryTheirOwnClassNames) {
  Pattern* p = Pattern::Compile("a(b)*", 0);
  ASSERT_NE(p, nullptr);
  std::set<std::string> names;
  for (auto& entry : p->nodes) names.insert(typeid(*entry.first).name());
  EXPECT_EQ(names, (std::set<std::string>{"11NFACharNode", "12NFAStartNode", "10NFAEndNode",
                                          "15NFASubStartNode", "16NFAGroupHeadNode",
                                          "16NFAGroupTailNode", "24NFAGroupLoopPrologueNode",
                                          "16NFAGroupLoopNode"}));
  EXPECT_EQ(typeid(*p->head).name(), std::string("12NFAStartNode"));
  delete p;
}

}  // namespace
