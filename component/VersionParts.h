// A version text split at a separator into its parts, compared with another part by part:
// by numeric value where both parts are decimal digits only, by character codes otherwise.
#pragma once

#include <string>
#include <vector>

class CVersionParts {
 public:
  // Every separator ends a part (so adjacent separators give an empty part); a trailing
  // separator adds none, and the empty text has no parts.
  CVersionParts(const std::wstring& text, wchar_t separator);

  std::vector<std::wstring> GetParts() const { return parts; }
  // 1 when this version is the greater, -1 when it is the smaller, 0 when they are equal. The
  // first differing part decides; a version that is a strict prefix of the other is the smaller.
  int Compare(const CVersionParts& other) const;

 private:
  std::vector<std::wstring> parts;
};
