// The self-discovery report: the discovery result as an XML file of value-carrying leaves.
#include "DiscoveryReport.h"

#include <libxml/tree.h>

#include <cstdio>
#include <initializer_list>

#include "BaseCmp.h"

namespace {
const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

// The Char production of XML 1.0.
bool IsXmlChar(unsigned long code) {
  return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
         (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// The length of the UTF-8 sequence at `at` and the code it carries; 0 when the byte there does
// not start a whole sequence (a stray continuation byte, a cut or overlong sequence, a code
// above U+10FFFF). Surrogates decode like other codes, for the caller to refuse.
size_t DecodeUtf8(const std::string& bytes, size_t at, unsigned long& code) {
  static const unsigned long kLowestCode[] = {0, 0, 0x80, 0x800, 0x10000};
  const unsigned char lead = static_cast<unsigned char>(bytes[at]);
  const size_t length = lead < 0x80 ? 1 : lead < 0xC0 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 0;
  if (length == 0 || bytes.size() - at < length) return 0;
  code = length == 1 ? lead : lead & (0x7Fu >> length);
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(bytes[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  return code < kLowestCode[length] || code > 0x10FFFF ? 0 : length;
}

// Appends <name value="..."/> to parent; false when libxml2 could not make the node.
bool AddLeaf(xmlNode* parent, const char* name, const std::wstring& value) {
  xmlNode* leaf = xmlNewChild(parent, nullptr, X(name), nullptr);
  if (leaf == nullptr) return false;
  const std::string bytes = ReportValueBytes(value);
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

// Checked on the bytes, after the narrowing: what is checked is what reaches the file. A
// character refused whole (a control code, a surrogate) gives one '?', a byte of no whole
// sequence one '?' of its own.
std::string ReportValueBytes(const std::wstring& text) {
  const std::string bytes = NarrowBytes(text);
  std::string out;
  out.reserve(bytes.size());
  for (size_t at = 0; at < bytes.size();) {
    unsigned long code = 0;
    const size_t length = DecodeUtf8(bytes, at, code);
    if (length == 0) {
      out += '?';
      ++at;
      continue;
    }
    if (IsXmlChar(code)) {
      out.append(bytes, at, length);
    } else {
      out += '?';
    }
    at += length;
  }
  return out;
}

bool CBaseCmp::WriteDiscoveryXml() {
  xmlDoc* doc = xmlNewDoc(nullptr);
  if (doc == nullptr) return false;
  bool saved = BuildReport(doc, result) && SaveFormatted(doc, outputPath);
  xmlFreeDoc(doc);
  return saved;
}
