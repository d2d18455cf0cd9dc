// The self-discovery report: exact layout on disk, every leaf written, values narrowed back,
// and no character that XML refuses ever reaching the file.
#include <gtest/gtest.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "BrocadeComponent.h"
#include "ComponentTestSupport.h"
#include "DiscoveryReport.h"
#include "E2eHarness.h"
#include "ReportReader.h"

namespace {
FwItem Item(const wchar_t* type, const wchar_t* action) {
  FwItem item;
  item.type = type;
  item.version = L"2.01A12";
  item.active_version = L"2.01A11";
  item.action = action;
  item.duration = L"120";
  item.shared = L"no";
  return item;
}

TEST(DiscoveryReport, EmptyDiscoveryGivesHeaderAndEmptyDevices) {
  ScratchFolder folder;
  TestComponent component(folder.File("log"));
  component.outputPath = folder.File("report.xml");
  ASSERT_TRUE(component.WriteDiscoveryXml());
  EXPECT_EQ(ReadFileBytes(component.outputPath),
            "<?xml version=\"1.0\"?>\n"
            "<qv_rom_discovery version=\"2.0.0.0\">\n"
            "  <type value=\"\"/>\n"
            "  <alt_name value=\"\"/>\n"
            "  <version value=\"\"/>\n"
            "  <takes_effect value=\"\"/>\n"
            "  <devices/>\n"
            "</qv_rom_discovery>\n");
}

TEST(DiscoveryReport, DeviceWithTwoItemsInOrderReplacingAnEarlierReport) {
  ScratchFolder folder;
  TestComponent component(folder.File("log"));
  component.outputPath = folder.File("report.xml");
  folder.Write("report.xml", std::string(5000, 'x'));
  component.result.type = L"Firmware";
  Device device;
  device.device_id = L"10DF.F100.10DF.F100";
  device.product_id = L"LPe12002";
  device.unreported = L"never written";
  device.fwItems = {Item(L"Firmware", L"rewrite"), Item(L"Boot BIOS ROM", L"upgrade")};
  component.result.devices.push_back(device);
  component.result.host.osTag = L"rhel5";
  ASSERT_TRUE(component.WriteDiscoveryXml());
  const char* item =
      "      <fw_item>\n"
      "        <type value=\"%s\"/>\n"
      "        <firmware_id value=\"\"/>\n"
      "        <version value=\"2.01A12\"/>\n"
      "        <active_version value=\"2.01A11\"/>\n"
      "        <action value=\"%s\"/>\n"
      "        <duration value=\"120\"/>\n"
      "        <message value=\"\"/>\n"
      "        <shared value=\"no\"/>\n"
      "      </fw_item>\n";
  char first[1024], second[1024];
  snprintf(first, sizeof first, item, "Firmware", "rewrite");
  snprintf(second, sizeof second, item, "Boot BIOS ROM", "upgrade");
  EXPECT_EQ(ReadFileBytes(component.outputPath),
            std::string("<?xml version=\"1.0\"?>\n"
                        "<qv_rom_discovery version=\"2.0.0.0\">\n"
                        "  <type value=\"Firmware\"/>\n"
                        "  <alt_name value=\"\"/>\n"
                        "  <version value=\"\"/>\n"
                        "  <takes_effect value=\"\"/>\n"
                        "  <devices>\n"
                        "    <device>\n"
                        "      <device_id value=\"10DF.F100.10DF.F100\"/>\n"
                        "      <product_id value=\"LPe12002\"/>\n"
                        "      <busnumber value=\"\"/>\n"
                        "      <funcnumber value=\"\"/>\n") +
                first + second +
                "    </device>\n"
                "  </devices>\n"
                "</qv_rom_discovery>\n");
}

// Reads back the value attribute of the first element named `name`, by walking the tree.
std::string ValueOf(xmlNode* node, const char* name) {
  for (; node; node = node->next) {
    if (node->type == XML_ELEMENT_NODE && std::string(reinterpret_cast<const char*>(node->name)) == name) {
      xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>("value"));
      std::string text = value ? reinterpret_cast<char*>(value) : "";
      xmlFree(value);
      return text;
    }
    std::string inner = ValueOf(node->children, name);
    if (!inner.empty()) return inner;
  }
  return "";
}

TEST(DiscoveryReport, MarkupAndHighBytesReadBackUnchanged) {
  ScratchFolder folder;
  TestComponent component(folder.File("log"));
  component.outputPath = folder.File("report.xml");
  component.result.alt_name = L"a&b \"q\" <x>";
  component.result.version = WidenBytes("caf\xC3\xA9");
  ASSERT_TRUE(component.WriteDiscoveryXml());
  xmlDoc* doc = xmlReadFile(component.outputPath.c_str(), nullptr, 0);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(ValueOf(doc->children, "alt_name"), "a&b \"q\" <x>");
  EXPECT_EQ(ValueOf(doc->children, "version"), "caf\xC3\xA9");
  xmlFreeDoc(doc);
}

