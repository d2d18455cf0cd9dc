// The narrow engine's match nodes: each class carries its own name at global scope (the graph
// dump prints run-time type names) and takes its fields and matching from the shared template
// in NFANodeT.h. No node owns another: the pattern's node map owns them all. The classes
// with fields override the graph dump's Dump; the others keep the base's plain line.
#pragma once
#include <cstdio>
#include <string>
#include <typeinfo>

#include "NFANodeT.h"
#include "PatternTraits.h"

// The listing's words for a flag.
inline const char* DumpFlagText(bool value) { return value ? "true" : "false"; }

class NFANode : public NFANodeT<NarrowTraits> {};

// The listing lines shared by node classes with the same kind of field, each followed by the
// rest of the chain at the same indent. A character prints as a signed char widened to int,
// so the bytes from 0x80 up show as eight hexadecimal digits.
inline void DumpCharLine(NFANode* node, int indent, char ch) {
  std::printf("%*c%s(0x%02X)\n", 2 * indent, ' ', typeid(*node).name(),
              static_cast<unsigned>(static_cast<int>(ch)));
  if (node->next) node->next->Dump(indent);
}
inline void DumpLiteralLine(NFANode* node, int indent, const std::string& literal) {
  std::printf("%*c%s(%s)\n", 2 * indent, ' ', typeid(*node).name(), literal.c_str());
  if (node->next) node->next->Dump(indent);
}
// The line alone of a node with one flag, such as "(pos=true)".
inline void PrintFlagLine(NFANode* node, int indent, const char* label, bool value) {
  std::printf("%*c%s(%s=%s)\n", 2 * indent, ' ', typeid(*node).name(), label,
              DumpFlagText(value));
}
inline void DumpGroupLine(NFANode* node, int indent, int groupIndex) {
  std::printf("%*c%s(gi=%d)\n", 2 * indent, ' ', typeid(*node).name(), groupIndex);
  if (node->next) node->next->Dump(indent);
}

class NFAStartNode : public NFAStartNodeT<NarrowTraits> {
 public:
  using NFAStartNodeT<NarrowTraits>::NFAStartNodeT;
};

class NFAEndNode : public NFAEndNodeT<NarrowTraits> {
 public:
  using NFAEndNodeT<NarrowTraits>::NFAEndNodeT;
};

class NFASubStartNode : public NFASubStartNodeT<NarrowTraits> {
 public:
  using NFASubStartNodeT<NarrowTraits>::NFASubStartNodeT;
};

class NFAAcceptNode : public NFAAcceptNodeT<NarrowTraits> {
 public:
  using NFAAcceptNodeT<NarrowTraits>::NFAAcceptNodeT;
};

class NFACharNode : public NFACharNodeT<NarrowTraits> {
 public:
  using NFACharNodeT<NarrowTraits>::NFACharNodeT;
  void Dump(int indent) override { DumpCharLine(this, indent, ch); }
};

class NFACICharNode : public NFACICharNodeT<NarrowTraits> {
 public:
  using NFACICharNodeT<NarrowTraits>::NFACICharNodeT;
  void Dump(int indent) override { DumpCharLine(this, indent, ch); }
};

class NFAClassNode : public NFAClassNodeT<NarrowTraits> {
 public:
  using NFAClassNodeT<NarrowTraits>::NFAClassNodeT;
  void Dump(int indent) override {
    std::printf("%*c%s(%d vals, inv=%s)\n", 2 * indent, ' ', typeid(*this).name(),
                static_cast<int>(members.size()), DumpFlagText(inverted));
    if (next) next->Dump(indent);
  }
};

class NFACIClassNode : public NFACIClassNodeT<NarrowTraits> {
 public:
  using NFACIClassNodeT<NarrowTraits>::NFACIClassNodeT;
  // No line of its own: the listing goes on with what follows.
  void Dump(int indent) override {
    if (next) next->Dump(indent);
  }
};

class NFAQuoteNode : public NFAQuoteNodeT<NarrowTraits> {
 public:
  using NFAQuoteNodeT<NarrowTraits>::NFAQuoteNodeT;
  void Dump(int indent) override { DumpLiteralLine(this, indent, literal); }
};

class NFACIQuoteNode : public NFACIQuoteNodeT<NarrowTraits> {
 public:
  using NFACIQuoteNodeT<NarrowTraits>::NFACIQuoteNodeT;
  void Dump(int indent) override { DumpLiteralLine(this, indent, literal); }
};

class NFAOrNode : public NFAOrNodeT<NarrowTraits> {
 public:
  using NFAOrNodeT<NarrowTraits>::NFAOrNodeT;
  // Both alternatives lead on to the rest of the pattern, so the rest shows under each.
  void Dump(int indent) override {
    std::printf("%*c%s\n", 2 * indent, ' ', typeid(*this).name());
    std::printf("%*cone\n", 2 * indent + 2, ' ');
    if (first) first->Dump(indent + 2);
    std::printf("%*ctwo\n", 2 * indent + 2, ' ');
    if (second) second->Dump(indent + 2);
  }
};

class NFALookAheadNode : public NFALookAheadNodeT<NarrowTraits> {
 public:
  using NFALookAheadNodeT<NarrowTraits>::NFALookAheadNodeT;
  void Dump(int indent) override {
    PrintFlagLine(this, indent, "pos", positive);
    if (inner) inner->Dump(indent + 1);
    if (next) next->Dump(indent);
  }
};

