// The patterns the component itself compiles, on the lines and release texts it reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Pattern.h"

namespace {

using Texts = std::vector<std::string>;

const char* kListingPattern =
    "HBA=(.+),.*PCI ID=(\\w{1,4}),.*VID=(\\w{1,4}),.*SSID=(\\w{1,4}),.*SVID=(\\w{1,4}),.*"
    "Firmware=(.+),.*Boot Code=([\\w\\.]+).*";

// Compile, match the whole line and read groups 1 onward, as the component does per line.
bool MatchLine(const char* pattern, const std::string& line, Texts& groups) {
  Pattern* p = Pattern::Compile(pattern, PatternFlag::DotAnyChar);
  if (!p) return false;
  MatchState* m = p->CreateMatchState(line);
  bool matched = m->MatchWhole();
  if (matched) groups = m->GetGroupTexts(false);
  delete m;
  delete p;
  return matched;
}

struct LineCase {
  const char* pattern;
  std::string line;
  bool matches;
  Texts groups;
};

class SystemLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(SystemLine, WholeLineAndGroups) {
  const LineCase& c = GetParam();
  Texts groups;
  EXPECT_EQ(MatchLine(c.pattern, c.line, groups), c.matches);
  if (c.matches) {
    EXPECT_EQ(groups, c.groups);
  }
}

const LineCase kLines[] = {
    {kListingPattern,
     "HBA=LPe12002-M8, PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, "
     "Boot Code=UB5.12a2",
     true,
     {"LPe12002-M8", "F100", "10DF", "F100", "10DF", "US2.01A12", "UB5.12a2"}},
    {kListingPattern,
     "HBA=LPe12002-M8, PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, "
     "Boot Code=UB5.12a2, Extra=1",
     true,
     {"LPe12002-M8", "F100", "10DF", "F100", "10DF", "US2.01A12", "UB5.12a2"}},
    {kListingPattern,
     "HBA=LPe12002-M8, PCI ID=F1000, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, "
     "Boot Code=UB5.12a2",
     false,
     {}},
    {kListingPattern, "Adapter listing done", false, {}},
    {"HBA Instance.*: (.+).*", "HBA Instance: 0", true, {"0"}},
    {"HBA Instance.*: (.+).*", "HBA Instance 2 (QLE2562 Port 1): 12", true, {"12"}},
    {"Flash Image.*: (.+).*", "Flash Image Version      : 2.10.01", true, {"2.10.01"}},
    {"Port Name.*: (.+).*", "Port Name  : 21-00-00-1B-32-0A-B1-C2", true,
     {"21-00-00-1B-32-0A-B1-C2"}},
    {"Port Name.*: (.+).*", "Node Name  : 20-00", false, {}},
};
INSTANTIATE_TEST_SUITE_P(Listings, SystemLine, ::testing::ValuesIn(kLines));

struct ReleaseCase {
  const char* pattern;
  const char* text;
  bool matches;
};

TEST(SystemRelease, ReleasePatternsOnReleaseTexts) {
  const unsigned kFlags = PatternFlag::DotAnyChar | PatternFlag::LineAnchors;  // 12
  const ReleaseCase kCases[] = {
      {"Red Hat Enterprise Linux.*release 5.*",
       "Red Hat Enterprise Linux Server release 5.4 (Tikanga)\n", true},
      {"Red Hat Enterprise Linux.*release 4.*",
       "Red Hat Enterprise Linux Server release 5.4 (Tikanga)\n", false},
      {"Red Hat Enterprise Linux.*release 6.*",
       "Red Hat Enterprise Linux Server release 6.1 (Santiago)\n", true},
      {"Red Hat Enterprise Linux.*release 4.*", "Red Hat Enterprise Linux AS release 4 (Nahant)",
       true},
      {"SUSE Linux Enterprise Server 11.*",
       "SUSE Linux Enterprise Server 11 (x86_64)\nVERSION = 11\nPATCHLEVEL = 1\n", true},
      {"SUSE Linux Enterprise Server 10.*",
       "SUSE Linux Enterprise Server 11 (x86_64)\nVERSION = 11\nPATCHLEVEL = 1\n", false},
      {"SUSE Linux Enterprise Server 10.*", "Welcome to SUSE Linux Enterprise Server 10", false},
  };
  for (const ReleaseCase& c : kCases)
    EXPECT_EQ(Pattern::QuickMatch(c.pattern, c.text, kFlags), c.matches) << c.pattern << " / " << c.text;
}

}  // namespace
