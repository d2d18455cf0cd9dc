// The self-discovery report: the discovery result as an XML file of value-carrying leaves.
#include <libxml/tree.h>

#include <cstdio>
#include <initializer_list>

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

struct Leaf {
  const char* name;
  const std::wstring& value;
};

// Appends the leaves in order; false at the first that libxml2 could not make.
bool AddLeaves(xmlNode* parent, std::initializer_list<Leaf> leaves) {
  for (const Leaf& leaf : leaves)
    if (!AddLeaf(parent, leaf.name, leaf.value)) return false;
  return true;
}

bool BuildReport(xmlDoc* doc, const DiscoveryResult& result) {
  xmlNode* root = xmlNewNode(nullptr, X("qv_rom_discovery"));
  if (root == nullptr) return false;
  xmlDocSetRootElement(doc, root);
  if (xmlNewProp(root, X("version"), X("2.0.0.0")) == nullptr) return false;
  if (!AddLeaves(root, {{"type", result.type},
                        {"alt_name", result.alt_name},
                        {"version", result.version},
                        {"takes_effect", result.takes_effect}}))
    return false;
  xmlNode* devices = xmlNewChild(root, nullptr, X("devices"), nullptr);
  if (devices == nullptr) return false;
  for (const Device& device : result.devices) {
    xmlNode* node = xmlNewChild(devices, nullptr, X("device"), nullptr);
    if (node == nullptr || !AddLeaves(node, {{"device_id", device.device_id},
                                             {"product_id", device.product_id},
                                             {"busnumber", device.busnumber},
                                             {"funcnumber", device.funcnumber}}))
      return false;
    for (const FwItem& item : device.fwItems) {
      xmlNode* fw = xmlNewChild(node, nullptr, X("fw_item"), nullptr);
      if (fw == nullptr || !AddLeaves(fw, {{"type", item.type},
                                           {"firmware_id", item.firmware_id},
                                           {"version", item.version},
                                           {"active_version", item.active_version},
                                           {"action", item.action},
                                           {"duration", item.duration},
                                           {"message", item.message},
                                           {"shared", item.shared}}))
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