class NFALookBehindNode : public NFALookBehindNodeT<NarrowTraits> {
 public:
  using NFALookBehindNodeT<NarrowTraits>::NFALookBehindNodeT;
  void Dump(int indent) override {
    std::printf("%*c%s(str=%s, pos=%s)\n", 2 * indent, ' ', typeid(*this).name(),
                literal.c_str(), DumpFlagText(positive));
    if (next) next->Dump(indent);
  }
};

class NFAStartOfLineNode : public NFAStartOfLineNodeT<NarrowTraits> {
 public:
  using NFAStartOfLineNodeT<NarrowTraits>::NFAStartOfLineNodeT;
};

class NFAEndOfLineNode : public NFAEndOfLineNodeT<NarrowTraits> {
 public:
  using NFAEndOfLineNodeT<NarrowTraits>::NFAEndOfLineNodeT;
};

class NFAStartOfInputNode : public NFAStartOfInputNodeT<NarrowTraits> {
 public:
  using NFAStartOfInputNodeT<NarrowTraits>::NFAStartOfInputNodeT;
};

class NFAEndOfInputNode : public NFAEndOfInputNodeT<NarrowTraits> {
 public:
  using NFAEndOfInputNodeT<NarrowTraits>::NFAEndOfInputNodeT;
  void Dump(int indent) override {
    PrintFlagLine(this, indent, "term", allowFinalTerminator);
    if (next) next->Dump(indent);
  }
};

class NFAWordBoundaryNode : public NFAWordBoundaryNodeT<NarrowTraits> {
 public:
  using NFAWordBoundaryNodeT<NarrowTraits>::NFAWordBoundaryNodeT;
  void Dump(int indent) override {
    PrintFlagLine(this, indent, "pos", positive);
    if (next) next->Dump(indent);
  }
};

class NFAEndOfMatchNode : public NFAEndOfMatchNodeT<NarrowTraits> {
 public:
  using NFAEndOfMatchNodeT<NarrowTraits>::NFAEndOfMatchNodeT;
};

class NFAReferenceNode : public NFAReferenceNodeT<NarrowTraits> {
 public:
  using NFAReferenceNodeT<NarrowTraits>::NFAReferenceNodeT;
  void Dump(int indent) override { DumpGroupLine(this, indent, groupIndex); }
};

class NFAGroupHeadNode : public NFAGroupHeadNodeT<NarrowTraits> {
 public:
  using NFAGroupHeadNodeT<NarrowTraits>::NFAGroupHeadNodeT;
  void Dump(int indent) override { DumpGroupLine(this, indent, groupIndex); }
};

class NFAGroupTailNode : public NFAGroupTailNodeT<NarrowTraits> {
 public:
  using NFAGroupTailNodeT<NarrowTraits>::NFAGroupTailNodeT;
  void Dump(int indent) override { DumpGroupLine(this, indent, groupIndex); }
};

class NFAQuantifierNode : public NFAQuantifierNodeT<NarrowTraits> {
 public:
  using NFAQuantifierNodeT<NarrowTraits>::NFAQuantifierNodeT;
  // Serves the three quantifier kinds: the atom's chain (ending at its accept node) is
  // listed two levels deeper under "inner".
  void Dump(int indent) override {
    std::printf("%*c%s(min=%d, max=%d)\n", 2 * indent, ' ', typeid(*this).name(), minCount,
                maxCount);
    std::printf("%*cinner\n", 2 * indent + 2, ' ');
    if (inner) inner->Dump(indent + 2);
    if (next) next->Dump(indent);
  }
};

class NFAGreedyQuantifierNode : public NFAGreedyQuantifierNodeT<NarrowTraits> {
 public:
  using NFAGreedyQuantifierNodeT<NarrowTraits>::NFAGreedyQuantifierNodeT;
};

class NFALazyQuantifierNode : public NFALazyQuantifierNodeT<NarrowTraits> {
 public:
  using NFALazyQuantifierNodeT<NarrowTraits>::NFALazyQuantifierNodeT;
};

class NFAPossessiveQuantifierNode : public NFAPossessiveQuantifierNodeT<NarrowTraits> {
 public:
  using NFAPossessiveQuantifierNodeT<NarrowTraits>::NFAPossessiveQuantifierNodeT;
};

class NFAGroupLoopPrologueNode : public NFAGroupLoopPrologueNodeT<NarrowTraits> {
 public:
  using NFAGroupLoopPrologueNodeT<NarrowTraits>::NFAGroupLoopPrologueNodeT;
  void Dump(int indent) override { DumpGroupLine(this, indent, groupIndex); }
};

class NFAGroupLoopNode : public NFAGroupLoopNodeT<NarrowTraits> {
 public:
  using NFAGroupLoopNodeT<NarrowTraits>::NFAGroupLoopNodeT;
  // The group's own nodes are not listed: the listing goes on behind the loop.
  void Dump(int indent) override {
    const char* kind = loopKind == LoopKind::Greedy      ? "greedy"
                       : loopKind == LoopKind::Reluctant ? "reluctant"
                                                         : "possessive";
    std::printf("%*c%s(gi=%d, min=%d, max=%d, type=%s)\n", 2 * indent, ' ',
                typeid(*this).name(), groupIndex, minCount, maxCount, kind);
    if (next) next->Dump(indent);
  }
};
