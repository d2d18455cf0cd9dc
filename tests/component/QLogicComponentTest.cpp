// The QLogic variant: its tool's query listing matched to inventory records by port WWN, the
// containment look-up, version normalisation and the flash step's exit codes.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "CommandRunner.h"
#include "E2eHarness.h"
#include "QLogicComponent.h"
#include "VendorTestSupport.h"

namespace {
const char kTool[] = "qvqlafwupdate";
const char kWwn[] = "21:00:00:E0:8B:01:02:03";
const char kToolWwn[] = "21-00-00-E0-8B-01-02-03";
const char kOtherToolWwn[] = "21-00-00-E0-8B-0A-0B-0C";

class TestQLogic : public QLogicComp::CComponent {
 public:
  explicit TestQLogic(const std::string& logPath) : CComponent(logPath) { log.SetQuiet(true); }
};

ReferenceEntry Entry(const wchar_t* deviceId, const wchar_t* model = L"", const wchar_t* boot = L"") {
  ReferenceEntry entry;
  entry.device_id = deviceId;
  entry.model = model;
  entry.boot = boot;
  entry.duration = L"90";
  return entry;
}

// The five lines that the tool prints for one adapter instance.
std::string Instance(const std::string& number, const std::string& image, const std::string& port) {
  return "HBA Instance: " + number + "\nHBA Model: QLE2462\nFlash Image Version : " + image +
         "\nPort Name : " + port + "\nSerial Number : RFC0001\n";
}

std::string WithoutFinalLineEnd(std::string text) {
  text.pop_back();
  return text;
}

std::string NulBeforeLineEnds(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\0';
    out += c;
  }
  return out;
}

std::string Lines(int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += "Other : line\n";
  return text;
}

