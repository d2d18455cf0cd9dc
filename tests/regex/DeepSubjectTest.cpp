// Long subjects: the search nests one call per character consumed, so it runs within a stack
// budget of its own; within it long texts match exactly as short ones, and a search beyond it
// ends as a whole as no match instead of crashing. Both engines.
#include <gtest/gtest.h>

#include <string>
#include <pthread.h>

#include "EngineTypes.h"

namespace {

template <class E>
class DeepSubject : public ::testing::Test {};
TYPED_TEST_SUITE(DeepSubject, BothEngines, EngineNames);

const int kLong = 200000;

TYPED_TEST(DeepSubject, SimplePatternsMatchLongSubjects) {
  const auto T = TypeParam::T;
  std::string as(kLong, 'a');
  Compiled<TypeParam> star("a*");
  EXPECT_TRUE(star.pattern->MatchWhole(T(as)));

  Compiled<TypeParam> dotx("(.*)x");
  auto* m = dotx.pattern->CreateMatchState(T(std::string(kLong, 'y') + "x"));
  ASSERT_TRUE(m->MatchWhole());
  EXPECT_EQ(m->GetGroupEnd(1), kLong);
  EXPECT_TRUE(m->FindFirst());
  delete m;

  // Backtracking over the whole length: the x is missing, every split is tried.
  Compiled<TypeParam> dotxz("(.*)xz");
  EXPECT_FALSE(dotxz.pattern->MatchWhole(T(std::string(100000, 'x') + "x")));

  Compiled<TypeParam> lazy("a*?b");
  EXPECT_TRUE(lazy.pattern->MatchWhole(T(as + "b")));
  Compiled<TypeParam> group("(ab)*");
  std::string abs;
  for (int i = 0; i < 50000; ++i) abs += "ab";
  auto* g = group.pattern->CreateMatchState(T(abs));
  ASSERT_TRUE(g->MatchWhole());
  EXPECT_EQ(g->GetGroupStart(1), 100000 - 2);
  delete g;
}

TYPED_TEST(DeepSubject, SystemPatternsOnLongLines) {
  const auto T = TypeParam::T;
  std::string model(100000, 'M');
  std::string line = "HBA=" + model +
                     ", PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, Boot "
                     "Code=UB5.12a2";
  Compiled<TypeParam> listing(
      "HBA=(.+),.*PCI ID=(\\w{1,4}),.*VID=(\\w{1,4}),.*SSID=(\\w{1,4}),.*SVID=(\\w{1,4}),.*"
      "Firmware=(.+),.*Boot Code=([\\w\\.]+).*",
      PatternFlag::DotAnyChar);
  auto* m = listing.pattern->CreateMatchState(T(line));
  ASSERT_TRUE(m->MatchWhole());
  EXPECT_EQ(m->GetGroupText(1), T(model));
  EXPECT_EQ(m->GetGroupText(7), T("UB5.12a2"));
  delete m;
  EXPECT_TRUE(TypeParam::PatternType::QuickMatch(
      T("SUSE Linux Enterprise Server 11.*"),
      T("SUSE Linux Enterprise Server 11\n" + std::string(150000, 'z')),
      PatternFlag::DotAnyChar | PatternFlag::LineAnchors));
}

TYPED_TEST(DeepSubject, SearchBeyondTheBudgetEndsAsNoMatch) {
  const auto T = TypeParam::T;
  // Far beyond any budget: the search gives up as a whole, says so once, and the state is
  // usable afterwards.
  Compiled<TypeParam> star("(?:a|b)*c");
  std::string huge(30000000, 'a');
  auto* m = star.pattern->CreateMatchState(T(huge + "c"));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(m->MatchWhole());
  EXPECT_FALSE(m->FindFirst());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("abandoned"), std::string::npos);
  m->SetText(T("abc"));
  EXPECT_TRUE(m->MatchWhole());
  delete m;
}

// A caller on a small stack: the search leaves the caller's stack alone beyond its reserve
// and moves to the large stack.
template <class E>
void* MatchOnSmallStack(void* matched) {
  Compiled<E> star("(a|b)*c");
  *static_cast<bool*>(matched) = star.pattern->MatchWhole(E::T(std::string(20000, 'a') + "c"));
  return nullptr;
}

TYPED_TEST(DeepSubject, WorksFromAThreadWithASmallStack) {
  bool matched = false;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256u << 10);
  pthread_t worker;
  ASSERT_EQ(pthread_create(&worker, &attributes, MatchOnSmallStack<TypeParam>, &matched), 0);
  pthread_join(worker, nullptr);
  pthread_attr_destroy(&attributes);
  EXPECT_TRUE(matched);
}

}  // namespace
