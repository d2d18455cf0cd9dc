// The match nodes over a traits type, from which the named classes of NFANode.h and NFAUNode.h
// derive. No node owns another (the pattern's node map owns them all) and none holds match-time
// state: everything that changes while matching lives in the match state.
//
// Matching is a depth-first backtracking search in continuation-passing style: MatchAt tests
// the node at a position and returns the end of the whole match that continues from it, or -1.
// A node that records a group position or loop count puts the old value back when the call on
// fails.
#pragma once
#include <climits>
#include <cstdio>
#include <map>
#include <typeinfo>

#include "PatternFlag.h"

constexpr int kUnboundedCount = INT_MAX;

// What an abandoned search leaves in stepsLeft: far below zero, and far enough above the
// range's end that the calls still made on the way out never wrap it around.
constexpr long long kAbandonedSearchSteps = LLONG_MIN / 2;

// Ends the search that the call on state belongs to: the first time, it records whether the
// step budget or the stack ran out; then it leaves stepsLeft so far below zero that every later
// call of the search comes here too and fails.
template <class StateT>
[[gnu::noinline, gnu::cold]] int AbandonSearch(StateT* state) {
  if (!state->searchAborted) {
    state->searchAborted = true;
    state->stepsExhausted = state->stepsLeft < 0;
  }
  state->stepsLeft = kAbandonedSearchSteps;
  return -1;
}

// Calls a successor, branch or inner chain within the search's budgets: each call is one step,
// and its frame must lie above the stack floor. Once either budget is spent the search is
// abandoned: this and every later call of the search return -1, so no other path is tried and
// the search ends as a whole as no match.
template <class NodeT, class TextT, class StateT>
inline int ContinueMatch(NodeT* node, const TextT& text, StateT* state, int pos) {
  if (--state->stepsLeft < 0 ||
      static_cast<const char*>(__builtin_frame_address(0)) < state->stackFloor)
    return AbandonSearch(state);
  return node->MatchAt(text, state, pos);
}

// What every node holds whatever its family: the successor, the node-map walk and the first
// virtual operations. The slots that follow MatchAt are added by the layers below, so that the
// narrow family's Dump slot stands between MatchAt and OpensGroup.
template <class Tr>
class NFANodeCoreT {
 public:
  using Node = typename Tr::Node;
  using Text = typename Tr::Text;
  using State = typename Tr::State;
  using PatternType = typename Tr::Pattern;

  Node* next = nullptr;

  NFANodeCoreT() = default;
  NFANodeCoreT(const NFANodeCoreT&) = delete;
  NFANodeCoreT& operator=(const NFANodeCoreT&) = delete;
  virtual ~NFANodeCoreT() = default;
  virtual void CollectNodes(PatternType* pattern) { CollectChain(pattern); }
  virtual int MatchAt(const Text& text, State* state, int pos) = 0;

 protected:
  // Enters this node and what follows it in the pattern's node map; a node already there
  // ends the walk (and so ends it on the cycle of a quantified group).
  void CollectChain(PatternType* pattern) {
    Node* self = static_cast<Node*>(this);
    if (pattern->nodes.count(self)) return;
    pattern->nodes[self] = true;
    if (next) next->CollectNodes(pattern);
  }
};

// The graph dump's slot, in the families that have one.
template <class Tr, bool HasDump = Tr::kHasDump>
class NFANodeDumpSlotT : public NFANodeCoreT<Tr> {
 public:
  // The graph dump's listing line; this form serves every node without fields.
  virtual void Dump(int indent) {
    std::printf("%*c%s\n", 2 * indent, ' ', typeid(*this).name());
    if (this->next) this->next->Dump(indent);
  }
};

template <class Tr>
class NFANodeDumpSlotT<Tr, false> : public NFANodeCoreT<Tr> {};

// The abstract base of a family, with its last virtual operations.
template <class Tr>
class NFANodeT : public NFANodeDumpSlotT<Tr> {
 public:
  virtual bool OpensGroup() { return false; }
  virtual bool AnchorsInputStart() { return false; }
};

#define FCHBA_NODE_TYPES                      \
  using Node = typename Tr::Node;             \
  using Char = typename Tr::Char;             \
  using Text = typename Tr::Text;             \
  using State = typename Tr::State;           \
  using PatternType = typename Tr::Pattern

// ---- start, end and chain nodes ----

