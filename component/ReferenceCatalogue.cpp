#include "ReferenceCatalogue.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlversion.h>
#include <sys/stat.h>

#include <cstring>
#include <cwchar>

#include "BaseCmp.h"

namespace {
const char kCatalogueFile[] = "reference.xml";

// Nodes such as text, CDATA and comment nodes may carry no name at all.
bool IsNamed(const xmlNode* node, const char* name) {
  return node->name != nullptr && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::wstring WidenContent(const xmlChar* content) {
  return content ? WidenBytes(reinterpret_cast<const char*>(content)) : std::wstring();
}

// The path elements carry their text in a CDATA section that is their first child.
void ReadCdataPath(const xmlNode* node, std::wstring& field) {
  const xmlNode* first = node->children;
  if (first != nullptr && first->type == XML_CDATA_SECTION_NODE) field = WidenContent(first->content);
}

// The UTF-8 sequence of a code from U+0080 to U+10FFFF: a lead byte that counts the bytes, then
// six bits in each following byte.
void AppendUtf8(std::string& out, unsigned long code) {
  const int following = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
  static const unsigned char kLeadMarks[] = {0, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLeadMarks[following] | (code >> (6 * following)));
  for (int shift = 6 * (following - 1); shift >= 0; shift -= 6)
    out += static_cast<char>(0x80 | ((code >> shift) & 0x3F));
}

ReferenceEntry ReadDevice(xmlNode* device) {
  ReferenceEntry entry;
  struct Leaf {
    const char* name;
    std::wstring ReferenceEntry::*field;
  };
  static const Leaf kLeaves[] = {
      {"type", &ReferenceEntry::type},         {"device_id", &ReferenceEntry::device_id},
      {"model", &ReferenceEntry::model},       {"firmware", &ReferenceEntry::firmware},
      {"bios", &ReferenceEntry::bios},         {"boot", &ReferenceEntry::boot},
      {"duration", &ReferenceEntry::duration},
  };
  for (xmlNode* child = device->children; child != nullptr; child = child->next) {
    for (const Leaf& leaf : kLeaves) {
      if (!IsNamed(child, leaf.name)) continue;
      entry.*leaf.field = GetXmlAttribute(child, "value");
      if (leaf.field == &ReferenceEntry::bios && entry.bios.empty()) entry.hasBios = 0;
    }
  }
  return entry;
}

// A gzip-compressed catalogue reads like a plain one. Up to libxml2 2.13 the parser decompresses
// on its own; from 2.14 on only when asked with XML_PARSE_UNZIP, an enumerator (not a macro),
// so the library's version tells whether the header has it. There the options are otherwise
// those that xmlParseFile sets (names outside the dictionary), so the parser accepts the same.
xmlDoc* ParseCatalogue() {
#if LIBXML_VERSION >= 21400
  return xmlReadFile(kCatalogueFile, nullptr, XML_PARSE_NODICT | XML_PARSE_UNZIP);
#else
  return xmlParseFile(kCatalogueFile);
#endif
}
}  // namespace

std::wstring WidenBytes(const std::string& bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (char c : bytes) out += static_cast<wchar_t>(static_cast<signed char>(c));
  return out;
}

std::string NarrowBytes(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    const long code = static_cast<long>(c);
    if (code >= -128 && code <= 127) {
      out += static_cast<char>(static_cast<unsigned char>(code & 0xFF));
    } else if (code < 0 || code > 0x10FFFF) {
      out += '?';
    } else {
      AppendUtf8(out, static_cast<unsigned long>(code));
    }
  }
  return out;
}

// Only an element carries attributes. The walk by name also meets nodes of other shapes: an
// entity reference's children are its entity declaration, whose siblings are the other
// declarations, and a declaration has no attribute list where an element keeps it.
std::wstring GetXmlAttribute(xmlNode* node, const char* name) {
  std::wstring value;
  if (node->type != XML_ELEMENT_NODE) return value;
  for (xmlAttr* attr = node->properties; attr != nullptr; attr = attr->next) {
    if (attr->type != XML_ATTRIBUTE_NODE || attr->name == nullptr) continue;
    if (std::strcmp(reinterpret_cast<const char*>(attr->name), name) != 0) continue;
    value = attr->children ? WidenContent(attr->children->content) : std::wstring();
  }
  return value;
}

bool CReferenceCatalogue::Load() {
  struct stat info;
  if (stat(kCatalogueFile, &info) != 0) return false;
  xmlInitParser();
  xmlDoc* doc = ParseCatalogue();
  if (doc == nullptr) return false;

  xmlNode* node = doc->children;
  while (node != nullptr) {
    if (IsNamed(node, "tarvo_fchba_reference")) {
      node = node->children;
      continue;
    }
    if (IsNamed(node, "discovery_app_path")) {
      ReadCdataPath(node, discovery_app_path);
    } else if (IsNamed(node, "installer_app_path")) {
      ReadCdataPath(node, installer_app_path);
    } else if (IsNamed(node, "devices")) {
      for (xmlNode* child = node->children; child != nullptr; child = child->next)
        if (IsNamed(child, "device")) devices.push_back(ReadDevice(child));
    }
    node = node->next;
  }
  xmlFreeDoc(doc);
  xmlCleanupParser();
  return true;
}

int CBaseCmp::FindReference(const std::wstring& key) {
  for (size_t i = 0; i < catalogue.devices.size(); ++i)
    if (wcscasecmp(catalogue.devices[i].device_id.c_str(), key.c_str()) == 0) return static_cast<int>(i);
  return -1;
}
