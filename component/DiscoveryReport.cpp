// The self-discovery report: the discovery result as an XML file of value-carrying leaves.
#include <libxml/tree.h>

#include <cstdio>

#include "BaseCmp.h"

namespace {
const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

// Appends <name value="..."/> to parent; false when libxml2 could not make the node.
bool AddLeaf(xmlNode* parent, const char* name, const std::wstring& value) {
  xmlNode* leaf = xmlNewChild(parent, nullptr, X(name), nullptr);
  if (leaf == nullptr) return false;
  const std::string bytes = NarrowBytes(value);
  return xmlNewProp(leaf, X("value"), X(bytes.c_str())) != nullptr;
}

bool BuildReport(xmlDoc* doc, const DiscoveryResult& result) {
  xmlNode* root = xmlNewNode(nullptr, X("qv_rom_discovery"));
  if (root == nullptr) return false;
  xmlDocSetRootElement(doc, root);
  if (xmlNewProp(root, X("version"), X("2.0.0.0")) == nullptr) return false;
  if (!AddLeaf(root, "type", result.type) || !AddLeaf(root, "alt_name", result.alt_name) ||
      !AddLeaf(root, "version", result.version) || !AddLeaf(root, "takes_effect", result.takes_effect))
    return false;
  xmlNode* devices = xmlNewChild(root, nullptr, X("devices"), nullptr);
  if (devices == nullptr) return false;
  for (const Device& device : result.devices) {
    xmlNode* node = xmlNewChild(devices, nullptr, X("device"), nullptr);
    if (node == nullptr || !AddLeaf(node, "device_id", device.device_id) ||
        !AddLeaf(node, "product_id", device.product_id) || !AddLeaf(node, "busnumber", device.busnumber) ||
        !AddLeaf(node, "funcnumber", device.funcnumber))
      return false;
    for (const FwItem& item : device.fwItems) {
      xmlNode* fw = xmlNewChild(node, nullptr, X("fw_item"), nullptr);
      if (fw == nullptr || !AddLeaf(fw, "type", item.type) || !AddLeaf(fw, "firmware_id", item.firmware_id) ||
          !AddLeaf(fw, "version", item.version) || !AddLeaf(fw, "active_version", item.active_version) ||
          !AddLeaf(fw, "action", item.action) || !AddLeaf(fw, "duration", item.duration) ||
          !AddLeaf(fw, "message", item.message) || !AddLeaf(fw, "shared", item.shared))
        return false;
    }
  }
  return true;
}

// Writes the formatted document to the file at exactly `path`, replacing it. libxml2's own
// file saving reads the name as a URI ("%41" becomes "A", "-" the standard output, "file://"
// is cut off), which would leave the report somewhere the caller does not look.
bool SaveFormatted(xmlDoc* doc, const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = xmlDocFormatDump(file, doc, 1) >= 0;
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}
}  // namespace

bool CBaseCmp::WriteDiscoveryXml() {
  xmlDoc* doc = xmlNewDoc(nullptr);
  if (doc == nullptr) return false;
  bool saved = BuildReport(doc, result) && SaveFormatted(doc, outputPath);
  xmlFreeDoc(doc);
  return saved;
}