// The path is a file name, never a URI: no unescaping, no "-" for the standard output.
TEST(DiscoveryReport, PathIsTakenLiterally) {
  const char* kPaths[] = {"a%41.xml", "-", "file:x.xml"};
  for (const char* path : kPaths) {
    ScratchFolder folder;
    TestComponent component(folder.File("log"));
    component.outputPath = path;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(component.WriteDiscoveryXml()) << path;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << path;
    bool exists = false;
    EXPECT_NE(ReadFileBytes(folder.File(path), &exists).find("<qv_rom_discovery version=\"2.0.0.0\">"),
              std::string::npos)
        << path;
    EXPECT_TRUE(exists) << path;
  }
  bool unescapedExists = true;
  ScratchFolder folder;
  TestComponent component(folder.File("log"));
  component.outputPath = "a%41.xml";
  ASSERT_TRUE(component.WriteDiscoveryXml());
  ReadFileBytes(folder.File("aA.xml"), &unescapedExists);
  EXPECT_FALSE(unescapedExists);
}

TEST(DiscoveryReport, UnwritablePathFails) {
  ScratchFolder folder;
  TestComponent component(folder.File("log"));
  testing::internal::CaptureStderr();
  for (const std::string& path : {folder.File("missing/report.xml"), std::string()}) {
    component.outputPath = path;
    EXPECT_FALSE(component.WriteDiscoveryXml()) << path;
  }
  testing::internal::GetCapturedStderr();
}

std::wstring Code(long code) { return std::wstring(1, static_cast<wchar_t>(code)); }

// Wide characters are either bytes as WidenBytes holds them (negative above 127) or character
// codes; either way the bytes that reach the file are checked, not the wide characters.
TEST(DiscoveryReport, ValueBytesReplaceWhatXmlRefuses) {
  struct Case {
    const char* what;
    std::wstring text;
    std::string bytes;
  };
  const Case kCases[] = {
      {"tab, line feed and carriage return kept", L"a\tb\nc\rd", "a\tb\nc\rd"},
      {"NUL", std::wstring(L"a\0b", 3), "a?b"},
      {"codes 1 and 27 from a listing", L"2.01\x01\x1b" L"A12", "2.01??A12"},
      {"8, 11 and 12 beside the allowed ones", L"\x08\x0b\x0c", "???"},
      {"31 refused, 32 kept", L"\x1f\x20", "? "},
      {"DEL kept", L"\x7f", "\x7f"},
      {"U+D7FF kept", L"\xD7FF", "\xED\x9F\xBF"},
      {"U+D800 refused", L"\xD800", "?"},
      {"U+DFFF refused", L"\xDFFF", "?"},
      {"U+E000 kept", L"\xE000", "\xEE\x80\x80"},
      {"U+FFFD kept", L"\xFFFD", "\xEF\xBF\xBD"},
      {"U+FFFE and U+FFFF refused", L"\xFFFE\xFFFF", "??"},
      {"U+10000 kept", Code(0x10000), "\xF0\x90\x80\x80"},
      {"U+10FFFF kept", Code(0x10FFFF), "\xF4\x8F\xBF\xBF"},
      {"beyond U+10FFFF refused", Code(0x110000), "?"},
      {"below the signed bytes refused", Code(-129), "?"},
      // A character is never cut to its low byte, which would make another character of it.
      {"U+0101 is not code 1", L"\x0101", "\xC4\x81"},
      {"U+0100 is not NUL", L"a\x0100" L"b", "a\xC4\x80" "b"},
      {"U+0141 is not A", L"\x0141", "\xC5\x81"},
      {"U+00E9 as its UTF-8 bytes", L"\xE9", "\xC3\xA9"},
      {"markup left for libxml2 to escape", L"a&b<\"'>", "a&b<\"'>"},
      {"UTF-8 bytes held as signed bytes kept", WidenBytes("caf\xC3\xA9 \xF0\x9F\x98\x80"),
       "caf\xC3\xA9 \xF0\x9F\x98\x80"},
      {"encoded U+FFFD kept", WidenBytes("\xEF\xBF\xBD"), "\xEF\xBF\xBD"},
      {"encoded U+FFFE refused whole", WidenBytes("\xEF\xBF\xBE"), "?"},
      {"encoded surrogate refused whole", WidenBytes("x\xED\xA0\x80y"), "x?y"},
      {"lone byte above 127 at the end", WidenBytes("10df\xE9"), "10df?"},
      {"lone byte above 127 inside", WidenBytes("\xE9x"), "?x"},
      {"lead byte followed by bytes that continue nothing", WidenBytes("\xE9xy"), "?xy"},
      {"stray continuation byte", WidenBytes("\x80x"), "?x"},
      {"cut sequence", WidenBytes("x\xE2\x82"), "x??"},
      {"overlong NUL", WidenBytes("\xC0\x80"), "??"},
      {"encoded code beyond U+10FFFF", WidenBytes("\xF4\x90\x80\x80"), "????"},
      {"byte that starts no sequence", WidenBytes("\xF8\xFF"), "??"},
      {"empty", L"", ""},
  };
  for (const Case& c : kCases) EXPECT_EQ(ReportValueBytes(c.text), c.bytes) << c.what;
}

