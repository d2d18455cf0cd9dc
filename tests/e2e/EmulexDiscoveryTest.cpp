// Self-discovery runs of the real binary over the stand-in kit: which listing lines become
// devices, under which key, with which versions and actions, as the report shows them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ReportReader.h"
#include "StandInKit.h"

namespace {
const char kExampleLine[] =
    "HBA=LPe12002-M8, PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, Boot Code=UB5.12a2";
const char kDiscoveryTail[] = "Generating self-discovery XML...done.\n";

const CatalogueEntry kLpe12002 = {"10df.f100.10df.f100", "LPe12002", "2.01A12", "5.12a3", "120"};
const ReportItem kExampleFirmware = {"Firmware", "2.01A12", "2.01A12", "rewrite", "120", "no"};
const ReportItem kExampleBoot = {"Boot BIOS ROM", "5.12a3", "5.12a2", "upgrade", "120", ""};
const ReportDevice kExampleDevice = {"10DF.F100.10DF.F100", "LPe12002", {kExampleFirmware, kExampleBoot}};

std::string Line(const std::string& model, const std::string& pciId, const std::string& firmware,
                 const std::string& boot) {
  return "HBA=" + model + ", PCI ID=" + pciId + ", VID=10DF, SSID=F100, SVID=10DF, Firmware=" + firmware +
         ", Boot Code=" + boot;
}

E2eResult RunDiscovery(E2eHarness& harness, const std::string& listing, const std::vector<CatalogueEntry>& catalogue) {
  E2eRun run;
  run.args = {"/d", "report.xml"};
  run.files["reference.xml"] = CatalogueXml(catalogue);
  StandInKit kit;
  kit.listing = listing;
  AddStandInKit(run, kit);
  return harness.Run(run);
}

TEST(EmulexDiscovery, ExampleLineGivesRewriteFirmwareAndUpgradeBoot) {
  E2eHarness harness;
  E2eResult r = RunDiscovery(harness, std::string(kExampleLine) + "\n", {kLpe12002});
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, std::string(kRunUpToKit) + kDiscoveryTail);
  EXPECT_EQ(r.log, r.out);
  EXPECT_EQ(r.ReadWorkFile("report.xml"), ReportXml({kExampleDevice}));
  // Only the listing call ran; the kit stays unpacked with its script executable by all and
  // writable by its owner only.
  EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n");
  struct stat script;
  ASSERT_EQ(stat((r.workDir + "/elxflashStandalone-t/lx/elxflash.sh").c_str(), &script), 0);
  EXPECT_EQ(script.st_mode & 07777, 0755u);
}

// A kit left unpacked by an earlier run is replaced by the package's, without a question asked.
TEST(EmulexDiscovery, KitUnpackedByAnEarlierRunIsOverwritten) {
  E2eHarness harness;
  E2eRun run;
  run.args = {"/d", "report.xml"};
  run.files["reference.xml"] = CatalogueXml({kLpe12002});
  run.files["elxflashStandalone-t/lx/elxflash.sh"] = "#!/bin/sh\necho stale >> kit-args.txt\n";
  StandInKit kit;
  kit.listing = std::string(kExampleLine) + "\n";
  AddStandInKit(run, kit);
  E2eResult r = harness.Run(run);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.out, std::string(kRunUpToKit) + kDiscoveryTail);
  EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n");
  EXPECT_EQ(r.ReadWorkFile("report.xml"), ReportXml({kExampleDevice}));
}

// unzip's exit code 1 means warnings only, here for bytes before the archive's first entry: the
// kit was unpacked whole and is used.
TEST(EmulexDiscovery, KitUnpackedWithWarningsOnlyIsUsed) {
  E2eHarness harness;
  E2eRun run;
  run.args = {"/d", "report.xml"};
  run.files["reference.xml"] = CatalogueXml({kLpe12002});
  StandInKit kit;
  kit.listing = std::string(kExampleLine) + "\n";
  AddStandInKit(run, kit);
  run.setup.push_back("{ printf 'junk'; cat elxflashStandalone-t.zip; } > k.zip && mv k.zip elxflashStandalone-t.zip");
  E2eResult r = harness.Run(run);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_NE(r.err.find("extra bytes"), std::string::npos) << r.err;  // unzip's warning
  EXPECT_EQ(r.out, std::string(kRunUpToKit) + kDiscoveryTail);
  EXPECT_EQ(r.ReadWorkFile("kit-args.txt"), "/q /fc\n");
  EXPECT_EQ(r.ReadWorkFile("report.xml"), ReportXml({kExampleDevice}));
}

