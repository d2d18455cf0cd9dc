// The narrow engine: the shared templates instantiated over NarrowTraits, its two
// process-wide maps (defined here in this order, so the cache is built first), and its graph
// dump with the character and class describers.
#include "Pattern.h"

#include <cstdio>
#include <cstring>

#include "LargeStackRunner.h"

#include "PatternClassesT.inl"
#include "PatternCompilerT.inl"
#include "PatternSearchT.inl"

std::map<std::string, Pattern*> Pattern::compiledCache;
std::map<std::string, std::pair<std::string, unsigned long>> Pattern::namedPatterns;

template class MatchStateT<NarrowTraits>;
template class PatternT<NarrowTraits>;

// ---- graph dump and describers ----

char Pattern::charTextBuffer[Pattern::kDescribeBufferSize];
char Pattern::classTextBuffer[Pattern::kDescribeBufferSize];

namespace {

// Codes written in hexadecimal, each range from its first code up to, not including, its end.
struct CodeRange {
  int first;
  int end;
};
const CodeRange kHexRanges[] = {{1, 9}, {11, 12}, {14, 32}, {128, 256}};

// Codes written as characters; collapse: a run of three or more becomes first-last.
struct CharRange {
  int first;
  int end;
  bool collapse;
};
// The space is named with the other blanks right behind the bracket, so the first range
// begins after it.
const CharRange kCharRanges[] = {{33, 48, false}, {48, 58, true},  {58, 65, false},
                                 {65, 91, true},  {91, 97, false}, {97, 123, true},
                                 {123, 128, false}};

void AppendText(const char* piece, char* buffer, int& length, int capacity) {
  if (length < 0) return;
  for (; *piece && length < capacity - 1; ++piece) buffer[length++] = *piece;
}

void AppendHexCode(int code, char* buffer, int& length, int capacity) {
  char piece[16];
  std::snprintf(piece, sizeof piece, "\\x%02X", static_cast<unsigned>(code));
  AppendText(piece, buffer, length, capacity);
}

void TerminateText(char* buffer, int length, int capacity) {
  if (capacity <= 0) return;
  buffer[length < 0 ? 0 : (length < capacity ? length : capacity - 1)] = '\0';
}

// The listing of the graph, run where the chain's nesting has room.
void DumpFromHead(void* head) { static_cast<NFANode*>(head)->Dump(1); }

}  // namespace

void Pattern::DumpGraph() {
  std::printf("Pattern(%s):\n", sourceText.c_str());
  if (!head) return;
  // Every node of a chain lists the rest of it from within its own call, so a long pattern
  // nests as deep as it has nodes: list it on the large stack that long searches use.
  if (!RunOnLargeStack(&DumpFromHead, head)) head->Dump(1);
}

const char* Pattern::DescribeChar(char c) {
  const char* named = nullptr;
  switch (c) {
    case '\0': named = "\\0"; break;
    case '\t': named = "\\t"; break;
    case '\n': named = "\\n"; break;
    case '\f': named = "\\p"; break;
    case '\r': named = "\\r"; break;
    default: break;
  }
  if (named)
    std::snprintf(charTextBuffer, sizeof charTextBuffer, "%s", named);
  else if (static_cast<signed char>(c) <= 31)
    std::snprintf(charTextBuffer, sizeof charTextBuffer, "0x%02X",
                  static_cast<unsigned>(static_cast<int>(static_cast<signed char>(c))));
  else
    std::snprintf(charTextBuffer, sizeof charTextBuffer, "%c", c);
  return charTextBuffer;
}

void Pattern::AppendClassChar(int code, char* buffer, int& length, int capacity) {
  char c = static_cast<char>(code);
  if (c != '\0' && std::strchr("()-[\\]", c)) AppendText("\\", buffer, length, capacity);
  // Written as one character, so that a NUL member takes its place in the text too.
  if (length >= 0 && length < capacity - 1) buffer[length++] = c;
}

void Pattern::FlushCharRun(int end, int& runStart, bool printable, bool collapse, char* buffer,
                           int& length, int capacity) {
  if (runStart == -1) return;
  int first = runStart, last = end - 1;
  runStart = -1;
  auto appendCode = [&](int code) {
    if (printable)
      AppendClassChar(code, buffer, length, capacity);
    else
      AppendHexCode(code, buffer, length, capacity);
  };
  if (end - first <= 2) {
    for (int code = first; code <= last; ++code) appendCode(code);
    return;
  }
  // A longer run that does not collapse names every member as itself.
  if (!collapse) {
    for (int code = first; code <= last; ++code) AppendClassChar(code, buffer, length, capacity);
    return;
  }
  appendCode(first);
  AppendText("-", buffer, length, capacity);
  appendCode(last);
}

void Pattern::DescribeRangeMembers(const std::map<char, bool>& members, int first, int end,
                                   bool printable, bool collapse, char* buffer, int& length,
                                   int capacity) {
  int runStart = -1;
  for (int code = first; code < end; ++code) {
    if (!members.count(static_cast<char>(code)))
      FlushCharRun(code, runStart, printable, collapse, buffer, length, capacity);
    else if (runStart == -1)
      runStart = code;
  }
  FlushCharRun(end, runStart, printable, collapse, buffer, length, capacity);
}

const char* Pattern::DescribeClass(const std::map<char, bool>& members, bool inverted,
                                   bool shorter) {
  char* buffer = classTextBuffer;
  const int capacity = kDescribeBufferSize;
  int length = 0;
  AppendText(inverted ? "[^" : "[", buffer, length, capacity);
  if (members.count(' ')) AppendText(" ", buffer, length, capacity);
  const struct {
    char c;
    const char* text;
  } kBlanks[] = {{'\0', "\\0"}, {'\t', "\\t"}, {'\r', "\\r"}, {'\n', "\\n"}, {'\f', "\\p"}};
  for (const auto& blank : kBlanks)
    if (members.count(blank.c)) AppendText(blank.text, buffer, length, capacity);
  for (const CodeRange& range : kHexRanges)
    DescribeRangeMembers(members, range.first, range.end, false, true, buffer, length, capacity);
  for (const CharRange& range : kCharRanges)
    DescribeRangeMembers(members, range.first, range.end, true, range.collapse, buffer, length,
                         capacity);
  AppendText("]", buffer, length, capacity);
  TerminateText(buffer, length, capacity);
  if (!shorter) return buffer;

  std::map<char, bool> complement;
  for (int code = 0; code < 256; ++code)
    if (!members.count(static_cast<char>(code))) complement[static_cast<char>(code)] = true;
  char kept[kDescribeBufferSize];
  std::memcpy(kept, buffer, sizeof kept);
  DescribeClass(complement, !inverted, false);
  if (std::strlen(kept) < std::strlen(buffer)) std::memcpy(buffer, kept, sizeof kept);
  return buffer;
}