template <class Tr>
class NFAStartNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  int MatchAt(const Text& text, State* state, int pos) override {
    state->groupStart[0] = pos;
    if (state->GetMatchMode() & WholeTextMode) {
      if (pos != 0) {
        state->groupStart[0] = -1;
        return -1;
      }
      return ContinueMatch(this->next, text, state, 0);
    }
    int start = pos;
    int length = static_cast<int>(text.size());
    int result = ContinueMatch(this->next, text, state, start);
    while (result == -1 && start < length && !state->searchAborted) {
      state->InvalidateGroups();
      ++start;
      state->groupStart[0] = start;
      result = ContinueMatch(this->next, text, state, start);
    }
    if (result < 0) state->groupStart[0] = -1;
    return result;
  }
};

template <class Tr>
class NFAEndNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  int MatchAt(const Text& text, State* state, int pos) override {
    state->groupEnd[0] = pos;
    if ((state->GetMatchMode() & WholeTextMode) && pos != static_cast<int>(text.size())) {
      state->groupEnd[0] = -1;
      return -1;
    }
    return pos;
  }
};

template <class Tr>
class NFASubStartNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  int MatchAt(const Text& text, State* state, int pos) override {
    return ContinueMatch(this->next, text, state, pos);
  }
};

template <class Tr>
class NFAAcceptNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  int MatchAt(const Text& text, State* state, int pos) override {
    if (!this->next) return pos;
    return ContinueMatch(this->next, text, state, pos);
  }
};

// ---- characters, classes and literal texts ----

// A literal character; Fold compares the lower case of the text's character with the stored
// lower case.
template <class Tr, bool Fold>
class CharMatchNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  Char ch;
  explicit CharMatchNodeT(Char c) : ch(Fold ? Tr::Lower(c) : c) {}
  int MatchAt(const Text& text, State* state, int pos) override {
    if (pos >= static_cast<int>(text.size())) return -1;
    if ((Fold ? Tr::Lower(text[pos]) : text[pos]) != ch) return -1;
    return ContinueMatch(this->next, text, state, pos + 1);
  }
};
template <class Tr>
using NFACharNodeT = CharMatchNodeT<Tr, false>;
template <class Tr>
using NFACICharNodeT = CharMatchNodeT<Tr, true>;

// Member set of a class node: the ordered member map that the graph dump describes, and a
// bitmap of the codes 0 to 255 so that a test is one bit look-up.
template <class Tr>
struct ClassMemberBits {
  unsigned long long words[4] = {0, 0, 0, 0};
  bool hasOthers = false;  // members outside the bitmap (wide characters above 255)
  void Add(typename Tr::Char c) {
    int code = Tr::BitIndex(c);
    if (code < 0) {
      hasOthers = true;
      return;
    }
    words[code >> 6] |= 1ULL << (code & 63);
  }
  bool Has(typename Tr::Char c, const std::map<typename Tr::Char, bool>& members) const {
    int code = Tr::BitIndex(c);
    if (code < 0) return hasOthers && members.count(c) != 0;
    return (words[code >> 6] >> (code & 63)) & 1ULL;
  }
};

// A class; Fold keys the members and looks the text's character up in lower case.
template <class Tr, bool Fold>
class ClassMatchNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  bool inverted;
  std::map<Char, bool> members;
  ClassMemberBits<Tr> bits;

  explicit ClassMatchNodeT(bool inv) : inverted(inv) {}
  ClassMatchNodeT(const Text& memberText, bool inv) : inverted(inv) {
    for (Char c : memberText) {
      Char key = Fold ? Tr::Lower(c) : c;
      if (Tr::BitIndex(key) < 0) members[key] = true;
      bits.Add(key);
    }
    // The bitmap's members enter the map in ascending key order, each at the map's end.
    for (int block = 0; block < 4; ++block) {
      int base = Tr::CodeInKeyOrder(block * 64);
      for (unsigned long long word = bits.words[base >> 6]; word; word &= word - 1)
        members.emplace_hint(members.end(), Tr::FromCode(base + __builtin_ctzll(word)), true);
    }
  }
  int MatchAt(const Text& text, State* state, int pos) override {
    if (pos >= static_cast<int>(text.size())) return -1;
    Char c = Fold ? Tr::Lower(text[pos]) : text[pos];
    if (bits.Has(c, members) == inverted) return -1;
    return ContinueMatch(this->next, text, state, pos + 1);
  }
};
template <class Tr>
using NFAClassNodeT = ClassMatchNodeT<Tr, false>;
template <class Tr>
using NFACIClassNodeT = ClassMatchNodeT<Tr, true>;

// Compares as many characters of text at pos as literal holds with literal without regard to
// case, as texts that end at their first NUL.
template <class Tr>
bool EqualFoldedPrefix(const typename Tr::Text& text, size_t pos,
                       const typename Tr::Text& literal) {
  for (size_t i = 0; i < literal.size(); ++i) {
    typename Tr::Char a = text[pos + i], b = literal[i];
    if (Tr::Lower(a) != Tr::Lower(b)) return false;
    if (a == 0) return true;
  }
  return true;
}

