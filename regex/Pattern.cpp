// The narrow engine: the shared templates instantiated over NarrowTraits, and its two
// process-wide maps (defined here in this order, so the cache is built first).
#include "Pattern.h"

#include "PatternClassesT.inl"
#include "PatternCompilerT.inl"
#include "PatternSearchT.inl"

std::map<std::string, Pattern*> Pattern::compiledCache;
std::map<std::string, std::pair<std::string, unsigned long>> Pattern::namedPatterns;

template class MatchStateT<NarrowTraits>;
template class PatternT<NarrowTraits>;
