// The wide engine's match nodes: the narrow family's templates over WideTraits, each class
// under its own name with "U" before its last word. No node owns another: the UPattern's node
// map owns them all. The wide nodes have no graph dump.
#pragma once
#include "NFANodeT.h"
#include "PatternTraits.h"

class NFAUNode : public NFANodeT<WideTraits> {};

class NFAStartUNode : public NFAStartNodeT<WideTraits> {
 public:
  using NFAStartNodeT<WideTraits>::NFAStartNodeT;
};

class NFAEndUNode : public NFAEndNodeT<WideTraits> {
 public:
  using NFAEndNodeT<WideTraits>::NFAEndNodeT;
};

class NFASubStartUNode : public NFASubStartNodeT<WideTraits> {
 public:
  using NFASubStartNodeT<WideTraits>::NFASubStartNodeT;
};

class NFAAcceptUNode : public NFAAcceptNodeT<WideTraits> {
 public:
  using NFAAcceptNodeT<WideTraits>::NFAAcceptNodeT;
};

class NFACharUNode : public NFACharNodeT<WideTraits> {
 public:
  using NFACharNodeT<WideTraits>::NFACharNodeT;
};

class NFACICharUNode : public NFACICharNodeT<WideTraits> {
 public:
  using NFACICharNodeT<WideTraits>::NFACICharNodeT;
};

class NFAClassUNode : public NFAClassNodeT<WideTraits> {
 public:
  using NFAClassNodeT<WideTraits>::NFAClassNodeT;
};

class NFACIClassUNode : public NFACIClassNodeT<WideTraits> {
 public:
  using NFACIClassNodeT<WideTraits>::NFACIClassNodeT;
};

class NFAQuoteUNode : public NFAQuoteNodeT<WideTraits> {
 public:
  using NFAQuoteNodeT<WideTraits>::NFAQuoteNodeT;
};

class NFACIQuoteUNode : public NFACIQuoteNodeT<WideTraits> {
 public:
  using NFACIQuoteNodeT<WideTraits>::NFACIQuoteNodeT;
};

class NFAOrUNode : public NFAOrNodeT<WideTraits> {
 public:
  using NFAOrNodeT<WideTraits>::NFAOrNodeT;
};

class NFALookAheadUNode : public NFALookAheadNodeT<WideTraits> {
 public:
  using NFALookAheadNodeT<WideTraits>::NFALookAheadNodeT;
};

class NFALookBehindUNode : public NFALookBehindNodeT<WideTraits> {
 public:
  using NFALookBehindNodeT<WideTraits>::NFALookBehindNodeT;
};

class NFAStartOfLineUNode : public NFAStartOfLineNodeT<WideTraits> {
 public:
  using NFAStartOfLineNodeT<WideTraits>::NFAStartOfLineNodeT;
};

class NFAEndOfLineUNode : public NFAEndOfLineNodeT<WideTraits> {
 public:
  using NFAEndOfLineNodeT<WideTraits>::NFAEndOfLineNodeT;
};

class NFAStartOfInputUNode : public NFAStartOfInputNodeT<WideTraits> {
 public:
  using NFAStartOfInputNodeT<WideTraits>::NFAStartOfInputNodeT;
};

class NFAEndOfInputUNode : public NFAEndOfInputNodeT<WideTraits> {
 public:
  using NFAEndOfInputNodeT<WideTraits>::NFAEndOfInputNodeT;
};

class NFAWordBoundaryUNode : public NFAWordBoundaryNodeT<WideTraits> {
 public:
  using NFAWordBoundaryNodeT<WideTraits>::NFAWordBoundaryNodeT;
};

class NFAEndOfMatchUNode : public NFAEndOfMatchNodeT<WideTraits> {
 public:
  using NFAEndOfMatchNodeT<WideTraits>::NFAEndOfMatchNodeT;
};

class NFAReferenceUNode : public NFAReferenceNodeT<WideTraits> {
 public:
  using NFAReferenceNodeT<WideTraits>::NFAReferenceNodeT;
};

class NFAGroupHeadUNode : public NFAGroupHeadNodeT<WideTraits> {
 public:
  using NFAGroupHeadNodeT<WideTraits>::NFAGroupHeadNodeT;
};

class NFAGroupTailUNode : public NFAGroupTailNodeT<WideTraits> {
 public:
  using NFAGroupTailNodeT<WideTraits>::NFAGroupTailNodeT;
};

class NFAQuantifierUNode : public NFAQuantifierNodeT<WideTraits> {
 public:
  using NFAQuantifierNodeT<WideTraits>::NFAQuantifierNodeT;
};

class NFAGreedyQuantifierUNode : public NFAGreedyQuantifierNodeT<WideTraits> {
 public:
  using NFAGreedyQuantifierNodeT<WideTraits>::NFAGreedyQuantifierNodeT;
};

class NFALazyQuantifierUNode : public NFALazyQuantifierNodeT<WideTraits> {
 public:
  using NFALazyQuantifierNodeT<WideTraits>::NFALazyQuantifierNodeT;
};

class NFAPossessiveQuantifierUNode : public NFAPossessiveQuantifierNodeT<WideTraits> {
 public:
  using NFAPossessiveQuantifierNodeT<WideTraits>::NFAPossessiveQuantifierNodeT;
};

class NFAGroupLoopPrologueUNode : public NFAGroupLoopPrologueNodeT<WideTraits> {
 public:
  using NFAGroupLoopPrologueNodeT<WideTraits>::NFAGroupLoopPrologueNodeT;
};

class NFAGroupLoopUNode : public NFAGroupLoopNodeT<WideTraits> {
 public:
  using NFAGroupLoopNodeT<WideTraits>::NFAGroupLoopNodeT;
};