// A literal text; Fold compares without regard to case, as texts ending at their first NUL.
template <class Tr, bool Fold>
class QuoteMatchNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  Text literal;
  explicit QuoteMatchNodeT(const Text& lit) : literal(lit) {}
  int MatchAt(const Text& text, State* state, int pos) override {
    size_t n = literal.size();
    if (pos + n > text.size()) return -1;
    bool equal = Fold ? EqualFoldedPrefix<Tr>(text, pos, literal)
                      : text.compare(pos, n, literal) == 0;
    if (!equal) return -1;
    return ContinueMatch(this->next, text, state, pos + static_cast<int>(n));
  }
};
template <class Tr>
using NFAQuoteNodeT = QuoteMatchNodeT<Tr, false>;
template <class Tr>
using NFACIQuoteNodeT = QuoteMatchNodeT<Tr, true>;

// ---- alternation and look-around ----

template <class Tr>
class NFAOrNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  Node* first;
  Node* second;
  NFAOrNodeT(Node* f, Node* s) : first(f), second(s) {}
  void CollectNodes(PatternType* pattern) override {
    if (first) first->CollectNodes(pattern);
    if (second) second->CollectNodes(pattern);
    this->CollectChain(pattern);
  }
  int MatchAt(const Text& text, State* state, int pos) override {
    int result = ContinueMatch(first, text, state, pos);
    if (result != -1) return result;
    return ContinueMatch(second, text, state, pos);
  }
};

template <class Tr>
class NFALookAheadNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  bool positive;
  Node* inner;
  NFALookAheadNodeT(Node* in, bool pos) : positive(pos), inner(in) {}
  void CollectNodes(PatternType* pattern) override {
    if (inner) inner->CollectNodes(pattern);
    this->CollectChain(pattern);
  }
  int MatchAt(const Text& text, State* state, int pos) override {
    bool bodyMatched = ContinueMatch(inner, text, state, pos) != -1;
    if (bodyMatched != positive) return -1;
    return ContinueMatch(this->next, text, state, pos);
  }
};

template <class Tr>
class NFALookBehindNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  bool positive;
  Text literal;
  NFALookBehindNodeT(const Text& lit, bool pos) : positive(pos), literal(lit) {}
  int MatchAt(const Text& text, State* state, int pos) override {
    int n = static_cast<int>(literal.size());
    bool ok;
    if (pos < n)
      ok = !positive;
    else
      ok = (text.compare(pos - n, n, literal) == 0) == positive;
    if (!ok) return -1;
    return ContinueMatch(this->next, text, state, pos);
  }
};

// ---- anchors ----

template <class Tr>
class NFAStartOfLineNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  int MatchAt(const Text& text, State* state, int pos) override {
    if (pos != 0 && text[pos - 1] != '\n' && text[pos - 1] != '\r') return -1;
    return ContinueMatch(this->next, text, state, pos);
  }
};

template <class Tr>
class NFAEndOfLineNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  int MatchAt(const Text& text, State* state, int pos) override {
    if (pos < static_cast<int>(text.size()) && text[pos] != '\n' && text[pos] != '\r')
      return -1;
    return ContinueMatch(this->next, text, state, pos);
  }
};

template <class Tr>
class NFAStartOfInputNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  int MatchAt(const Text& text, State* state, int pos) override {
    if (pos != 0) return -1;
    return ContinueMatch(this->next, text, state, pos);
  }
  bool AnchorsInputStart() override { return Tr::kPredicatesAnswer; }
};

template <class Tr>
class NFAEndOfInputNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  bool allowFinalTerminator;
  explicit NFAEndOfInputNodeT(bool allow) : allowFinalTerminator(allow) {}
  int MatchAt(const Text& text, State* state, int pos) override {
    int rest = static_cast<int>(text.size()) - pos;
    bool ok = rest == 0;
    if (!ok && allowFinalTerminator) {
      if (rest == 1) ok = text[pos] == '\r' || text[pos] == '\n';
      if (rest == 2) ok = text[pos] == '\r' && text[pos + 1] == '\n';
    }
    if (!ok) return -1;
    return ContinueMatch(this->next, text, state, pos);
  }
};

template <class Tr>
class NFAWordBoundaryNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  bool positive;
  explicit NFAWordBoundaryNodeT(bool pos) : positive(pos) {}
  static bool IsLetter(Char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
  int MatchAt(const Text& text, State* state, int pos) override {
    int length = static_cast<int>(text.size());
    if (pos < length) {
      bool before = pos > 0 && IsLetter(text[pos - 1]);
      bool after = IsLetter(text[pos]);
      if ((before != after) != positive) return -1;
    }
    return ContinueMatch(this->next, text, state, pos);
  }
};

