// The narrow engine's match nodes: each class carries its own name at global scope (the graph
// dump prints run-time type names) and takes its fields and matching from the shared template
// in NFANodeT.h. No node owns another: the pattern's node map owns them all.
#pragma once
#include "NFANodeT.h"
#include "PatternTraits.h"

class NFANode : public NFANodeT<NarrowTraits> {};

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
};

class NFACICharNode : public NFACICharNodeT<NarrowTraits> {
 public:
  using NFACICharNodeT<NarrowTraits>::NFACICharNodeT;
};

class NFAClassNode : public NFAClassNodeT<NarrowTraits> {
 public:
  using NFAClassNodeT<NarrowTraits>::NFAClassNodeT;
};

class NFACIClassNode : public NFACIClassNodeT<NarrowTraits> {
 public:
  using NFACIClassNodeT<NarrowTraits>::NFACIClassNodeT;
};

class NFAQuoteNode : public NFAQuoteNodeT<NarrowTraits> {
 public:
  using NFAQuoteNodeT<NarrowTraits>::NFAQuoteNodeT;
};

class NFACIQuoteNode : public NFACIQuoteNodeT<NarrowTraits> {
 public:
  using NFACIQuoteNodeT<NarrowTraits>::NFACIQuoteNodeT;
};

class NFAOrNode : public NFAOrNodeT<NarrowTraits> {
 public:
  using NFAOrNodeT<NarrowTraits>::NFAOrNodeT;
};

class NFALookAheadNode : public NFALookAheadNodeT<NarrowTraits> {
 public:
  using NFALookAheadNodeT<NarrowTraits>::NFALookAheadNodeT;
};

class NFALookBehindNode : public NFALookBehindNodeT<NarrowTraits> {
 public:
  using NFALookBehindNodeT<NarrowTraits>::NFALookBehindNodeT;
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
};

class NFAWordBoundaryNode : public NFAWordBoundaryNodeT<NarrowTraits> {
 public:
  using NFAWordBoundaryNodeT<NarrowTraits>::NFAWordBoundaryNodeT;
};

class NFAEndOfMatchNode : public NFAEndOfMatchNodeT<NarrowTraits> {
 public:
  using NFAEndOfMatchNodeT<NarrowTraits>::NFAEndOfMatchNodeT;
};

class NFAReferenceNode : public NFAReferenceNodeT<NarrowTraits> {
 public:
  using NFAReferenceNodeT<NarrowTraits>::NFAReferenceNodeT;
};

class NFAGroupHeadNode : public NFAGroupHeadNodeT<NarrowTraits> {
 public:
  using NFAGroupHeadNodeT<NarrowTraits>::NFAGroupHeadNodeT;
};

class NFAGroupTailNode : public NFAGroupTailNodeT<NarrowTraits> {
 public:
  using NFAGroupTailNodeT<NarrowTraits>::NFAGroupTailNodeT;
};

class NFAQuantifierNode : public NFAQuantifierNodeT<NarrowTraits> {
 public:
  using NFAQuantifierNodeT<NarrowTraits>::NFAQuantifierNodeT;
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
};

class NFAGroupLoopNode : public NFAGroupLoopNodeT<NarrowTraits> {
 public:
  using NFAGroupLoopNodeT<NarrowTraits>::NFAGroupLoopNodeT;
};