TEST(EmulexDiscovery, ListingLinesToDevices) {
  struct Case {
    const char* name;
    std::string listing;
    std::vector<CatalogueEntry> catalogue;
    std::vector<ReportDevice> devices;
  };
  const CatalogueEntry upperKey = {"10DF.F100.10DF.F100", "LPe12002", "2.01A12", "5.12a3", "120"};
  const Case kCases[] = {
      {"lower-case listing, upper-case catalogue",
       "HBA=LPe12002-M8, PCI ID=f100, VID=10df, SSID=f100, SVID=10df, Firmware=US2.01A12, Boot Code=UB5.12a2\n",
       {upperKey},
       {{"10df.f100.10df.f100", "LPe12002", {kExampleFirmware, kExampleBoot}}}},
      {"short PCI ID padded with zeros",
       Line("LPe12002-M8", "F1", "US2.01A12", "UB5.12a2"),
       {{"10DF.00F1.10DF.F100", "LPe12002", "2.01A12", "5.12a3", "120"}},
       {{"10DF.00F1.10DF.F100", "LPe12002", {kExampleFirmware, kExampleBoot}}}},
      {"two lines with one key give two devices", std::string(kExampleLine) + "\n" + kExampleLine + "\n",
       {kLpe12002}, {kExampleDevice, kExampleDevice}},
      {"carriage returns go to the final wildcard", std::string(kExampleLine) + "\r\n" + kExampleLine + "\r\n",
       {kLpe12002}, {kExampleDevice, kExampleDevice}},
      {"last line without a line end", std::string("junk\n") + kExampleLine, {kLpe12002}, {kExampleDevice}},
      {"unknown key and non-matching lines are skipped",
       Line("LPe12002-M8", "F200", "US2.01A12", "UB5.12a2") + "\nHBA=LPe12002, PCI ID=F100\n\n" + kExampleLine +
           "\n",
       {kLpe12002}, {kExampleDevice}},
      {"LPe160: fixed package version, whole installed text, plain comparison",
       Line("LPe16002-M6", "F100", "11.1.100.0", "UB2.0a1"),
       {{"10DF.F100.10DF.F100", "LPe16002", "10.2.370.15", "", "180"}},
       {{"10DF.F100.10DF.F100", "LPe16002", {{"Firmware", "11.1.183.58", "11.1.100.0", "upgrade", "180", "no"}}}}},
      {"LPe320: its own fixed package version",
       Line("LPe32002", "F100", "11.2.224.5", "UB2.0a1"),
       {{"10DF.F100.10DF.F100", "LPe32002", "1.0", "", "90"}},
       {{"10DF.F100.10DF.F100", "LPe32002", {{"Firmware", "11.2.224.5", "11.2.224.5", "rewrite", "90", "no"}}}}},
      {"LPe310: same as LPe320",
       Line("LPe31002", "F100", "12.0.1", "UB2.0a1"),
       {{"10DF.F100.10DF.F100", "LPe31002", "1.0", "", "90"}},
       {{"10DF.F100.10DF.F100", "LPe31002", {{"Firmware", "11.2.224.5", "12.0.1", "downgrade", "90", "no"}}}}},
      {"OCe keeps both installed texts whole",
       Line("OCe11102", "F100", "4.2.433.0", "4.2.433.0"),
       {{"10DF.F100.10DF.F100", "OCe11102", "4.6.142.10", "4.2.433.0", "60"}},
       {{"10DF.F100.10DF.F100", "OCe11102",
         {{"Firmware", "4.6.142.10", "4.2.433.0", "upgrade", "60", "no"},
          {"Boot BIOS ROM", "4.2.433.0", "4.2.433.0", "rewrite", "60", ""}}}}},
      {"dotless package version removes the installed dots; two steps",
       Line("LPe12000", "F100", "US2.01A10", "UB5.12a2"),
       {{"10DF.F100.10DF.F100", "LPe12000", "201A12", "", "120"}},
       {{"10DF.F100.10DF.F100", "LPe12000", {{"Firmware", "201A12", "201A10", "upgrade", "120", "no"}}}}},
      {"two steps over versions of digits only compare empty parts",
       Line("LPe11002", "F100", "US7", "UB6.1"),
       {{"10DF.F100.10DF.F100", "LPe11002", "7", "7", "30"}},
       {{"10DF.F100.10DF.F100", "LPe11002",
         {{"Firmware", "7", "7", "rewrite", "30", "no"}, {"Boot BIOS ROM", "7", "6.1", "downgrade", "30", ""}}}}},
      {"groups too short to lose their prefix leave empty installed texts",
       Line("LPe12002", "F100", "X", "U"),
       {{"10DF.F100.10DF.F100", "LPe12002", "2.01A12", "5.12a3", "120"}},
       {{"10DF.F100.10DF.F100", "LPe12002",
         {{"Firmware", "2.01A12", "", "upgrade", "120", "no"}, {"Boot BIOS ROM", "5.12a3", "", "upgrade", "120", ""}}}}},
      {"empty listing", "", {kLpe12002}, {}},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    E2eResult r = RunDiscovery(harness, c.listing, c.catalogue);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, std::string(kRunUpToKit) + kDiscoveryTail);
    EXPECT_EQ(r.ReadWorkFile("report.xml"), ReportXml(c.devices));
  }
}

