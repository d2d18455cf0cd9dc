// The step budget: a search whose backtracking runs away is abandoned as a whole as no match,
// with one line of its own on standard error, while the component's own patterns on listing
// lines of a million characters still match.
#include <gtest/gtest.h>

#include <string>

#include "EngineTypes.h"

namespace {

const char kStepsMessage[] =
    "Pattern search abandoned: the search took more steps than it is allowed.\n";

const char kListingPattern[] =
    "HBA=(.+),.*PCI ID=(\\w{1,4}),.*VID=(\\w{1,4}),.*SSID=(\\w{1,4}),.*SVID=(\\w{1,4}),.*"
    "Firmware=(.+),.*Boot Code=([\\w\\.]+).*";

std::string ListingLine(const std::string& model, const std::string& firmware,
                        const std::string& boot, const std::string& tail = "") {
  return "HBA=" + model + ", PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=" + firmware +
         ", Boot Code=" + boot + tail;
}

// A line that repeats the field names but has no boot code: every way of spreading the
// fields over the repetitions is tried, about 2.5 times more with each repetition.
std::string RepeatedFieldsLine(int repetitions) {
  std::string line = "HBA=a,";
  for (int i = 0; i < repetitions; ++i) line += "PCI ID=1,VID=1,SSID=1,SVID=1,Firmware=1,";
  return line;
}

template <class E>
class SearchBudget : public ::testing::Test {};
TYPED_TEST_SUITE(SearchBudget, BothEngines, EngineNames);

// Without the budget this search would run for hours. It ends as no match, says so once, and
// leaves the state usable.
TYPED_TEST(SearchBudget, NestedQuantifiersOnAFailingSubjectEndAsNoMatch) {
  const auto T = TypeParam::T;
  Compiled<TypeParam> nested("(a+)+b");
  auto* m = nested.pattern->CreateMatchState(T(std::string(40, 'a')));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(m->MatchWhole());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kStepsMessage);
  m->SetText(T("aaab"));
  EXPECT_TRUE(m->MatchWhole());
  EXPECT_EQ(m->GetGroupText(1), T("aaa"));
  delete m;
}

// Back-references compare whole groups: each character compared counts, so a comparison as
// long as the subject cannot make a search within the budget run for minutes.
TYPED_TEST(SearchBudget, LongBackReferenceComparisonsCount) {
  const auto T = TypeParam::T;
  Compiled<TypeParam> repeated("(a*)\\1*c");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(repeated.pattern->MatchWhole(T(std::string(1000000, 'a') + "b")));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kStepsMessage);
}

TEST(SearchBudgetListing, RepeatedFieldNamesEndAsNoMatch) {
  Pattern* listing = Pattern::Compile(kListingPattern, PatternFlag::DotAnyChar);
  ASSERT_NE(listing, nullptr);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(listing->MatchWhole(RepeatedFieldsLine(32)));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kStepsMessage);
  // A few repetitions stay well within the budget and fail as before, silently.
  testing::internal::CaptureStderr();
  EXPECT_FALSE(listing->MatchWhole(RepeatedFieldsLine(3)));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  delete listing;
}

// The component's patterns on lines of the forms its tools print, with one field a million
// characters long: the costliest take about a third of the budget.
struct LongLineCase {
  const char* name;
  const char* pattern;
  unsigned flags;
  std::string line;
  bool matches;
  int group;
  std::string groupText;
};

class SystemPatternOnLongLine : public ::testing::TestWithParam<LongLineCase> {};

TEST_P(SystemPatternOnLongLine, MatchesAsOnAShortLine) {
  const LongLineCase& c = GetParam();
  Pattern* pattern = Pattern::Compile(c.pattern, c.flags);
  ASSERT_NE(pattern, nullptr);
  MatchState* m = pattern->CreateMatchState(c.line);
  testing::internal::CaptureStderr();
  EXPECT_EQ(m->MatchWhole(), c.matches);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  // Compared without printing: the texts are a million characters long.
  if (c.matches) {
    EXPECT_TRUE(m->GetGroupText(c.group) == c.groupText);
  }
  delete m;
  delete pattern;
}

const std::string kMillion(1000000, 'x');
const unsigned kRelease = PatternFlag::DotAnyChar | PatternFlag::LineAnchors;

const LongLineCase kLongLines[] = {
    {"LongModel", kListingPattern, kS, ListingLine("LPe" + kMillion, "US2.01A12", "UB5.12a2"), true, 1,
     "LPe" + kMillion},
    {"LongFirmware", kListingPattern, kS, ListingLine("LPe12002", "US" + kMillion, "UB5.12a2"), true, 6,
     "US" + kMillion},
    {"LongBootCode", kListingPattern, kS, ListingLine("LPe12002", "US2.01A12", "UB" + kMillion), true, 7,
     "UB" + kMillion},
    {"LongTrailingField", kListingPattern, kS,
     ListingLine("LPe12002", "US2.01A12", "UB5.12a2", ", Extra=" + kMillion), true, 7, "UB5.12a2"},
    {"LongModelWrongDeviceId", kListingPattern, kS,
     "HBA=LPe" + kMillion +
         ", PCI ID=F1000, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, Boot Code=UB5.12a2",
     false, 0, ""},
    {"LongModelNoBootCode", kListingPattern, kS,
     "HBA=LPe" + kMillion + ", PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12", false,
     0, ""},
    {"LongInstance", "HBA Instance.*: (.+).*", kS, "HBA Instance 0 (QLE2562 Port 1): " + kMillion, true, 1,
     kMillion},
    {"LongInstanceNoValue", "HBA Instance.*: (.+).*", kS, "HBA Instance 0 " + kMillion, false, 0, ""},
    {"LongFlashImage", "Flash Image.*: (.+).*", kS, "Flash Image Version      : " + kMillion, true, 1,
     kMillion},
    {"LongPortName", "Port Name.*: (.+).*", kS, "Port Name  : " + kMillion, true, 1, kMillion},
    {"LongRelease", "Red Hat Enterprise Linux.*release 6.*", kRelease,
     "Red Hat Enterprise Linux Server release 6.1\n" + kMillion, true, 0,
     "Red Hat Enterprise Linux Server release 6.1\n" + kMillion},
    {"LongOtherRelease", "Red Hat Enterprise Linux.*release 4.*", kRelease,
     "Red Hat Enterprise Linux Server release 6.1\n" + kMillion, false, 0, ""},
};
INSTANTIATE_TEST_SUITE_P(Lines, SystemPatternOnLongLine, ::testing::ValuesIn(kLongLines),
                         [](const ::testing::TestParamInfo<LongLineCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
