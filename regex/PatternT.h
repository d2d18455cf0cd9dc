// The compiled pattern and the match state over a traits type: a pattern owns its node map and
// its own match state; a match state refers to its pattern and must not outlive it. The concrete
// classes add their names, their process-wide maps and (narrow only) the graph dump.
#pragma once
#include <climits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "PatternFlag.h"

// A decimal number read so far followed by one more digit; once past the int range it stays
// at the range's largest value.
inline long long AppendDecimalDigit(long long value, int digit) {
  value = value * 10 + digit;
  return value > INT_MAX ? INT_MAX : value;
}

namespace pattern_compiler {
// Leaves one nesting level of the compiler when it goes out of scope.
struct NestingExit {
  int& depth;
  ~NestingExit() { --depth; }
};
}  // namespace pattern_compiler

// How many steps (node calls, and characters compared by back-references) one search may take
// before it is abandoned as no match. Backtracking can take exponential time on a subject that
// fails; this ends such a search within about a second, while a search of the component's own
// patterns over a listing line of a million characters takes at most about a third of it. A
// fuzz build may define a smaller budget.
#ifndef FCHBA_SEARCH_STEP_BUDGET
#define FCHBA_SEARCH_STEP_BUDGET 150000000LL
#endif
constexpr long long kSearchStepBudget = FCHBA_SEARCH_STEP_BUDGET;

template <class Tr>
class MatchStateT {
 public:
  using Text = typename Tr::Text;
  using PatternType = typename Tr::Pattern;

  PatternType* pattern;  // not owned
  Text text;
  int* groupStart;
  int* groupEnd;
  int* loopCount;
  int* loopStart;
  int* loopSavedCount;
  int previousMatchEnd;
  int groupCount;
  int nonCapturingCount;
  int hasMatched;
  unsigned matchMode;
  // The search's budgets: a node call whose frame lies below stackFloor, or one made when
  // stepsLeft has run out, ends the whole search as no match (searchAborted), and every later
  // call of that search fails at once; stepsExhausted tells which budget ran out.
  const char* stackFloor;
  long long stepsLeft;
  bool searchAborted;
  bool stepsExhausted;

  MatchStateT(PatternType* pattern, const Text& text);
  ~MatchStateT();
  MatchStateT(const MatchStateT&) = delete;
  MatchStateT& operator=(const MatchStateT&) = delete;

  void InvalidateGroups();
  void Restart();
  void SetText(const Text& newText);
  Text GetText() const { return text; }
  unsigned GetMatchMode() const { return matchMode; }
  int GetGroupStart(int group) const;
  int GetGroupEnd(int group) const;
  Text GetGroupText(int group) const;

  bool MatchWhole();
  bool FindFirst();
  bool FindNext();
  std::vector<Text> CollectMatches();
  std::vector<Text> GetGroupTexts(bool includeGroupZero) const;
  Text ExpandReplacement(const Text& replacement) const;

 private:
  // Runs the head node from pos after resetting the groups; -1 also when the search ran out
  // of its stack or step budget, which it then reports once.
  int RunSearch(int pos);
  int* NewGroupArray() const;
  void FreeGroupArray(int* entries) const;
};

template <class Tr>
class PatternT {
 public:
  using Char = typename Tr::Char;
  using Text = typename Tr::Text;
  using Node = typename Tr::Node;
  using State = typename Tr::State;
  using PatternType = typename Tr::Pattern;

  std::map<Node*, bool> nodes;  // owns every node of the graph
  State* ownMatchState;
  Node* head;
  Text sourceText;
  bool syntaxError;
  int parsePos;
  int groupCount;
  int nonCapturingCounter;
  unsigned flags;
  // Compiler bounds: nesting of levels, classes and named-pattern expansions, and the names
  // being expanded (a name met again inside its own expansion is a syntax error).
  int parseDepth;
  std::vector<Text> expandingNames;

  explicit PatternT(const Text& text);
  ~PatternT();
  PatternT(const PatternT&) = delete;
  PatternT& operator=(const PatternT&) = delete;

  template <class N>
  N* RegisterNode(N* node) {
    nodes[node] = true;
    return node;
  }
  void ReportSyntaxError();

  static PatternType* Compile(const Text& text, unsigned flags = 0);
  static PatternType* CompileCached(const Text& text, unsigned flags = 0);
  static bool QuickMatch(const Text& pattern, const Text& subject, unsigned flags = 0);
  static Text QuickSubstitute(const Text& pattern, const Text& subject, const Text& replacement,
                              unsigned flags = 0);
  static std::vector<Text> QuickSplit(const Text& pattern, const Text& subject, bool keepEmpty,
                                      unsigned limit, unsigned flags = 0);
  static std::vector<Text> QuickCollect(const Text& pattern, const Text& subject,
                                        unsigned flags = 0);
  static std::pair<Text, int> QuickFindNth(const Text& pattern, const Text& subject, int n,
                                           unsigned flags = 0);
  static bool DefineNamedPattern(const Text& name, const Text& text, unsigned flags = 0);
  static void ClearNamedPatterns();
  static void DeleteCachedPatterns();

  Text SubstituteAll(const Text& subject, const Text& replacement);
  std::vector<Text> SplitText(const Text& subject, bool keepEmpty, unsigned limit);
  std::vector<Text> CollectMatches(const Text& subject);
  bool MatchWhole(const Text& subject);
  unsigned GetCompileFlags() const { return flags; }
  Text GetSourceText() const { return sourceText; }
  State* CreateMatchState(const Text& subject);

  // The compiler (PatternCompilerT.inl).
  Node* ParseSequence(bool inParen, bool inOr, Node** tail, int branchGroupIndex,
                      bool branchOpensGroup);
  Node* QuantifyAtom(Node* atom);
  Node* QuantifyGroup(Node* groupHead, Node* groupTail, int groupIndex);
  bool ParseBounds(int& minimum, int& maximum);
  int ParseDecimal(int first, int last);
  Node* ParseBackReference();
  Node* ExpandNamedPattern(Node** tail);
  Node* ParseLookBehind(bool positive, Node** tail);
  Node* ParseQuote();

  // Classes and escapes (PatternClassesT.inl).
  Text ParseClass();
  Text ParseEscape(bool& negated, bool& quote);
  Text ParseClassName();
  Text ParseOctal();
  Text ParseHex();
  static Text UniteClasses(const Text& a, const Text& b);
  static Text IntersectClasses(const Text& a, const Text& b);
  Text ComplementClass(const Text& members);
  Text ExpandRange(Char first, Char last);

 private:
  int TextLength() const { return static_cast<int>(sourceText.size()); }
  bool EnterNesting();
  // Registers a Folding node made from args while the FoldCase flag holds, else a Plain one.
  template <class Plain, class Folding, class... Args>
  Node* RegisterFoldingNode(const Args&... args);
  // QuantifyGroup on the group from head to tail; when it made a loop, the prologue becomes
  // the group's head and the loop node its tail.
  void ApplyGroupQuantifier(Node*& head, Node*& tail, int groupIndex);
  // How a quantifier that follows at parsePos reads: false when none follows.
  bool ReadQuantifier(int& minimum, int& maximum, LoopKind& kind);
};
