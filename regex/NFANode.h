// The narrow engine's match nodes: each class carries its own name at global scope (the graph
// dump prints run-time type names) and takes its fields and matching from the shared template
// in NFANodeT.h. No node owns another: the pattern's node map owns them all.
#pragma once
#include "NFANodeT.h"
#include "PatternTraits.h"

class NFANode : public NFANodeT<NarrowTraits> {};

class NFAStartNode : public NFAStartNodeT<NarrowTraits> {
 public:
  using NFAStartNodeT::NFAStartNodeT;
};

class NFAEndNode : public NFAEndNodeT<NarrowTraits> {
 public:
  using NFAEndNodeT::NFAEndNodeT;
};

class NFASubStartNode : public NFASubStartNodeT<NarrowTraits> {
 public:
  using NFASubStartNodeT::NFASubStartNodeT;
};

class NFAAcceptNode : public NFAAcceptNodeT<NarrowTraits> {
 public:
  using NFAAcceptNodeT::NFAAcceptNodeT;
};

class NFACharNode : public NFACharNodeT<NarrowTraits> {
 public:
  using NFACharNodeT::NFACharNodeT;
};

class NFACICharNode : public NFACICharNodeT<NarrowTraits> {
 public:
  using NFACICharNodeT::NFACICharNodeT;
};

class NFAClassNode : public NFAClassNodeT<NarrowTraits> {
 public:
  using NFAClassNodeT::NFAClassNodeT;
};

class NFACIClassNode : public NFACIClassNodeT<NarrowTraits> {
 public:
  using NFACIClassNodeT::NFACIClassNodeT;
};

class NFAQuoteNode : public NFAQuoteNodeT<NarrowTraits> {
 public:
  using NFAQuoteNodeT::NFAQuoteNodeT;
};

class NFACIQuoteNode : public NFACIQuoteNodeT<NarrowTraits> {
 public:
  using NFACIQuoteNodeT::NFACIQuoteNodeT;
};

class NFAOrNode : public NFAOrNodeT<NarrowTraits> {
 public:
  using NFAOrNodeT::NFAOrNodeT;
};

class NFALookAheadNode : public NFALookAheadNodeT<NarrowTraits> {
 public:
  using NFALookAheadNodeT::NFALookAheadNodeT;
};

class NFALookBehindNode : public NFALookBehindNodeT<NarrowTraits> {
 public:
  using NFALookBehindNodeT::NFALookBehindNodeT;
};

class NFAStartOfLineNode : public NFAStartOfLineNodeT<NarrowTraits> {
 public:
  using NFAStartOfLineNodeT::NFAStartOfLineNodeT;
};

class NFAEndOfLineNode : public NFAEndOfLineNodeT<NarrowTraits> {
 public:
  using NFAEndOfLineNodeT::NFAEndOfLineNodeT;
};

class NFAStartOfInputNode : public NFAStartOfInputNodeT<NarrowTraits> {
 public:
  using NFAStartOfInputNodeT::NFAStartOfInputNodeT;
};

class NFAEndOfInputNode : public NFAEndOfInputNodeT<NarrowTraits> {
 public:
  using NFAEndOfInputNodeT::NFAEndOfInputNodeT;
};

class NFAWordBoundaryNode : public NFAWordBoundaryNodeT<NarrowTraits> {
 public:
  using NFAWordBoundaryNodeT::NFAWordBoundaryNodeT;
};

class NFAEndOfMatchNode : public NFAEndOfMatchNodeT<NarrowTraits> {
 public:
  using NFAEndOfMatchNodeT::NFAEndOfMatchNodeT;
};

class NFAReferenceNode : public NFAReferenceNodeT<NarrowTraits> {
 public:
  using NFAReferenceNodeT::NFAReferenceNodeT;
};

class NFAGroupHeadNode : public NFAGroupHeadNodeT<NarrowTraits> {
 public:
  using NFAGroupHeadNodeT::NFAGroupHeadNodeT;
};

class NFAGroupTailNode : public NFAGroupTailNodeT<NarrowTraits> {
 public:
  using NFAGroupTailNodeT::NFAGroupTailNodeT;
};

class NFAQuantifierNode : public NFAQuantifierNodeT<NarrowTraits> {
 public:
  using NFAQuantifierNodeT::NFAQuantifierNodeT;
};

class NFAGreedyQuantifierNode : public NFAGreedyQuantifierNodeT<NarrowTraits> {
 public:
  using NFAGreedyQuantifierNodeT::NFAGreedyQuantifierNodeT;
};

class NFALazyQuantifierNode : public NFALazyQuantifierNodeT<NarrowTraits> {
 public:
  using NFALazyQuantifierNodeT::NFALazyQuantifierNodeT;
};

class NFAPossessiveQuantifierNode : public NFAPossessiveQuantifierNodeT<NarrowTraits> {
 public:
  using NFAPossessiveQuantifierNodeT::NFAPossessiveQuantifierNodeT;
};

class NFAGroupLoopPrologueNode : public NFAGroupLoopPrologueNodeT<NarrowTraits> {
 public:
  using NFAGroupLoopPrologueNodeT::NFAGroupLoopPrologueNodeT;
};

class NFAGroupLoopNode : public NFAGroupLoopNodeT<NarrowTraits> {
 public:
  using NFAGroupLoopNodeT::NFAGroupLoopNodeT;
};
