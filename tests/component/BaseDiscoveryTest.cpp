// The base discovery over the adapter inventory: header texts and device keys of records.
#include <gtest/gtest.h>

#include "ComponentTestSupport.h"
#include "E2eHarness.h"

namespace {

TEST(BaseDiscovery, DeviceKeyFromIdentifierTexts) {
  struct Case {
    const char* pciIds;
    const char* subsystemIds;
    const wchar_t* key;
  };
  const Case kCases[] = {
      {"10dff100", "10dffe00", L"10df.f100.10df.fe00"},
      {"N/A", "10dffe00", L"10df.fe00"},
      {"n/a", "N/a", L""},
      {"1077", "", L"1077"},
      {"10771", "", L"1077.1"},
      {"", "", L""},
      {"10dff100", "N/A", L"10df.f100"},
      {"10df\xe9", "", L"10df.\xffffffe9"},  // a byte above 127 widens as a signed byte, like the catalogue's
  };
  ScratchFolder folder;
  TestComponent component(folder.File("log"));
  for (const Case& c : kCases) component.hbaList.records.push_back(NewRecord(c.pciIds, c.subsystemIds));
  for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i)
    EXPECT_EQ(component.GetDeviceId(static_cast<int>(i)), kCases[i].key) << kCases[i].pciIds;
}

// Counts the calls of the two steps that a discovery may run besides its own.
class CountingComponent : public TestComponent {
 public:
  explicit CountingComponent(const std::string& logPath) : TestComponent(logPath) {}
  void CollectFirmware() override { ++collections; }
  int PrepareKit() override {
    ++kitPreparations;
    return 1;
  }
  int collections = 0;
  int kitPreparations = 0;
};

TEST(BaseDiscovery, HeaderTextsComeFromTheFirstCatalogueEntry) {
  ScratchFolder folder;
  CountingComponent component(folder.File("log"));
  component.hbaList.records.push_back(NewRecord("10dff100", "10dff100"));
  component.result.alt_name = component.result.version = component.result.takes_effect = L"stale";
  ReferenceEntry first, second;
  first.type = L"Firmware";
  second.type = L"Other";
  component.catalogue.devices = {first, second};
  EXPECT_TRUE(component.Discover());
  EXPECT_EQ(component.result.type, L"Firmware");
  EXPECT_EQ(component.result.alt_name + component.result.version + component.result.takes_effect, L"");
  EXPECT_EQ(component.collections, 1);
  EXPECT_EQ(component.kitPreparations, 0);  // the inventory needs no vendor kit
  EXPECT_TRUE(component.result.devices.empty());

  TestComponent empty(folder.File("log"));
  empty.hbaList.records.push_back(NewRecord("10dff100", "10dff100"));
  EXPECT_TRUE(empty.Discover());
  EXPECT_EQ(empty.result.type, L"");
}

// Inside the test sandbox no FC-HBA library is configured: the inventory stays empty.
TEST(BaseDiscovery, EmptyInventoryWarnsAndCollectsNothing) {
  ScratchFolder folder;
  CountingComponent component(folder.File("log"));
  component.log.SetQuiet(true);
  ReferenceEntry entry;
  entry.type = L"Firmware";
  component.catalogue.devices = {entry};
  EXPECT_FALSE(component.Discover());
  EXPECT_EQ(ReadFileBytes(folder.File("log")), "WARNING! : No supported adapters found.\n");
  EXPECT_EQ(component.collections, 0);
  EXPECT_EQ(component.result.type, L"");
}
}  // namespace