template <class Tr>
class NFAEndOfMatchNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  int MatchAt(const Text& text, State* state, int pos) override {
    if (pos != state->previousMatchEnd) return -1;
    return ContinueMatch(this->next, text, state, pos);
  }
};

// ---- groups and back-references ----

template <class Tr>
class NFAReferenceNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  int groupIndex;
  explicit NFAReferenceNodeT(int group) : groupIndex(group) {}
  int MatchAt(const Text& text, State* state, int pos) override {
    if (groupIndex >= 1 && groupIndex < state->groupCount) {
      int s = state->groupStart[groupIndex], e = state->groupEnd[groupIndex];
      if (s >= 0 && e > s) {
        size_t n = static_cast<size_t>(e - s);
        if (pos + n > text.size()) return -1;
        // Every character compared is a step: a group as long as the subject would otherwise
        // make each call cost as much as that many node calls, beyond the search's budget.
        state->stepsLeft -= static_cast<long long>(n);
        if (text.compare(pos, n, text, s, n) != 0) return -1;
        return ContinueMatch(this->next, text, state, pos + static_cast<int>(n));
      }
    }
    return ContinueMatch(this->next, text, state, pos);
  }
};

// Records the start (head) or the end (tail) of a group and puts the old value back when
// the rest fails.
template <class Tr, bool Head>
class GroupMarkNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  int groupIndex;
  explicit GroupMarkNodeT(int group) : groupIndex(group) {}
  int MatchAt(const Text& text, State* state, int pos) override {
    int* entries = Head ? state->groupStart : state->groupEnd;
    int saved = entries[groupIndex];
    entries[groupIndex] = pos;
    int result = ContinueMatch(this->next, text, state, pos);
    if (result < 0) entries[groupIndex] = saved;
    return result;
  }
  bool OpensGroup() override { return Head && Tr::kPredicatesAnswer; }
};
template <class Tr>
using NFAGroupHeadNodeT = GroupMarkNodeT<Tr, true>;
template <class Tr>
using NFAGroupTailNodeT = GroupMarkNodeT<Tr, false>;

// ---- quantified atoms ----

template <class Tr>
class NFAQuantifierNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  int minCount;
  int maxCount;
  Node* inner;

  // A single atom (no successor yet) gets its own accept node as its end; an atomic group's
  // chain arrives ending in one already.
  NFAQuantifierNodeT(PatternType* pattern, Node* in, int minimum, int maximum)
      : minCount(minimum < 0 ? 0 : minimum), maxCount(maximum), inner(in) {
    if (!inner->next) inner->next = pattern->RegisterNode(new typename Tr::AcceptNode());
  }
  void CollectNodes(PatternType* pattern) override {
    if (inner) inner->CollectNodes(pattern);
    this->CollectChain(pattern);
  }
  // The minimum loop: minCount iterations, ended early by one that consumes nothing.
  int MatchAt(const Text& text, State* state, int pos) override {
    int c = pos;
    for (int i = 0; i < minCount; ++i) {
      int r = ContinueMatch(inner, text, state, c);
      if (r <= c) return r;
      c = r;
    }
    return c;
  }
};

template <class Tr>
class NFAGreedyQuantifierNodeT : public Tr::QuantifierNode {
 public:
  FCHBA_NODE_TYPES;
  using Tr::QuantifierNode::QuantifierNode;
  int MatchAt(const Text& text, State* state, int pos) override {
    int c = Tr::QuantifierNode::MatchAt(text, state, pos);
    if (c == -1) return -1;
    return RepeatGreedily(text, state, c, this->minCount);
  }
  virtual int RepeatGreedily(const Text& text, State* state, int pos, int count) {
    if (count < this->maxCount) {
      int r = ContinueMatch(this->inner, text, state, pos);
      if (r > pos) {
        int r2 = RepeatGreedily(text, state, r, count + 1);
        if (r2 != -1) return r2;
      }
    }
    return ContinueMatch(this->next, text, state, pos);
  }
};

template <class Tr>
class NFALazyQuantifierNodeT : public Tr::QuantifierNode {
 public:
  FCHBA_NODE_TYPES;
  using Tr::QuantifierNode::QuantifierNode;
  int MatchAt(const Text& text, State* state, int pos) override {
    int c = Tr::QuantifierNode::MatchAt(text, state, pos);
    if (c == -1) return -1;
    for (int i = this->minCount; i < this->maxCount; ++i) {
      int r = ContinueMatch(this->next, text, state, c);
      if (r != -1) return r;
      int d = ContinueMatch(this->inner, text, state, c);
      if (d <= c) return -1;
      c = d;
    }
    return ContinueMatch(this->next, text, state, c);
  }
};

