// A compiled narrow pattern: owns its node graph and its own match state. Compile() returns
// null after a syntax error, which it reports on standard error; the caller deletes what
// Compile() and CreateMatchState() return. CompileCached() patterns belong to the cache and
// are deleted only by DeleteCachedPatterns().
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
};
