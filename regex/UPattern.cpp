// The wide engine: the shared templates instantiated over WideTraits, and its two
// process-wide maps (defined here in this order, so the cache is built first).
#include "UPattern.h"

#include "PatternClassesT.inl"
#include "PatternCompilerT.inl"
#include "PatternSearchT.inl"

std::map<std::wstring, UPattern*> UPattern::compiledCache;
std::map<std::wstring, std::pair<std::wstring, unsigned long>> UPattern::namedPatterns;

template class MatchStateT<WideTraits>;
template class PatternT<WideTraits>;
