// The reference catalogue "reference.xml" that travels with the update package: the adapters the
// package serves and the versions it carries. Load() reads it once per run; entries only grow.
#pragma once

#include <string>
#include <vector>

struct _xmlNode;

// One device that the package serves; each text is the `value` attribute of the leaf of that name.
struct ReferenceEntry {
  std::wstring type;
  std::wstring device_id;
  std::wstring model;
  std::wstring firmware;
  std::wstring bios;
  std::wstring boot;
  std::wstring duration;
  // 2 when the entry is made, 0 once a `bios` leaf with an empty value is read.
  int hasBios = 2;
};

class CReferenceCatalogue {
 public:
  // Parses "reference.xml" in the working folder. False when the file is missing or not
  // well-formed (libxml2 has then reported why on standard error); true whatever it held.
  bool Load();

  std::wstring discovery_app_path;
  std::wstring installer_app_path;
  std::vector<ReferenceEntry> devices;
};

// The text of the node's attribute `name`, widened byte by byte; empty when there is none.
std::wstring GetXmlAttribute(_xmlNode* node, const char* name);

// Bytes to wide characters, each byte read as a signed 8-bit number (bytes above 127 become
// negative characters), and back: each character that WidenBytes makes (-128 to 127) gives its
// byte again. Any other character code up to U+10FFFF is written as its UTF-8 sequence, and a
// value that is no character code as '?', so no character ever comes out as another's byte.
std::wstring WidenBytes(const std::string& bytes);
std::string NarrowBytes(const std::wstring& text);
