// One wide subject text matched against one compiled UPattern; holds the groups of the last
// search. It refers to its UPattern without owning it and must not outlive it. Made by
// UPattern::CreateMatchState, whose caller deletes it.
#pragma once
#include "PatternT.h"
#include "PatternTraits.h"

class MatchUState : public MatchStateT<WideTraits> {
 public:
  using MatchStateT::MatchStateT;
};
