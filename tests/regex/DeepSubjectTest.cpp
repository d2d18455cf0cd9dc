// Long subjects: the search nests one call per character consumed, so it runs within a stack
// budget of its own; within it long texts match exactly as short ones, and a search beyond it
// ends as a whole as no match instead of crashing.
#include <gtest/gtest.h>

#include <string>
#include <pthread.h>

#include "Pattern.h"

namespace {

struct Compiled {
  explicit Compiled(const char* text, unsigned flags = 0) : pattern(Pattern::Compile(text, flags)) {}
  ~Compiled() { delete pattern; }
  Pattern* pattern;
};

const int kLong = 200000;

TEST(DeepSubject, SimplePatternsMatchLongSubjects) {
  std::string as(kLong, 'a');
  Compiled star("a*");
  EXPECT_TRUE(star.pattern->MatchWhole(as));

  Compiled dotx("(.*)x");
  MatchState* m = dotx.pattern->CreateMatchState(std::string(kLong, 'y') + "x");
  ASSERT_TRUE(m->MatchWhole());
  EXPECT_EQ(m->GetGroupEnd(1), kLong);
  EXPECT_TRUE(m->FindFirst());
  delete m;

  // Backtracking over the whole length: the x is missing, every split is tried.
  Compiled dotxz("(.*)xz");
  EXPECT_FALSE(dotxz.pattern->MatchWhole(std::string(100000, 'x') + "x"));

  Compiled lazy("a*?b");
  EXPECT_TRUE(lazy.pattern->MatchWhole(as + "b"));
  Compiled group("(ab)*");
  std::string abs;
  for (int i = 0; i < 50000; ++i) abs += "ab";
  MatchState* g = group.pattern->CreateMatchState(abs);
  ASSERT_TRUE(g->MatchWhole());
  EXPECT_EQ(g->GetGroupStart(1), 100000 - 2);
  delete g;
}

TEST(DeepSubject, SystemPatternsOnLongLines) {
  std::string model(100000, 'M');
  std::string line = "HBA=" + model +
                     ", PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, Boot "
                     "Code=UB5.12a2";
  Compiled listing(
      "HBA=(.+),.*PCI ID=(\\w{1,4}),.*VID=(\\w{1,4}),.*SSID=(\\w{1,4}),.*SVID=(\\w{1,4}),.*"
      "Firmware=(.+),.*Boot Code=([\\w\\.]+).*",
      PatternFlag::DotAnyChar);
  MatchState* m = listing.pattern->CreateMatchState(line);
  ASSERT_TRUE(m->MatchWhole());
  EXPECT_EQ(m->GetGroupText(1), model);
  EXPECT_EQ(m->GetGroupText(7), "UB5.12a2");
  delete m;
  EXPECT_TRUE(Pattern::QuickMatch("SUSE Linux Enterprise Server 11.*",
                                  "SUSE Linux Enterprise Server 11\n" + std::string(150000, 'z'),
                                  PatternFlag::DotAnyChar | PatternFlag::LineAnchors));
}

TEST(DeepSubject, SearchBeyondTheBudgetEndsAsNoMatch) {
  // Far beyond any budget: the search gives up as a whole, says so once, and the state is
  // usable afterwards.
  Compiled star("(?:a|b)*c");
  std::string huge(30000000, 'a');
  MatchState* m = star.pattern->CreateMatchState(huge + "c");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(m->MatchWhole());
  EXPECT_FALSE(m->FindFirst());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("abandoned"), std::string::npos);
  m->SetText("abc");
  EXPECT_TRUE(m->MatchWhole());
  delete m;
}

// A caller on a small stack: the search leaves the caller's stack alone beyond its reserve
// and moves to the large stack.
void* MatchOnSmallStack(void* matched) {
  Compiled star("(a|b)*c");
  *static_cast<bool*>(matched) = star.pattern->MatchWhole(std::string(20000, 'a') + "c");
  return nullptr;
}

TEST(DeepSubject, WorksFromAThreadWithASmallStack) {
  bool matched = false;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256u << 10);
  pthread_t worker;
  ASSERT_EQ(pthread_create(&worker, &attributes, MatchOnSmallStack, &matched), 0);
  pthread_join(worker, nullptr);
  pthread_attr_destroy(&attributes);
  EXPECT_TRUE(matched);
}

}  // namespace
