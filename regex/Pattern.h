// A compiled narrow pattern: owns its node graph and its own match state. Compile() returns
// null after a syntax error, which it reports on standard error; the caller deletes what
// Compile() and CreateMatchState() return. CompileCached() patterns belong to the cache and
// are deleted only by DeleteCachedPatterns(). DumpGraph() and the describers are debugging
// aids of the narrow engine; a describer's text stays valid until its next call.
#pragma once
#include <map>
#include <string>
#include <utility>

#include "MatchState.h"
#include "NFANode.h"
#include "PatternFlag.h"
#include "PatternT.h"
#include "PatternTraits.h"

class Pattern : public PatternT<NarrowTraits> {
 public:
  using PatternT::PatternT;

  // Process-wide: compiled patterns by text (null for a text that did not compile), and the
  // named patterns with their flags. Built before main, cache first.
  static std::map<std::string, Pattern*> compiledCache;
  static std::map<std::string, std::pair<std::string, unsigned long>> namedPatterns;

  // Prints the header line and the indented node listing on the standard output.
  void DumpGraph();

  // The describers' texts; every class description fits in its buffer.
  static constexpr int kDescribeBufferSize = 1024;
  static char charTextBuffer[kDescribeBufferSize];
  static char classTextBuffer[kDescribeBufferSize];

  // The printable text of one character, in charTextBuffer.
  static const char* DescribeChar(char c);
  // A bracket class naming the members (with '^' when inverted), in classTextBuffer; with
  // shorter, the text of the complement instead when that is not longer.
  static const char* DescribeClass(const std::map<char, bool>& members, bool inverted,
                                   bool shorter);
  // The writers below append to buffer at length and move length on. They never write at or
  // past buffer[capacity - 1], which stays free for the closing NUL: what does not fit is
  // dropped.
  static void AppendClassChar(int code, char* buffer, int& length, int capacity);
  // Writes the run of codes runStart to end - 1 (none when runStart is -1), then clears
  // runStart to -1.
  static void FlushCharRun(int end, int& runStart, bool printable, bool collapse, char* buffer,
                           int& length, int capacity);
  // Writes the members among the codes first to end - 1, in runs that end at end.
  static void DescribeRangeMembers(const std::map<char, bool>& members, int first, int end,
                                   bool printable, bool collapse, char* buffer, int& length,
                                   int capacity);
};