TEST(QLogicCollection, InstalledImageComesFromTheInstanceWithTheRecordsPortName) {
  struct Case {
    const char* name;
    std::string listing;
    const char* portWwn;  // of the record
    const wchar_t* active;
  };
  const Case kCases[] = {
      {"one instance", Instance("0", "2.10", kToolWwn), kWwn, L"2.10"},
      {"last line without a line end", WithoutFinalLineEnd(Instance("0", "2.02", kToolWwn)), kWwn, L"2.02"},
      {"port names compare case-sensitively", Instance("0", "2.10", "21-00-00-e0-8b-01-02-03"), kWwn, L""},
      {"other port", Instance("0", "2.10", kOtherToolWwn), kWwn, L""},
      {"the later of two rows wins", Instance("0", "1.0", kToolWwn) + Instance("1", "3.1", kToolWwn), kWwn, L"3.1"},
      {"second instance", Instance("0", "1.0", kOtherToolWwn) + Instance("1", "2.9", kToolWwn), kWwn, L"2.9"},
      {"value after the last colon", "HBA Instance : 0\nFlash Image Version : BIOS: 2.10\nPort Name : " +
       std::string(kToolWwn) + "\n" + Lines(2), kWwn, L"2.10"},
      {"instance number with blanks and text", "HBA Instance:   1 (of 2)\nFlash Image: 2.11\nPort Name: " +
       std::string(kToolWwn) + "\n" + Lines(7), kWwn, L"2.11"},
      {"instance number without digits reads as 0", "HBA Instance : none\nFlash Image: 2.12\nPort Name: " +
       std::string(kToolWwn) + "\n" + Lines(2), kWwn, L"2.12"},
      {"12 lines search rows 0 and 1 only", "HBA Instance: 5\nFlash Image: 2.11\nPort Name: " +
       std::string(kToolWwn) + "\n" + Lines(9), kWwn, L""},
      {"10 lines search row 1", "HBA Instance: 1\nFlash Image: 2.11\nPort Name: " + std::string(kToolWwn) +
       "\n" + Lines(7), kWwn, L"2.11"},
      {"lines before the first instance are dropped", "Flash Image: 2.11\nPort Name: " + std::string(kToolWwn) +
       "\n" + Lines(3), kWwn, L""},
      {"instance beyond the table", Instance("64", "2.11", kToolWwn) + Instance("0", "", "x") + Lines(320), kWwn,
       L""},
      {"negative instance", Instance("-1", "2.11", kToolWwn), kWwn, L""},
      {"instance number out of range", Instance("99999999999999999999", "2.11", kToolWwn), kWwn, L""},
      {"a row without port name never matches", "HBA Instance: 0\nFlash Image: 2.11\n" + Lines(3), "", L""},
      {"a listing beyond 64 instances", Lines(400) + Instance("63", "2.10", kToolWwn), kWwn, L"2.10"},
      {"empty listing", "", kWwn, L""},
      {"a NUL byte before every line end", NulBeforeLineEnds(Instance("0", "2.10", kToolWwn)), kWwn, L"2.10"},
      {"fields padded with NUL bytes",
       "HBA Instance: 0\nHBA Model: QLE2462" + std::string(5, '\0') + "\nFlash Image Version : 2.10" +
           std::string(3, '\0') + "\nPort Name : " + kToolWwn + std::string(8, '\0') + "\nSerial Number : RFC0001\n",
       kWwn, L"2.10"},
      {"a NUL byte inside a value", Instance("0", std::string("2.\0") + "10", kToolWwn), kWwn, L"2.10"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    WriteStandInTool(folder, kTool, c.listing, 0);
    TestQLogic component(folder.File("log"));
    component.catalogue.devices = {Entry(L"1077.2432.1077.0138", L"QLE2460", L"2.10")};
    component.hbaList.records.push_back(NewRecord("10772432", "10770138", c.portWwn));
    component.CollectFirmware();
    ASSERT_EQ(component.result.devices.size(), 1u);
    ASSERT_EQ(component.result.devices[0].fwItems.size(), 1u);
    const FwItem& item = component.result.devices[0].fwItems[0];
    EXPECT_EQ(item.active_version, c.active);
    EXPECT_EQ(StandInArguments(folder, kTool), "/q\n");
  }
}

// Root runs the query tool in a discovery run too: it is left writable by its owner only, also
// when an earlier version left it writable by all.
TEST(QLogicCollection, QueryToolIsLeftWritableByItsOwnerOnly) {
  ScratchFolder folder;
  WriteStandInTool(folder, kTool, Instance("0", "2.10", kToolWwn), 0);
  ASSERT_EQ(chmod(folder.File(kTool).c_str(), 0777), 0);
  TestQLogic component(folder.File("log"));
  component.CollectFirmware();
  EXPECT_EQ(StandInArguments(folder, kTool), "/q\n");
  struct stat tool;
  ASSERT_EQ(stat(folder.File(kTool).c_str(), &tool), 0);
  EXPECT_EQ(tool.st_mode & 07777, 0755u);
}

TEST(QLogicCollection, OneDevicePerKnownRecordInInventoryOrder) {
  ScratchFolder folder;
  WriteStandInTool(folder, kTool, Instance("0", "2.50", kOtherToolWwn) + Instance("1", "2.10", kToolWwn), 0);
  TestQLogic component(folder.File("log"));
  component.catalogue.devices = {Entry(L"1077.2432.1077.0138", L"QLE2460", L"2.10"),
                                 Entry(L"1077.2532.1077.015C", L"QLE2562", L"3.00")};
  component.hbaList.records = {NewRecord("10772532", "1077015c", "21:00:00:E0:8B:0A:0B:0C"),
                               NewRecord("1234abcd", "1234abcd", kWwn),
                               NewRecord("N/A", "10770138", kWwn)};
  component.CollectFirmware();
  ASSERT_EQ(component.result.devices.size(), 2u);

  ExpectOneItemDevice(component.result.devices[0], L"1077.2532.1077.015C", L"QLE2562",
                      CollectedItem(L"Multiboot Image", L"3.00", L"2.50", L"upgrade", L"90"));

  // Without PCI identifiers the key is the subsystem pair alone, found by containment; the
  // device carries the catalogue's text, not the key.
  ExpectOneItemDevice(component.result.devices[1], L"1077.2432.1077.0138", L"QLE2460",
                      CollectedItem(L"Multiboot Image", L"2.10", L"2.10", L"rewrite", L"90"));
}

TEST(QLogicCollection, ActionComparesTheBootVersionWithTheInstalledImage) {
  struct Case {
    const wchar_t* boot;   // the catalogue's
    std::string listing;   // of the record's port and, after it, of another port
    const wchar_t* active;
    const wchar_t* action;
  };
  const Case kCases[] = {
      {L"2.10", Instance("0", "2.10", kToolWwn), L"2.10", L"rewrite"},
      {L"2.10", Instance("0", "2.02", kToolWwn), L"2.02", L"upgrade"},
      {L"2.10", Instance("0", "3.1", kToolWwn), L"3.1", L"downgrade"},
      {L"", Instance("0", "2.10", kToolWwn), L"2.10", L"downgrade"},
      {L"2.10", Instance("0", "2.10", kOtherToolWwn), L"", L"upgrade"},
      {L"", Instance("0", "2.10", kOtherToolWwn), L"", L"rewrite"},
      // A NUL byte never joins a line to the next: the other port's image stays its own.
      {L"2.0", "HBA Instance: 0\nHBA Model: QLE2462\nFlash Image Version : 1.0\nPort Name : " + std::string(kToolWwn) +
       std::string(1, '\0') + "\nHBA Instance: 1\n" + std::string(1, '\0') + "Flash Image Version : 3.0\nPort Name : " +
       kOtherToolWwn + "\nSerial Number : RFC0002\n" + Lines(1), L"1.0", L"upgrade"},
  };
  for (const Case& c : kCases) {
    ScratchFolder folder;
    WriteStandInTool(folder, kTool, c.listing, 0);
    TestQLogic component(folder.File("log"));
    component.catalogue.devices = {Entry(L"1077.2432.1077.0138", L"QLE2460", c.boot)};
    component.hbaList.records = {NewRecord("10772432", "10770138", kWwn)};
    component.CollectFirmware();
    ASSERT_EQ(component.result.devices.size(), 1u);
    EXPECT_EQ(component.result.devices[0].fwItems[0].active_version, c.active);
    EXPECT_EQ(component.result.devices[0].fwItems[0].action, c.action);
  }
}

// A query that could not be read is a look not taken: the discovery fails with one error line
// and the run ends with 7, instead of flashing adapters whose images it never saw.
TEST(QLogicCollection, QueryThatCouldNotBeReadFailsTheRun) {
  const std::string header =
      "---------------------------------------------------\nLoading references...done.\nPerforming discovery...\n";
  struct Case {
    const char* name;
    const char* script;  // the tool's whole script; null: no tool in the folder
    std::string error;
  };
  const Case kCases[] = {
      {"no tool", nullptr, "ERROR! : The adapter listing could not be run (exit code 127): ./qvqlafwupdate /q\n"},
      {"tool the shell cannot execute", "\x7f" "ELF, but not a program\n", "ERROR! : The adapter listing could not be run (exit code 126): ./qvqlafwupdate /q\n"},
      {"tool killed part-way", "#!/bin/sh\necho 'HBA Instance: 0'\nkill -9 $$\n",
       "ERROR! : The adapter listing could not be run (exit code 137, most likely ended by signal 9): ./qvqlafwupdate /q\n"},
      {"tool that never stops printing", "#!/bin/sh\nexec yes ''\n",
       "ERROR! : The adapter listing passed 64 MiB and was stopped: ./qvqlafwupdate /q\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    if (c.script) folder.Write(kTool, c.script);
    folder.Write("reference.xml",
                 "<tarvo_fchba_reference><devices><device><device_id value=\"1077.2432.1077.0138\"/>"
                 "<boot value=\"2.10\"/></device></devices></tarvo_fchba_reference>");
    TestQLogic component(folder.File("log"));
    component.hbaList.records = {NewRecord("10772432", "10770138", kWwn)};
    testing::internal::CaptureStderr();  // the shell's complaint
    EXPECT_EQ(component.Run(), 7);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(ReadFileBytes(folder.File("log")), header + c.error);
    EXPECT_TRUE(component.result.devices.empty());
  }
  struct rusage usage;
  ASSERT_EQ(getrusage(RUSAGE_SELF, &usage), 0);
  EXPECT_LT(static_cast<size_t>(usage.ru_maxrss) * 1024, 6 * kMaxCommandOutput);
}

TEST(QLogicLookUp, ExactMatchFirstThenContainmentInAnyCase) {
  struct Case {
    const wchar_t* key;
    int index;
  };
  const Case kCases[] = {
      {L"1077.2532.1077.015C", 3},  // exact, other case
      {L"2532.1077", 3},            // contained
      {L"f100.10df", 0},            // contained, other case
      {L"1077.0138", 2},            // exact beats an earlier entry that contains it
      {L"0138.ffff", 1},
      {L"dead.beef", -1},
      {L"1077.2532.1077.015C.", -1},
      {L"", -1},  // every text contains the empty key; that finds nothing
  };
  ScratchFolder folder;
  TestQLogic component(folder.File("log"));
  component.catalogue.devices = {Entry(L"10DF.F100.10DF.F100"), Entry(L"AAAA.1077.0138.FFFF"), Entry(L"1077.0138"),
                                 Entry(L"1077.2532.1077.015c")};
  for (const Case& c : kCases) EXPECT_EQ(component.FindReference(c.key), c.index) << c.key;

  component.catalogue.devices.push_back(Entry(L""));
  EXPECT_EQ(component.FindReference(L""), 4);
}

TEST(QLogicVersion, NormalisedAtTheFirstBlankWithoutTheFirstVPrefix) {
  struct Case {
    const wchar_t* text;
    const wchar_t* normalised;
  };
  const Case kCases[] = {
      {L"v.1.02.03 (build 7)", L"1.02.03"}, {L"1.02.03", L"1.02.03"}, {L"", L""},          {L" 1.0", L""},
      {L"2.10v.3", L"2.103"},               {L"v.v.1", L"v.1"},       {L"1.0 v.2", L"1.0"}, {L"V.1", L"V.1"},
  };
  ScratchFolder folder;
  TestQLogic component(folder.File("log"));
  for (const Case& c : kCases) EXPECT_EQ(component.NormalizeVersion(c.text), c.normalised) << c.text;
  EXPECT_EQ(CBaseCmp::ToUpper(L"10df.fe00 ab-z"), L"10DF.FE00 AB-Z");
}

TEST(QLogicFlash, OptionsAndExitCodes) {
  struct Case {
    bool silent, force;
    int exitCode;  // negative: the tool ends through that signal
    int loggedCode;
    int result;
  };
  const Case kCases[] = {
      {false, false, 0, 0, 1},     {true, false, 1, 1, 3},       {false, true, 2, 2, 7},
      {true, true, 10, 10, 7},     {false, false, 11, 11, 11},   {false, false, 13, 13, 13},
      {false, false, 14, 14, 7},   {false, false, 15, 15, 15},   {false, false, 16, 16, 7},
      {false, false, 17, 17, 7},   {false, false, 18, 18, 18},   {false, false, 255, 255, 255},
      {false, false, -9, 137, 137},  // ended through a signal: never success
  };
  ASSERT_NO_FATAL_FAILURE(PrepareToolLogFolder());
  // A caller whose SIGCHLD disposition lets the kernel reap children changes no result.
  UnderEachChildSignal([&] {
    for (const Case& c : kCases) {
      SCOPED_TRACE(c.exitCode);
      ScratchFolder folder;
      WriteStandInTool(folder, kTool, "flashing\n", c.exitCode);
      TestQLogic component(folder.File("log"));
      component.silent = c.silent;
      component.force = c.force;
      const std::string options = std::string(c.silent ? " /s" : "") + (c.force ? " /f" : "");
      EXPECT_EQ(component.Flash(), c.result);
      EXPECT_EQ(ReadFileBytes(folder.File("log")), "Executing flash engine: ./qvqlafwupdate" + options +
                                                       "\nFlash Engine exit code: " + std::to_string(c.loggedCode) +
                                                       "\n");
      EXPECT_EQ(StandInArguments(folder, kTool), (options.empty() ? options : options.substr(1)) + "\n");
    }
  });
}

// A tool log that cannot be opened would refuse the tool's redirections, which one shell reports
// as 1, "nothing done": nothing is started, and the step fails on every shell.
TEST(QLogicFlash, ToolLogThatCannotBeOpenedStartsNothing) {
  ExpectFlashStartsNothingWithoutToolLog(kTool, "./qvqlafwupdate", [](const std::string& logPath) {
    TestQLogic component(logPath);
    return component.Flash();
  });
}

// The tool runs as root: it is made executable and left writable by its owner only, also when an
// earlier run left it writable by all.
TEST(QLogicFlash, ToolOutputIsAppendedToTheComponentLog) {
  ASSERT_NO_FATAL_FAILURE(PrepareToolLogFolder());
  for (const mode_t leftBefore : {mode_t(0644), mode_t(0777)}) {
    SCOPED_TRACE(leftBefore);
    const std::string before = ReadFileBytes(kToolLogPath);
    ScratchFolder folder;
    WriteStandInTool(folder, kTool, "flashing adapter 0\n", 0);
    ASSERT_EQ(chmod(folder.File(kTool).c_str(), leftBefore), 0);
    TestQLogic component(folder.File("log"));
    EXPECT_EQ(component.Flash(), 1);
    EXPECT_EQ(ReadFileBytes(kToolLogPath), before + "flashing adapter 0\n" + kStandInExtraOutput);
    struct stat tool;
    ASSERT_EQ(stat(folder.File(kTool).c_str(), &tool), 0);
    EXPECT_EQ(tool.st_mode & 07777, 0755u);
  }
}
}  // namespace

namespace {
const char kHeader[] =
    "---------------------------------------------------\nLoading references...done.\nPerforming discovery...\n";
const char kCatalogue[] =
    "<tarvo_fchba_reference><devices><device><type value=\"Multiboot\"/>"
    "<device_id value=\"1077.2432.1077.0138\"/><model value=\"QLE2460\"/><boot value=\"2.10\"/>"
    "<duration value=\"90\"/></device></devices></tarvo_fchba_reference>";

// The inherited inventory discovery hands the records to the collection; the forced run then
// flashes through the same tool.
TEST(QLogicRun, ForcedSilentRunFlashesTheDiscoveredAdapter) {
  ASSERT_NO_FATAL_FAILURE(PrepareToolLogFolder());
  ScratchFolder folder;
  folder.Write("reference.xml", kCatalogue);
  WriteStandInTool(folder, kTool, Instance("0", "2.10", kToolWwn), 0);
  ASSERT_EQ(chmod(folder.File(kTool).c_str(), 0777), 0);  // as an earlier version left it
  TestQLogic component(folder.File("log"));
  component.hbaList.records.push_back(NewRecord("10772432", "10770138", kWwn));
  char* argv[] = {const_cast<char*>("fchba-update"), const_cast<char*>("/s"), const_cast<char*>("/f")};
  ASSERT_EQ(component.ParseCommandLine(3, argv), ParseResult::Proceed);
  testing::internal::CaptureStdout();
  EXPECT_EQ(component.Run(), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(ReadFileBytes(folder.File("log")), std::string(kHeader) +
                                                   "Performing flash -- DO NOT INTERRUPT!\n"
                                                   "Executing flash engine: ./qvqlafwupdate /s /f\n"
                                                   "Flash Engine exit code: 0\nFlash complete [1]\n");
  EXPECT_EQ(StandInArguments(folder, kTool), "/q\n/s /f\n");
  ASSERT_EQ(component.result.devices.size(), 1u);
  EXPECT_EQ(component.result.type, L"Multiboot");
  EXPECT_EQ(component.result.devices[0].fwItems[0].active_version, L"2.10");
  struct stat tool;
  ASSERT_EQ(stat(folder.File(kTool).c_str(), &tool), 0);
  EXPECT_EQ(tool.st_mode & 07777, 0755u);  // root runs it: writable by its owner only
}
}  // namespace
