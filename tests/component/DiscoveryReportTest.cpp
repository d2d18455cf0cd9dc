// The self-discovery report: exact layout on disk, every leaf written, values narrowed back.
#include <gtest/gtest.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "ComponentTestSupport.h"
#include "E2eHarness.h"

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
}  // namespace
