// The text that the self-discovery report writes for a leaf value: every value goes through
// ReportValueBytes, so the saved report is always well-formed XML 1.0 that parses back.
#pragma once

#include <string>

// The bytes of the text as NarrowBytes makes them, except that each character that XML 1.0 does
// not allow is written as '?': codes below 32 other than tab, line feed and carriage return, the
// surrogates U+D800 to U+DFFF, U+FFFE and U+FFFF, and every byte that is not part of a whole
// UTF-8 sequence. The result holds no NUL byte, so libxml2 takes it whole.
std::string ReportValueBytes(const std::wstring& text);
