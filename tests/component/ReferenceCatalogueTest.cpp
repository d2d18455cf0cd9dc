// The reference catalogue: the node walk, leaf values, CDATA paths and the case-blind look-up.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ComponentTestSupport.h"
#include "E2eHarness.h"

namespace {
const char kTwoDevices[] =
    "<?xml version=\"1.0\"?>\n"
    "<tarvo_fchba_reference>\n"
    "  <discovery_app_path><![CDATA[./disc.sh]]></discovery_app_path>\n"
    "  <installer_app_path><![CDATA[./inst.sh]]></installer_app_path>\n"
    "  <devices>\n"
    "    <device>\n"
    "      <type value=\"Firmware\"/><device_id value=\"10DF.F100.10DF.F100\"/>\n"
    "      <model value=\"LPe12002\"/><firmware value=\"2.01A12\"/><bios value=\"5.12A4\"/>\n"
    "      <boot value=\"b1\"/><duration value=\"120\"/>\n"
    "    </device>\n"
    "    <device>\n"
    "      <device_id value=\"10df.e200.10df.e282\"/><bios value=\"\"/><bios value=\"late\"/>\n"
    "      <model>text content is ignored</model>\n"
    "    </device>\n"
    "  </devices>\n"
    "</tarvo_fchba_reference>\n";

void WriteCompressed(const ScratchFolder& folder, const std::string& text, const std::string& name) {
  folder.Write("plain", text);
  ASSERT_EQ(std::system(("gzip -c '" + folder.File("plain") + "' > '" + folder.File(name) + "'").c_str()), 0);
}

struct Loaded {
  bool ok = false;
  CReferenceCatalogue catalogue;
};

Loaded LoadText(const ScratchFolder& folder, const std::string& text) {
  folder.Write("reference.xml", text);
  Loaded loaded;
  loaded.ok = loaded.catalogue.Load();
  return loaded;
}

TEST(ReferenceCatalogue, LoadsPathsAndEntriesInFileOrder) {
  ScratchFolder folder;
  Loaded l = LoadText(folder, kTwoDevices);
  ASSERT_TRUE(l.ok);
  EXPECT_EQ(l.catalogue.discovery_app_path, L"./disc.sh");
  EXPECT_EQ(l.catalogue.installer_app_path, L"./inst.sh");
  ASSERT_EQ(l.catalogue.devices.size(), 2u);
  const ReferenceEntry& a = l.catalogue.devices[0];
  EXPECT_EQ(a.type, L"Firmware");
  EXPECT_EQ(a.device_id, L"10DF.F100.10DF.F100");
  EXPECT_EQ(a.model, L"LPe12002");
  EXPECT_EQ(a.firmware, L"2.01A12");
  EXPECT_EQ(a.bios, L"5.12A4");
  EXPECT_EQ(a.boot, L"b1");
  EXPECT_EQ(a.duration, L"120");
  EXPECT_EQ(a.hasBios, 2);
  const ReferenceEntry& b = l.catalogue.devices[1];
  // A later leaf wins, but an empty bios has already cleared the flag for good.
  EXPECT_EQ(b.bios, L"late");
  EXPECT_EQ(b.hasBios, 0);
  EXPECT_EQ(b.model, L"");
  EXPECT_EQ(b.type, L"");
}

TEST(ReferenceCatalogue, OddButWellFormedFiles) {
  struct Case {
    const char* name;
    std::string text;
    size_t entries;
    const wchar_t* discoveryPath;
  };
  const Case kCases[] = {
      {"one line", "<tarvo_fchba_reference><discovery_app_path><![CDATA[p]]></discovery_app_path><devices><device>"
                   "<device_id value=\"k\"/></device></devices></tarvo_fchba_reference>", 1, L"p"},
      {"root without children", "<tarvo_fchba_reference/>", 0, L""},
      {"other case", "<tarvo_fchba_reference><Devices><device/></Devices><devices><Device/></devices>"
                     "</tarvo_fchba_reference>", 0, L""},
      {"path as text", "<tarvo_fchba_reference><discovery_app_path>p</discovery_app_path></tarvo_fchba_reference>", 0, L""},
      {"path after blank", "<tarvo_fchba_reference><discovery_app_path> <![CDATA[p]]></discovery_app_path>"
                           "</tarvo_fchba_reference>", 0, L""},
      {"empty CDATA path", "<tarvo_fchba_reference><discovery_app_path><![CDATA[]]></discovery_app_path>"
                           "</tarvo_fchba_reference>", 0, L""},
      {"CDATA among the children", "<tarvo_fchba_reference><![CDATA[x]]><devices><![CDATA[y]]><device><![CDATA[z]]>"
                                   "<model value=\"m\"/></device></devices></tarvo_fchba_reference>", 1, L""},
      {"comments and instructions", "<tarvo_fchba_reference><!--c--><?pi x?><devices><!--c--><device><!--c-->"
                                    "<model value=\"m\"/></device></devices></tarvo_fchba_reference>", 1, L""},
      {"doctype named like the root", "<!DOCTYPE tarvo_fchba_reference [<!ELEMENT devices ANY>]>"
                                      "<tarvo_fchba_reference><devices><device/></devices></tarvo_fchba_reference>", 0, L""},
      {"another root", "<catalogue><devices><device/></devices></catalogue>", 0, L""},
      // The reference is a child named "device"; what libxml2 hangs under it are declarations.
      {"entity references named like elements", "<!DOCTYPE x [<!ENTITY device \"d\"><!ENTITY type \"t\">]>"
                                               "<tarvo_fchba_reference><devices>&device;</devices>"
                                               "</tarvo_fchba_reference>", 1, L""},
  };
  for (const Case& c : kCases) {
    ScratchFolder folder;
    Loaded l = LoadText(folder, c.text);
    EXPECT_TRUE(l.ok) << c.name;
    EXPECT_EQ(l.catalogue.devices.size(), c.entries) << c.name;
    EXPECT_EQ(l.catalogue.discovery_app_path, c.discoveryPath) << c.name;
  }
}

TEST(ReferenceCatalogue, MissingEmptyOrMalformedFileFails) {
  ScratchFolder folder;
  CReferenceCatalogue missing;
  EXPECT_FALSE(missing.Load());
  for (const char* text : {"", "<tarvo_fchba_reference>", "<a></b>", "not xml"}) {
    testing::internal::CaptureStderr();
    Loaded l = LoadText(folder, text);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(l.ok) << text;
    EXPECT_NE(err, "") << text;  // libxml2 says why
  }
}

TEST(ReferenceCatalogue, CompressedFileLoadsLikeAPlainOne) {
  ScratchFolder folder;
  WriteCompressed(folder, kTwoDevices, "reference.xml");
  CReferenceCatalogue catalogue;
  ASSERT_TRUE(catalogue.Load());
  ASSERT_EQ(catalogue.devices.size(), 2u);
  EXPECT_EQ(catalogue.devices[0].model, L"LPe12002");
}

TEST(ReferenceCatalogue, BytesAboveAsciiBecomeNegativeCharactersAndEscapesAreResolved) {
  ScratchFolder folder;
  Loaded l = LoadText(folder, "<tarvo_fchba_reference><devices><device><model value=\"\xC3\xA9&amp;&quot;\"/>"
                              "</device></devices></tarvo_fchba_reference>");
  ASSERT_EQ(l.catalogue.devices.size(), 1u);
  const std::wstring expected = {static_cast<wchar_t>(-61), static_cast<wchar_t>(-87), L'&', L'"'};
  EXPECT_EQ(l.catalogue.devices[0].model, expected);
  EXPECT_EQ(NarrowBytes(expected), "\xC3\xA9&\"");
}

TEST(ReferenceCatalogue, LookUpIgnoresCaseAndTakesTheFirstWholeMatch) {
  ScratchFolder folder;
  TestComponent component(folder.File("log"));
  for (const wchar_t* key : {L"10DF.F100.10DF.F100", L"10df.e200.10df.e282", L"10DF.E200.10DF.E282"}) {
    ReferenceEntry entry;
    entry.device_id = key;
    component.catalogue.devices.push_back(entry);
  }
  EXPECT_EQ(component.FindReference(L"10df.f100.10df.f100"), 0);
  EXPECT_EQ(component.FindReference(L"10DF.E200.10DF.E282"), 1);
  EXPECT_EQ(component.FindReference(L"10DF.E200.10DF.E2820"), -1);
  EXPECT_EQ(component.FindReference(L" 10DF.E200.10DF.E282"), -1);
  EXPECT_EQ(component.FindReference(L""), -1);
}
}  // namespace
