// Compile flags of the pattern engines, the loop kinds of quantified groups and the match
// mode bit. Shared by the narrow and the wide engine.
#pragma once

namespace PatternFlag {
enum : unsigned {
  FoldCase = 1,      // literals, classes and literal texts ignore case
  QuoteWhole = 2,    // the whole pattern text is one literal text
  DotAnyChar = 4,    // "." also matches line feed and carriage return
  LineAnchors = 8,   // "^" and "$" also match at every line start and end
  LineFeedOnly = 16  // "." refuses only line feed
};
}

enum class LoopKind : int { Greedy = 0, Reluctant = 1, Possessive = 2 };

// Bit of MatchState::matchMode while a whole-text match runs.
constexpr unsigned WholeTextMode = 1;