// Every leaf goes through the one filter; libxml2 neither complains while saving nor rejects the
// file, and allowed characters read back as they were.
TEST(DiscoveryReport, EveryLeafParsesBackWithRefusedCharactersAsQuestionMarks) {
  ScratchFolder folder;
  TestComponent component(folder.File("log"));
  component.outputPath = folder.File("report.xml");
  component.result.type = L"Firm\x01ware";
  component.result.alt_name = L"tab\there";
  component.result.version = WidenBytes("caf\xC3\xA9\xFF");
  component.result.takes_effect = L"\xFFFE";
  Device device;
  device.device_id = L"10DF.F100\x1b";
  device.product_id = L"LPe\x0100" L"12002";
  device.busnumber = std::wstring(L"\0" L"1", 2);
  device.funcnumber = L"\xD800\x10";
  FwItem item;
  item.type = L"Firmware";
  item.firmware_id = L"\x1f";
  item.version = L"2.01A12";
  item.active_version = L"2.01\x01\x1b" L"A12";
  item.action = L"upgrade";
  item.duration = L"1\r\n";
  item.message = L"\x7f\xDFFF";
  item.shared = Code(0x10000);
  device.fwItems = {item};
  component.result.devices.push_back(device);

  testing::internal::CaptureStderr();
  ASSERT_TRUE(component.WriteDiscoveryXml());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  bool parsed = false;
  const ReportLeaves leaves = ReadReportLeaves(component.outputPath, &parsed);
  ASSERT_TRUE(parsed);
  const ReportLeaves expected = {
      {"type", "Firm?ware"},          {"alt_name", "tab\there"},         {"version", "caf\xC3\xA9?"},
      {"takes_effect", "?"},          {"device_id", "10DF.F100?"},      {"product_id", "LPe\xC4\x80" "12002"},
      {"busnumber", "?1"},            {"funcnumber", "??"},              {"type", "Firmware"},
      {"firmware_id", "?"},           {"version", "2.01A12"},            {"active_version", "2.01??A12"},
      {"action", "upgrade"},          {"duration", "1\r\n"},             {"message", "\x7f?"},
      {"shared", "\xF0\x90\x80\x80"},
  };
  EXPECT_EQ(leaves, expected);
}

class InventoryComponent : public BrocadeComp::CComponent {
 public:
  explicit InventoryComponent(const std::string& logPath) : CComponent(logPath) {}
};

// Texts of the adapter inventory reach the report through the base discovery: the key made of
// the record's identifiers and the option ROM version of a Brocade adapter.
TEST(DiscoveryReport, InventoryTextsWithControlBytesParseBack) {
  ScratchFolder folder;
  InventoryComponent component(folder.File("log"));
  component.log.SetQuiet(true);
  component.outputPath = folder.File("report.xml");
  ReferenceEntry entry;
  entry.type = L"Firmware";
  entry.device_id = WidenBytes("1657.0013.1657.\x1b\xFF" "4");
  entry.model = L"BR-825";
  entry.bios = L"3.0.0.5";
  entry.duration = L"60";
  component.catalogue.devices = {entry};
  component.hbaList.records.push_back(NewRecord("16570013", "1657\x1b\xFF" "4", "", "no\x01version"));
  ASSERT_TRUE(component.Discover());
  ASSERT_TRUE(component.WriteDiscoveryXml());
  bool parsed = false;
  const ReportLeaves leaves = ReadReportLeaves(component.outputPath, &parsed);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(ValuesNamed(leaves, "device_id"), std::vector<std::string>{"1657.0013.1657.??4"});
  EXPECT_EQ(ValuesNamed(leaves, "active_version"), std::vector<std::string>{"no?version"});
  EXPECT_EQ(ValuesNamed(leaves, "action"), std::vector<std::string>{"downgrade"});
}
}  // namespace
