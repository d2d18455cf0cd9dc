#include "VersionParts.h"

#include <cwchar>

#include "BaseCmp.h"
#include "UPattern.h"

namespace {
bool IsAllDigits(const std::wstring& part) { return UPattern::QuickMatch(L"\\d+", part, 0); }

int Sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

// Compares two texts of decimal digits by value, whatever their length: leading zeros are
// skipped, then the longer number is the greater and numbers of one length compare digit-wise.
int CompareDigitTexts(const std::wstring& a, const std::wstring& b) {
  const size_t aStart = a.find_first_not_of(L'0');
  const size_t bStart = b.find_first_not_of(L'0');
  const std::wstring aDigits = aStart == std::wstring::npos ? std::wstring() : a.substr(aStart);
  const std::wstring bDigits = bStart == std::wstring::npos ? std::wstring() : b.substr(bStart);
  if (aDigits.size() != bDigits.size()) return aDigits.size() < bDigits.size() ? -1 : 1;
  return Sign(aDigits.compare(bDigits));
}
}  // namespace

CVersionParts::CVersionParts(const std::wstring& text, wchar_t separator) {
  size_t start = 0;
  for (size_t p = text.find(separator); p != std::wstring::npos; p = text.find(separator, start)) {
    parts.push_back(text.substr(start, p - start));
    start = p + 1;
  }
  if (start < text.size()) parts.push_back(text.substr(start));
}

int CVersionParts::Compare(const CVersionParts& other) const {
  for (size_t i = 0;; ++i) {
    if (i == parts.size()) return other.parts.size() > i ? -1 : 0;
    if (i == other.parts.size()) return 1;
    int r;
    if (IsAllDigits(parts[i]) && IsAllDigits(other.parts[i]))
      r = CompareDigitTexts(parts[i], other.parts[i]);
    else
      r = Sign(std::wcscmp(parts[i].c_str(), other.parts[i].c_str()));
    if (r != 0) return r;
  }
}

int CBaseCmp::CompareVersions(const std::wstring& packageVersion, const std::wstring& installedVersion) {
  return CVersionParts(packageVersion, L'.').Compare(CVersionParts(installedVersion, L'.'));
}
