// The narrow engine's character traits: everything in which the narrow and the wide engine
// differ is gathered in a traits type, so that the node, compiler and search templates are
// written once. The wide engine supplies its own traits type with the same members.
#pragma once
#include <cctype>
#include <cstdio>
#include <string>

class Pattern;
class MatchState;
class NFANode;
class NFAStartNode;
class NFAEndNode;
class NFASubStartNode;
class NFAAcceptNode;
class NFACharNode;
class NFACICharNode;
class NFAClassNode;
class NFACIClassNode;
class NFAQuoteNode;
class NFACIQuoteNode;
class NFAOrNode;
class NFALookAheadNode;
class NFALookBehindNode;
class NFAStartOfLineNode;
class NFAEndOfLineNode;
class NFAStartOfInputNode;
class NFAEndOfInputNode;
class NFAWordBoundaryNode;
class NFAEndOfMatchNode;
class NFAReferenceNode;
class NFAGroupHeadNode;
class NFAGroupTailNode;
class NFAQuantifierNode;
class NFAGreedyQuantifierNode;
class NFALazyQuantifierNode;
class NFAPossessiveQuantifierNode;
class NFAGroupLoopPrologueNode;
class NFAGroupLoopNode;

struct NarrowTraits {
  using Char = char;
  using Text = std::string;

  using Pattern = ::Pattern;
  using State = ::MatchState;
  using Node = ::NFANode;
  using StartNode = ::NFAStartNode;
  using EndNode = ::NFAEndNode;
  using SubStartNode = ::NFASubStartNode;
  using AcceptNode = ::NFAAcceptNode;
  using CharNode = ::NFACharNode;
  using CICharNode = ::NFACICharNode;
  using ClassNode = ::NFAClassNode;
  using CIClassNode = ::NFACIClassNode;
  using QuoteNode = ::NFAQuoteNode;
  using CIQuoteNode = ::NFACIQuoteNode;
  using OrNode = ::NFAOrNode;
  using LookAheadNode = ::NFALookAheadNode;
  using LookBehindNode = ::NFALookBehindNode;
  using StartOfLineNode = ::NFAStartOfLineNode;
  using EndOfLineNode = ::NFAEndOfLineNode;
  using StartOfInputNode = ::NFAStartOfInputNode;
  using EndOfInputNode = ::NFAEndOfInputNode;
  using WordBoundaryNode = ::NFAWordBoundaryNode;
  using EndOfMatchNode = ::NFAEndOfMatchNode;
  using ReferenceNode = ::NFAReferenceNode;
  using GroupHeadNode = ::NFAGroupHeadNode;
  using GroupTailNode = ::NFAGroupTailNode;
  using QuantifierNode = ::NFAQuantifierNode;
  using GreedyQuantifierNode = ::NFAGreedyQuantifierNode;
  using LazyQuantifierNode = ::NFALazyQuantifierNode;
  using PossessiveQuantifierNode = ::NFAPossessiveQuantifierNode;
  using GroupLoopPrologueNode = ::NFAGroupLoopPrologueNode;
  using GroupLoopNode = ::NFAGroupLoopNode;

  // The narrow nodes have the graph dump's Dump slot; the wide ones have none.
  static constexpr bool kHasDump = true;
  // NFAGroupHeadNode::OpensGroup and NFAStartOfInputNode::AnchorsInputStart answer true.
  static constexpr bool kPredicatesAnswer = true;
  // '\x' takes two hexadecimal digits (the wide engine tries four first).
  static constexpr bool kHexFourDigits = false;
  // A range whose last character lies below its first wraps round within 8 bits.
  static constexpr bool kRangeWraps = true;

  // Code of a character in the 256-entry class bitmap, or -1 when it has none there.
  static int BitIndex(Char c) { return static_cast<unsigned char>(c); }
  // The k-th bitmap code in the order of the characters as map keys: signed chars put the
  // bytes from 0x80 up first.
  static int CodeInKeyOrder(int k) { return (k + 128) & 255; }
  // Character of a code 0 to 255 (complements and ranges).
  static Char FromCode(int code) { return static_cast<Char>(code); }
  // C library case folding; the byte goes through unsigned char so that bytes from 0x80 up
  // are valid arguments.
  static Char Lower(Char c) { return static_cast<Char>(std::tolower(static_cast<unsigned char>(c))); }
  static bool IsDigit(Char c) { return c >= '0' && c <= '9'; }

  // Compares n characters of text at pos with literal without regard to case, as texts that
  // end at their first NUL.
  static bool EqualFoldedPrefix(const Text& text, size_t pos, const Text& literal) {
    for (size_t i = 0; i < literal.size(); ++i) {
      Char a = text[pos + i], b = literal[i];
      if (Lower(a) != Lower(b)) return false;
      if (a == 0) return true;
    }
    return true;
  }

  // The syntax-error report: the pattern text, the caret line and the message.
  static void WriteSyntaxError(const Text& source, int parsePos, bool metaChar) {
    std::fprintf(stderr, "%s\n%*c^\n", source.c_str(), parsePos - 1, ' ');
    std::fputs(metaChar ? "Syntax Error near here. Possible unescaped meta character.\n"
                        : "Syntax Error near here. \n",
               stderr);
  }
};
