// Compiles arbitrary input as a pattern with arbitrary flags, in the narrow or the wide engine,
// and runs every search, the substitution and the splitting over an arbitrary subject.
// Input: one byte of flags (bit 5 picks the wide engine), one byte giving the pattern's
// length, the pattern, then the subject. For the wide engine each byte is one character;
// the top eight byte values stand for characters above 255 (up to the 32-bit extremes).
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "Pattern.h"
#include "UPattern.h"

namespace {

std::string Narrow(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

std::wstring Wide(const uint8_t* data, size_t size) {
  static const wchar_t kAbove255[8] = {0x100, 0x20AC, 0xFFFF, 0x10000,
                                       0x1F600, 0x10FFFF, -1, WCHAR_MAX};
  std::wstring text;
  for (size_t i = 0; i < size; ++i)
    text += data[i] >= 0xF8 ? kAbove255[data[i] - 0xF8] : static_cast<wchar_t>(data[i]);
  return text;
}

template <class P, class Text>
void Exercise(const Text& pattern, const Text& subject, unsigned flags, const Text& replacement) {
  // Named patterns: a definition taken from the subject, so that references can resolve.
  P::DefineNamedPattern(Text(2, 'n'), subject.substr(0, 8), flags);
  P* compiled = P::Compile(pattern, flags);
  if (compiled) {
    auto* state = compiled->CreateMatchState(subject);
    if (state->MatchWhole()) state->GetGroupTexts(true);
    for (int i = 0; i < 16 && state->FindNext(); ++i) state->ExpandReplacement(replacement);
    state->FindNext();
    compiled->SplitText(subject, true, 3);
    compiled->SplitText(subject, false, 0);
    compiled->SubstituteAll(subject, replacement);
    compiled->CollectMatches(subject);
    delete state;
    delete compiled;
  }
  P::ClearNamedPatterns();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  unsigned flags = data[0] & 31;
  bool wide = data[0] & 32;
  size_t patternLength = data[1];
  data += 2;
  size -= 2;
  if (patternLength > size) patternLength = size;
  const uint8_t* subject = data + patternLength;
  size_t subjectLength = size - patternLength;
  if (wide)
    Exercise<UPattern>(Wide(data, patternLength), Wide(subject, subjectLength), flags,
                       std::wstring(L"<\\0\\1\\12>\\"));
  else
    Exercise<Pattern>(Narrow(data, patternLength), Narrow(subject, subjectLength), flags,
                      std::string("<\\0\\1\\12>\\"));
  return 0;
}
