// One subject text matched against one compiled narrow pattern; holds the groups of the last
// search. It refers to its Pattern without owning it and must not outlive it. Made by
// Pattern::CreateMatchState, whose caller deletes it.
#pragma once
#include "PatternT.h"
#include "PatternTraits.h"

class MatchState : public MatchStateT<NarrowTraits> {
 public:
  using MatchStateT::MatchStateT;
};
