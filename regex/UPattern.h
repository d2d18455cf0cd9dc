// A compiled wide pattern over texts of signed 32-bit characters: owns its node graph and its
// own match state. Compile() returns null after a syntax error, which it reports on standard
// error; the caller deletes what Compile() and CreateMatchState() return. CompileCached()
// patterns belong to the wide cache and are deleted only by DeleteCachedPatterns().
#pragma once
#include <map>
#include <string>
#include <utility>

#include "MatchUState.h"
#include "NFAUNode.h"
#include "PatternFlag.h"
#include "PatternT.h"
#include "PatternTraits.h"

class UPattern : public PatternT<WideTraits> {
 public:
  using PatternT::PatternT;

  // Process-wide and apart from the narrow engine's: compiled patterns by text (null for a
  // text that did not compile), and the named patterns with their flags. Built before main,
  // cache first.
  static std::map<std::wstring, UPattern*> compiledCache;
  static std::map<std::wstring, std::pair<std::wstring, unsigned long>> namedPatterns;
};
