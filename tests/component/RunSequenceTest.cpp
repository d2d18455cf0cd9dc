// The run sequence's decisions and messages, through a component whose discovery and flash
// step are scripted by the test.
#include <gtest/gtest.h>

#include "ComponentTestSupport.h"
#include "E2eHarness.h"

namespace {
const char kHeader[] = "---------------------------------------------------\nLoading references...done.\nPerforming discovery...\n";
const char kCatalogue[] = "<tarvo_fchba_reference><devices/></tarvo_fchba_reference>";

class ScriptedComponent : public CBaseCmp {
 public:
  explicit ScriptedComponent(const std::string& logPath) : CBaseCmp(logPath) {}
  bool Discover() override {
    result.devices = devices;
    return discoverSucceeds;
  }
  int Flash() override {
    ++flashCalls;
    return flashResult;
  }
  bool WriteDiscoveryXml() override {
    ++reportCalls;
    return reportSucceeds;
  }

  bool discoverSucceeds = true;
  std::vector<Device> devices;
  int flashResult = 0;
  int flashCalls = 0;
  bool reportSucceeds = true;
  int reportCalls = 0;
};

Device DeviceWithActions(const std::vector<const wchar_t*>& actions) {
  Device device;
  for (const wchar_t* action : actions) {
    FwItem item;
    item.action = action;
    device.fwItems.push_back(item);
  }
  return device;
}

struct Case {
  const char* name;
  std::vector<const char*> args;
  bool discoverSucceeds;
  std::vector<Device> devices;
  int flashResult;
  int exitCode;
  int flashCalls;
  std::string tail;  // what the run logs after the common header
};

TEST(RunSequence, DecisionsMessagesAndExitCodes) {
  const Device upgrade = DeviceWithActions({L"rewrite", L"upgrade"});
  const Device noUpgrade = DeviceWithActions({L"rewrite", L"downgrade", L"unknown", L"Upgrade"});
  const Case kCases[] = {
      {"discovery fails", {}, false, {}, 0, 7, 0, ""},
      {"self-discovery", {"/d", "r.xml"}, true, {upgrade}, 0, 3, 0, "Generating self-discovery XML...done.\n"},
      {"self-discovery without devices", {"/d", "r.xml"}, true, {}, 0, 3, 0, "Generating self-discovery XML...done.\n"},
      {"nothing to upgrade", {}, true, {noUpgrade}, 0, 3, 0, "NOTICE : No operation was done.\n"},
      {"no devices", {}, true, {}, 0, 3, 0, "NOTICE : No operation was done.\n"},
      {"forced without devices", {"/f"}, true, {}, 0, 3, 0, "ERROR! : No supported hardware was found.\n"},
      {"one upgrade on a later device", {}, true, {noUpgrade, upgrade}, 0, 0, 1,
       "Performing flash -- DO NOT INTERRUPT!\nFlash complete [0]\n"},
      {"forced rewrite", {"-g"}, true, {noUpgrade}, 9, 9, 1, "Performing flash -- DO NOT INTERRUPT!\nFlash complete [9]\n"},
      {"negative flash result", {"/e"}, true, {noUpgrade}, -2, -2, 1,
       "Performing flash -- DO NOT INTERRUPT!\nFlash complete [-2]\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    folder.Write("reference.xml", kCatalogue);
    testing::internal::CaptureStdout();
    int exitCode;
    int flashCalls;
    {
      ScriptedComponent component(folder.File("log"));
      component.discoverSucceeds = c.discoverSucceeds;
      component.devices = c.devices;
      component.flashResult = c.flashResult;
      std::vector<char*> argv = {const_cast<char*>("fchba-update")};
      for (const char* arg : c.args) argv.push_back(const_cast<char*>(arg));
      ASSERT_EQ(component.ParseCommandLine(static_cast<int>(argv.size()), argv.data()), ParseResult::Proceed);
      exitCode = component.Run();
      flashCalls = component.flashCalls;
    }
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(exitCode, c.exitCode);
    EXPECT_EQ(flashCalls, c.flashCalls);
    EXPECT_EQ(console, kHeader + c.tail);
    EXPECT_EQ(ReadFileBytes(folder.File("log")), console);
  }
}

// A caller reads the report at its path after the run: one that was not saved fails the run.
TEST(RunSequence, ReportThatWasNotSavedFailsTheRun) {
  ScratchFolder folder;
  folder.Write("reference.xml", kCatalogue);
  ScriptedComponent component(folder.File("log"));
  char* argv[] = {const_cast<char*>("x"), const_cast<char*>("/s"), const_cast<char*>("/d"), const_cast<char*>("r.xml")};
  ASSERT_EQ(component.ParseCommandLine(4, argv), ParseResult::Proceed);
  component.reportSucceeds = false;
  testing::internal::CaptureStdout();
  EXPECT_EQ(component.Run(), 7);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(ReadFileBytes(folder.File("log")), std::string(kHeader) + "Generating self-discovery XML...FAILED!\n");
}

TEST(RunSequence, MissingCatalogueStopsBeforeDiscovery) {
  ScratchFolder folder;
  ScriptedComponent component(folder.File("log"));
  testing::internal::CaptureStdout();
  EXPECT_EQ(component.Run(), 7);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "---------------------------------------------------\nLoading references...FAILED!\n");
}

TEST(RunSequence, ParserFlagsAndPath) {
  struct ParseCase {
    std::vector<const char*> args;
    int result;
    bool silent, discover, force;
    std::string path;
  };
  const ParseCase kCases[] = {
      {{}, ParseResult::Proceed, false, false, false, ""},
      {{"/d", "a.xml", "/s"}, ParseResult::Proceed, true, true, false, "a.xml"},
      {{"-d", "/s"}, ParseResult::Proceed, false, true, false, "/s"},
      {{"/d", "a.xml", "-d", "b.xml"}, ParseResult::Proceed, false, true, false, "b.xml"},
      {{"/F", "/ff", "-f "}, ParseResult::Proceed, false, false, false, ""},
      {{"/g", "/S"}, ParseResult::Proceed, false, false, true, ""},
      {{"/s", "/d"}, ParseResult::Failed, true, true, false, ""},
  };
  for (const ParseCase& c : kCases) {
    ScratchFolder folder;
    TestComponent component(folder.File("log"));
    std::vector<char*> argv = {const_cast<char*>("fchba-update")};
    for (const char* arg : c.args) argv.push_back(const_cast<char*>(arg));
    testing::internal::CaptureStdout();
    EXPECT_EQ(component.ParseCommandLine(static_cast<int>(argv.size()), argv.data()), c.result);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(component.silent, c.silent);
    EXPECT_EQ(component.log.IsQuiet(), c.silent);
    EXPECT_EQ(component.discover, c.discover);
    EXPECT_EQ(component.force, c.force);
    EXPECT_EQ(component.outputPath, c.path);
  }
}

TEST(RunSequence, RequiredActionPrefersUpgradeThenDowngradeThenRewrite) {
  struct ActionCase {
    std::vector<std::vector<const wchar_t*>> devices;
    int expected;
  };
  const ActionCase kCases[] = {
      {{}, RequiredActionKind::None},
      {{{L"unknown", L"UPGRADE", L"upgrade "}}, RequiredActionKind::None},
      {{{L"rewrite"}}, RequiredActionKind::Rewrite},
      {{{L"rewrite"}, {L"downgrade"}}, RequiredActionKind::Downgrade},
      {{{L"downgrade", L"rewrite"}, {L"upgrade"}}, RequiredActionKind::Upgrade},
  };
  ScratchFolder folder;
  for (const ActionCase& c : kCases) {
    TestComponent component(folder.File("log"));
    for (const auto& actions : c.devices) component.result.devices.push_back(DeviceWithActions(actions));
    EXPECT_EQ(component.RequiredAction(), c.expected);
    EXPECT_EQ(component.HasDevices(), !c.devices.empty());
  }
}

TEST(RunSequence, BaseDiscoveryWithoutAdaptersWarnsAndFails) {
  ScratchFolder folder;
  folder.Write("reference.xml", kCatalogue);
  TestComponent component(folder.File("log"));
  char* argv[] = {const_cast<char*>("x"), const_cast<char*>("/d"), const_cast<char*>("r.xml")};
  ASSERT_EQ(component.ParseCommandLine(3, argv), ParseResult::Proceed);
  testing::internal::CaptureStdout();
  EXPECT_EQ(component.Run(), 7);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(kHeader) + "WARNING! : No supported adapters found.\n");
  bool reportExists = true;
  ReadFileBytes(folder.File("r.xml"), &reportExists);
  EXPECT_FALSE(reportExists);
}
}  // namespace
