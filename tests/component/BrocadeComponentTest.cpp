// The Brocade variant: option ROM versions cut to their version number, one boot item per known
// record, the kernel release check and the flash step's exit codes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "BrocadeComponent.h"
#include "E2eHarness.h"
#include "VendorTestSupport.h"

namespace {
const char kTool[] = "bcu_bootupdate";

class TestBrocade : public BrocadeComp::CComponent {
 public:
  explicit TestBrocade(const std::string& logPath) : CComponent(logPath) { log.SetQuiet(true); }
  using CComponent::JudgeKernelRelease;
};

TEST(BrocadeVersion, OptionRomTextCutToItsLastFourPartNumber) {
  struct Case {
    const wchar_t* text;
    const wchar_t* normalised;
  };
  const Case kCases[] = {
      {L"3.0.0.5", L"3.0.0.5"},
      {L"BIOS 2.3.0.1", L"2.3.0.1"},
      {L"12.3.4.5", L"12.3.4.5"},  // the whole first part, not only its last digit
      {L"v3.10.200.4000 (boot)", L"3.10.200.4000"},
      {L"1.2.3.4 and 5.6.7.8", L"5.6.7.8"},
      {L"1.2.3", L"1.2.3"},
      {L"", L""},
      {L"3.0.0.", L"3.0.0."},
      {L"line\n3.0.0.5\n", L"3.0.0.5"},
  };
  ScratchFolder folder;
  TestBrocade component(folder.File("log"));
  for (const Case& c : kCases) EXPECT_EQ(component.NormalizeVersion(c.text), c.normalised) << c.text;
}

TEST(BrocadeCollection, BootItemPerKnownRecordFromItsOptionRom) {
  struct Case {
    const char* optionRom;
    const wchar_t* bios;  // the catalogue's
    const wchar_t* active;
    const wchar_t* action;
  };
  const Case kCases[] = {
      {"BIOS 2.3.0.1", L"2.3.0.2", L"2.3.0.1", L"upgrade"},
      {"3.0.0.5", L"", L"3.0.0.5", L"downgrade"},
      {"", L"", L"", L"rewrite"},
      {"12.3.4.5", L"12.3.4.5", L"12.3.4.5", L"rewrite"},
      {"no version", L"1.0", L"no version", L"downgrade"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.optionRom);
    ScratchFolder folder;
    TestBrocade component(folder.File("log"));
    ReferenceEntry entry;
    entry.device_id = L"1657.0013.1657.0014";
    entry.model = L"BR-825";
    entry.bios = c.bios;
    entry.hasBios = c.bios[0] ? 2 : 0;
    entry.duration = L"60";
    component.catalogue.devices = {entry};
    component.hbaList.records = {NewRecord("dead0001", "dead0001", "", "3.0.0.5"),
                                 NewRecord("16570013", "16570014", "", c.optionRom)};
    component.CollectFirmware();
    ASSERT_EQ(component.result.devices.size(), 1u);
    ExpectOneItemDevice(component.result.devices[0], L"1657.0013.1657.0014", L"BR-825",
                        CollectedItem(L"Boot BIOS ROM", c.bios, c.active, c.action, L"60"));
  }
}

// The look-up is the exact one: the key of a record without PCI identifiers finds nothing.
TEST(BrocadeCollection, DeviceCarriesTheKeyNotTheCataloguesText) {
  ScratchFolder folder;
  TestBrocade component(folder.File("log"));
  ReferenceEntry entry;
  entry.device_id = L"1657.0013.1657.001A";
  component.catalogue.devices = {entry};
  component.hbaList.records = {NewRecord("N/A", "1657001a"), NewRecord("16570013", "1657001a")};
  component.CollectFirmware();
  ASSERT_EQ(component.result.devices.size(), 1u);
  EXPECT_EQ(component.result.devices[0].device_id, L"1657.0013.1657.001a");
}

TEST(BrocadeKernel, ReleaseOf2632OrNewer) {
  struct Case {
    const wchar_t* release;
    int result;
    const char* log;
  };
  const Case kCases[] = {
      {L"2.6.32-5-686", 1, "Kernel : 2  major : 6  minor : 32\n"},
      {L"2.6.16.60-0.21-smp", 0, "Kernel : 2  major : 6  minor : 16\n"},
      {L"2.6.31", 0, "Kernel : 2  major : 6  minor : 31\n"},
      {L"2.7.0", 1, "Kernel : 2  major : 7  minor : 0\n"},
      {L"3.0.13", 1, "Kernel : 3  major : 0  minor : 13\n"},
      {L"2.4.21", 0, "Kernel : 2  major : 4  minor : 21\n"},
      {L"1.9.99", 0, "Kernel : 1  major : 9  minor : 99\n"},
      {L"3.10-1", 0, "uname -r: 3.10-1 is not in a proper format.\n"},
      {L"", 0, "uname -r:  is not in a proper format.\n"},
      {L"linux-2.6.32", 0, "uname -r: linux-2.6.32 is not in a proper format.\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.log);
    ScratchFolder folder;
    TestBrocade component(folder.File("log"));
    EXPECT_EQ(component.JudgeKernelRelease(c.release), c.result);
    EXPECT_EQ(ReadFileBytes(folder.File("log")), c.log);
  }
}

TEST(BrocadeKernel, RunningKernelIsRead) {
  ScratchFolder folder;
  TestBrocade component(folder.File("log"));
  // Whatever machine runs the tests has a kernel newer than 2.6.32.
  EXPECT_EQ(component.ReadKernelVersion(), 1);
  EXPECT_EQ(ReadFileBytes(folder.File("log")).rfind("Kernel : ", 0), 0u);
}

TEST(BrocadeFlash, FixedCommandAndExitCodes) {
  struct Case {
    int exitCode;  // negative: the tool ends through that signal
    int loggedCode;
    int result;
  };
  const Case kCases[] = {{0, 0, 1}, {1, 1, 7}, {3, 3, 7}, {255, 255, 7}, {-15, 143, 7}};
  ASSERT_NO_FATAL_FAILURE(PrepareToolLogFolder());
  // A caller whose SIGCHLD disposition lets the kernel reap children changes no result.
  UnderEachChildSignal([&] {
    for (const Case& c : kCases) {
      SCOPED_TRACE(c.exitCode);
      ScratchFolder folder;
      WriteStandInTool(folder, kTool, "updating\n", c.exitCode);
      ASSERT_EQ(chmod(folder.File(kTool).c_str(), 0777), 0);  // as an earlier version left it
      TestBrocade component(folder.File("log"));
      component.force = true;  // changes nothing in the command
      component.silent = true;
      EXPECT_EQ(component.Flash(), c.result);
      EXPECT_EQ(ReadFileBytes(folder.File("log")),
                "Executing flash engine: ./bcu_bootupdate boot --update bfa_boot_fw -a\nFlash Engine exit code: " +
                    std::to_string(c.loggedCode) + "\n");
      EXPECT_EQ(StandInArguments(folder, kTool), "boot --update bfa_boot_fw -a\n");
      // Root runs the tool: it is left writable by its owner only.
      struct stat tool;
      ASSERT_EQ(stat(folder.File(kTool).c_str(), &tool), 0);
      EXPECT_EQ(tool.st_mode & 07777, 0755u);
    }
  });
}

// A tool log that cannot be opened would refuse the tool's redirections: nothing is started, and
// the code is the same on every shell.
TEST(BrocadeFlash, ToolLogThatCannotBeOpenedStartsNothing) {
  ExpectFlashStartsNothingWithoutToolLog(kTool, "./bcu_bootupdate boot --update bfa_boot_fw -a",
                                         [](const std::string& logPath) {
                                           TestBrocade component(logPath);
                                           return component.Flash();
                                         });
}
}  // namespace

namespace {
const char kCatalogue[] =
    "<tarvo_fchba_reference><devices><device><type value=\"Boot\"/>"
    "<device_id value=\"1657.0013.1657.0014\"/><model value=\"BR-825\"/><bios value=\"12.3.4.5\"/>"
    "<duration value=\"60\"/></device></devices></tarvo_fchba_reference>";

// The inherited inventory discovery hands the records to the collection, and an unforced run
// flashes only when an adapter's option ROM is older than the catalogue's BIOS.
TEST(BrocadeRun, UnforcedRunFlashesOnlyAnOlderKnownAdapter) {
  struct Case {
    const char* name;
    const char* pciIds;
    const char* optionRom;
    int exitCode;
    std::string tail;  // what the run logs after the common header
    const char* toolArguments;
  };
  const Case kCases[] = {
      {"older", "16570013", "BIOS 2.3.4.5", 1,
       "Performing flash -- DO NOT INTERRUPT!\n"
       "Executing flash engine: ./bcu_bootupdate boot --update bfa_boot_fw -a\n"
       "Flash Engine exit code: 0\nFlash complete [1]\n",
       "boot --update bfa_boot_fw -a\n"},
      {"the same, first part of two digits", "16570013", "BIOS 12.3.4.5", 3, "NOTICE : No operation was done.\n", ""},
      {"not in the catalogue", "16570099", "BIOS 2.3.4.5", 3, "NOTICE : No operation was done.\n", ""},
  };
  ASSERT_NO_FATAL_FAILURE(PrepareToolLogFolder());
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    folder.Write("reference.xml", kCatalogue);
    WriteStandInTool(folder, kTool, "updating\n", 0);
    TestBrocade component(folder.File("log"));
    component.hbaList.records.push_back(NewRecord(c.pciIds, "16570014", "", c.optionRom));
    EXPECT_EQ(component.Run(), c.exitCode);
    EXPECT_EQ(ReadFileBytes(folder.File("log")),
              "---------------------------------------------------\nLoading references...done.\n"
              "Performing discovery...\n" + c.tail);
    EXPECT_EQ(StandInArguments(folder, kTool), c.toolArguments);
  }
}
}  // namespace
