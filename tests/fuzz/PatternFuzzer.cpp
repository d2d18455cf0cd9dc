// Compiles arbitrary bytes as a pattern with arbitrary flags and runs every search over an
// arbitrary subject. Input: one byte of flags, one byte giving the pattern's length, the
// pattern, then the subject.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Pattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  unsigned flags = data[0] & 31;
  size_t patternLength = data[1];
  data += 2;
  size -= 2;
  if (patternLength > size) patternLength = size;
  std::string pattern(reinterpret_cast<const char*>(data), patternLength);
  std::string subject(reinterpret_cast<const char*>(data + patternLength), size - patternLength);

  // Named patterns: a definition taken from the subject, so that references can resolve.
  Pattern::DefineNamedPattern("nm", subject.substr(0, 8), flags);

  Pattern* compiled = Pattern::Compile(pattern, flags);
  if (compiled) {
    MatchState* state = compiled->CreateMatchState(subject);
    if (state->MatchWhole()) state->GetGroupTexts(true);
    for (int i = 0; i < 16 && state->FindNext(); ++i) state->ExpandReplacement("<\\0\\1\\12>");
    state->FindNext();
    compiled->SplitText(subject, true, 3);
    compiled->SubstituteAll(subject, "\\1-");
    delete state;
    delete compiled;
  }
  Pattern::ClearNamedPatterns();
  return 0;
}