template <class Tr>
class NFAPossessiveQuantifierNodeT : public Tr::QuantifierNode {
 public:
  FCHBA_NODE_TYPES;
  using Tr::QuantifierNode::QuantifierNode;
  int MatchAt(const Text& text, State* state, int pos) override {
    int c = Tr::QuantifierNode::MatchAt(text, state, pos);
    if (c == -1) return -1;
    for (int i = this->minCount; i < this->maxCount; ++i) {
      int d = ContinueMatch(this->inner, text, state, c);
      if (d <= c) break;
      c = d;
    }
    return ContinueMatch(this->next, text, state, c);
  }
};

// ---- quantified groups ----

template <class Tr>
class NFAGroupLoopPrologueNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  int groupIndex;
  explicit NFAGroupLoopPrologueNodeT(int group) : groupIndex(group) {}
  int MatchAt(const Text& text, State* state, int pos) override {
    int g = groupIndex;
    int savedCount = state->loopCount[g], savedSaved = state->loopSavedCount[g],
        savedStart = state->loopStart[g];
    state->loopCount[g] = 0;
    state->loopSavedCount[g] = 0;
    state->loopStart[g] = -1;
    int result = ContinueMatch(this->next, text, state, pos);
    if (result < 0) {
      state->loopCount[g] = savedCount;
      state->loopSavedCount[g] = savedSaved;
      state->loopStart[g] = savedStart;
    }
    return result;
  }
};

// loopSavedCount value that no count equals: the rest was already tried behind the last
// iteration, so no possessive step below gives that iteration back.
constexpr int kRestTriedAtLoopEnd = -1;

template <class Tr>
class NFAGroupLoopNodeT : public Tr::Node {
 public:
  FCHBA_NODE_TYPES;
  int groupIndex;
  int minCount;
  int maxCount;
  LoopKind loopKind;
  Node* inner;

  NFAGroupLoopNodeT(Node* in, int minimum, int maximum, int group, LoopKind kind)
      : groupIndex(group), minCount(minimum), maxCount(maximum), loopKind(kind), inner(in) {}
  void CollectNodes(PatternType* pattern) override {
    if (inner) inner->CollectNodes(pattern);
    this->CollectChain(pattern);
  }
  int MatchAt(const Text& text, State* state, int pos) override {
    int g = groupIndex;
    bool progress = state->loopStart[g] < pos;
    if (progress && state->loopCount[g] < minCount) return EnterIteration(text, state, pos);
    if (!progress || state->loopCount[g] >= maxCount) {
      if (loopKind == LoopKind::Possessive) state->loopSavedCount[g] = kRestTriedAtLoopEnd;
      return ContinueMatch(this->next, text, state, pos);
    }
    switch (loopKind) {
      case LoopKind::Greedy: return LoopGreedily(text, state, pos);
      case LoopKind::Reluctant: return LoopReluctantly(text, state, pos);
      case LoopKind::Possessive: return LoopPossessively(text, state, pos);
    }
    return -1;
  }
  int LoopGreedily(const Text& text, State* state, int pos) {
    int r = EnterIteration(text, state, pos);
    if (r >= 0) return r;
    return ContinueMatch(this->next, text, state, pos);
  }
  int LoopReluctantly(const Text& text, State* state, int pos) {
    int r = ContinueMatch(this->next, text, state, pos);
    if (r >= 0) return r;
    return EnterIteration(text, state, pos);
  }
  int LoopPossessively(const Text& text, State* state, int pos) {
    int g = groupIndex;
    state->loopSavedCount[g] = state->loopCount[g];
    int r = EnterIteration(text, state, pos);
    if (r < 0 && state->loopCount[g] == state->loopSavedCount[g])
      return ContinueMatch(this->next, text, state, pos);
    return r;
  }

 private:
  // One more iteration from pos: counts it and runs the group's body; a failed iteration
  // takes its count and its start back.
  int EnterIteration(const Text& text, State* state, int pos) {
    int g = groupIndex;
    int savedStart = state->loopStart[g];
    state->loopStart[g] = pos;
    state->loopCount[g]++;
    int r = ContinueMatch(inner, text, state, pos);
    if (r < 0) {
      state->loopCount[g]--;
      state->loopStart[g] = savedStart;
    }
    return r;
  }
};

#undef FCHBA_NODE_TYPES
