// The Emulex variant's own small operations, in-process: identifier padding, version
// normalising, and discovery stopping when the kit cannot be prepared.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ComponentTestSupport.h"
#include "E2eHarness.h"
#include "EmulexComponent.h"

namespace {
TEST(EmulexComponent, PadTo4) {
  const std::pair<const char*, const char*> kCases[] = {
      {"F1", "00F1"}, {"1", "0001"}, {"", "0000"}, {"F100", "F100"}, {"10DF0", "10DF0"},
  };
  for (const auto& c : kCases) EXPECT_EQ(EmulexComp::CComponent::PadTo4(c.first), c.second) << c.first;
}

class KitlessComponent : public EmulexComp::CComponent {
 public:
  explicit KitlessComponent(const std::string& logPath) : CComponent(logPath) {}
  int PrepareKit() override {
    ++kitCalls;
    return kitResult;
  }
  int kitCalls = 0;
  int kitResult = 1;
};

TEST(EmulexComponent, NormalizeVersionCutsAtTheFirstBlank) {
  ScratchFolder folder;
  KitlessComponent component(folder.File("log"));
  EXPECT_EQ(component.NormalizeVersion(L"2.01A12 (build 5) x"), L"2.01A12");
  EXPECT_EQ(component.NormalizeVersion(L"2.01A12"), L"2.01A12");
  EXPECT_EQ(component.NormalizeVersion(L" 2.01"), L"");
  EXPECT_EQ(component.NormalizeVersion(L""), L"");
}

// Discovery reaches kit preparation through the virtual slot, first, and stops when it fails:
// the listing command would otherwise leave its arguments in "kit-args.txt".
TEST(EmulexComponent, DiscoveryStopsWhenTheKitIsNotReady) {
  ScratchFolder folder;
  folder.Write("elxflashStandalone-u/lx/elxflash.sh", "#!/bin/sh\necho \"$*\" >> kit-args.txt\n");
  ASSERT_EQ(std::system("chmod +x elxflashStandalone-u/lx/elxflash.sh"), 0);
  KitlessComponent component(folder.File("log"));
  EXPECT_FALSE(component.Discover());
  EXPECT_EQ(component.kitCalls, 1);
  EXPECT_FALSE(component.HasDevices());
  EXPECT_EQ(ReadFileBytes(folder.File("kit-args.txt")), "");

  component.kitResult = 0;
  EXPECT_TRUE(component.Discover());
  EXPECT_EQ(ReadFileBytes(folder.File("kit-args.txt")), "/q /fc\n");
}
}  // namespace