// A kit whose listing runs but names no adapter the package knows finds nothing, and the run
// goes on to its usual end.
TEST(EmulexDiscovery, KitListingNoKnownAdapterFindsNothing) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    bool kit;
    const char* script;  // the kit's whole script when a kit is placed
    int exitCode;
    const char* tail;
  };
  const Case kCases[] = {
      {"kit printing junk", {"/f"}, true, "#!/bin/sh\nhead -c 5000 /dev/urandom\necho 'HBA=?'\n", 3,
       "ERROR! : No supported hardware was found.\n"},
      {"kit printing junk, self-discovery", {"/d", "report.xml"}, true, "#!/bin/sh\nhead -c 5000 /dev/urandom\n", 3,
       kDiscoveryTail},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    E2eRun run;
    run.args = c.args;
    run.files["reference.xml"] = CatalogueXml({kLpe12002});
    if (c.kit) {
      StandInKit kit;
      kit.script = c.script;
      AddStandInKit(run, kit);
    }
    E2eResult r = harness.Run(run);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_FALSE(r.signaled);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.out, std::string(kRunUpToKit) + c.tail);
    EXPECT_EQ(r.log, r.out);
    if (c.args.size() == 2) {
      EXPECT_EQ(r.ReadWorkFile("report.xml"), ReportXml({}));
    }
  }
}

// A line of a million characters still matches; one too long for the engine's search depth is
// skipped like any line that does not match, and the lines after it count.
TEST(EmulexDiscovery, VeryLongListingLinesDoNotStopTheRun) {
  E2eHarness harness;
  const std::string longLine = Line("LPe12002" + std::string(1000000, 'x'), "F100", "US2.01A12", "UB5.12a2");
  const std::string tooDeep = Line("LPe12002" + std::string(20000000, 'x'), "F100", "US2.01A12", "UB5.12a2");
  E2eResult r = RunDiscovery(harness, longLine + "\n" + tooDeep + "\n" + kExampleLine + "\n", {kLpe12002});
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, std::string(kRunUpToKit) + kDiscoveryTail);
  EXPECT_EQ(r.ReadWorkFile("report.xml"), ReportXml({kExampleDevice, kExampleDevice}));
}

// Lines that repeat the field names but carry no boot code make the listing pattern try every
// way of spreading the fields over the repetitions. Each such search is abandoned at its step
// budget with one line on standard error; the lines are skipped like any line that does not
// match, and the adapter line after them is still reported.
TEST(EmulexDiscovery, LinesThatRepeatTheFieldNamesAreSkipped) {
  E2eHarness harness;
  std::string listing;
  for (int repetitions : {20, 32}) {
    listing += "HBA=a,";
    for (int i = 0; i < repetitions; ++i) listing += "PCI ID=1,VID=1,SSID=1,SVID=1,Firmware=1,";
    listing += "\n";
  }
  E2eResult r = RunDiscovery(harness, listing + kExampleLine + "\n", {kLpe12002});
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, std::string(kRunUpToKit) + kDiscoveryTail);
  EXPECT_EQ(r.log, r.out);
  const std::string abandoned = "Pattern search abandoned: the search took more steps than it is allowed.\n";
  EXPECT_EQ(r.err, abandoned + abandoned);
  EXPECT_EQ(r.ReadWorkFile("report.xml"), ReportXml({kExampleDevice}));
}

// The listing's firmware field is written into the report as the tool printed it, except for
// the characters that XML refuses: the run that says "done." leaves a report that parses.
TEST(EmulexDiscovery, FirmwareFieldWithControlBytesGivesAReportThatParses) {
  struct Case {
    const char* name;
    const char* firmware;  // in the listing line
    const char* written;   // active_version as the file holds it
    const char* read;      // active_version as libxml2 reads it back
  };
  const Case kCases[] = {
      {"codes 1 and 27", "US2.01\x01\x1b" "A12", "2.01??A12", "2.01??A12"},
      {"code 31 and DEL", "US2.01\x1f\x7f" "A12", "2.01?\x7f" "A12", "2.01?\x7f" "A12"},
      {"tab kept, escaped by libxml2", "US2.01\tA12", "2.01&#9;A12", "2.01\tA12"},
  };
  E2eHarness harness;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    E2eResult r = RunDiscovery(harness, Line("LPe12002-M8", "F100", c.firmware, "UB5.12a2") + "\n", {kLpe12002});
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, std::string(kRunUpToKit) + kDiscoveryTail);
    EXPECT_EQ(r.err, "");
    const ReportItem firmware = {"Firmware", "2.01A12", c.written, "upgrade", "120", "no"};
    EXPECT_EQ(r.ReadWorkFile("report.xml"), ReportXml({{"10DF.F100.10DF.F100", "LPe12002", {firmware, kExampleBoot}}}));
    bool parsed = false;
    const ReportLeaves leaves = ReadReportLeaves(r.workDir + "/report.xml", &parsed);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(ValuesNamed(leaves, "active_version"), (std::vector<std::string>{c.read, "5.12a2"}));
  }
}
}  // namespace
