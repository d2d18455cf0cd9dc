// The narrow engine's character traits: everything in which the narrow and the wide engine
// differ is gathered in a traits type, so that the node, compiler and search templates are
// written once. WideTraits below gives the wide engine the same members.
#pragma once
#include <cctype>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <cwctype>
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

  // The syntax-error report: the pattern text, the caret line and the message.
  static void WriteSyntaxError(const Text& source, int parsePos, bool metaChar) {
    std::fprintf(stderr, "%s\n%*c^\n", source.c_str(), parsePos - 1, ' ');
    std::fputs(metaChar ? "Syntax Error near here. Possible unescaped meta character.\n"
                        : "Syntax Error near here. \n",
               stderr);
  }
};

class UPattern;
class MatchUState;
class NFAUNode;
class NFAStartUNode;
class NFAEndUNode;
class NFASubStartUNode;
class NFAAcceptUNode;
class NFACharUNode;
class NFACICharUNode;
class NFAClassUNode;
class NFACIClassUNode;
class NFAQuoteUNode;
class NFACIQuoteUNode;
class NFAOrUNode;
class NFALookAheadUNode;
class NFALookBehindUNode;
class NFAStartOfLineUNode;
class NFAEndOfLineUNode;
class NFAStartOfInputUNode;
class NFAEndOfInputUNode;
class NFAWordBoundaryUNode;
class NFAEndOfMatchUNode;
class NFAReferenceUNode;
class NFAGroupHeadUNode;
class NFAGroupTailUNode;
class NFAQuantifierUNode;
class NFAGreedyQuantifierUNode;
class NFALazyQuantifierUNode;
class NFAPossessiveQuantifierUNode;
class NFAGroupLoopPrologueUNode;
class NFAGroupLoopUNode;

// The wide engine: texts of signed 32-bit characters (wchar_t on this platform).
struct WideTraits {
  using Char = wchar_t;
  using Text = std::wstring;

  using Pattern = ::UPattern;
  using State = ::MatchUState;
  using Node = ::NFAUNode;
  using StartNode = ::NFAStartUNode;
  using EndNode = ::NFAEndUNode;
  using SubStartNode = ::NFASubStartUNode;
  using AcceptNode = ::NFAAcceptUNode;
  using CharNode = ::NFACharUNode;
  using CICharNode = ::NFACICharUNode;
  using ClassNode = ::NFAClassUNode;
  using CIClassNode = ::NFACIClassUNode;
  using QuoteNode = ::NFAQuoteUNode;
  using CIQuoteNode = ::NFACIQuoteUNode;
  using OrNode = ::NFAOrUNode;
  using LookAheadNode = ::NFALookAheadUNode;
  using LookBehindNode = ::NFALookBehindUNode;
  using StartOfLineNode = ::NFAStartOfLineUNode;
  using EndOfLineNode = ::NFAEndOfLineUNode;
  using StartOfInputNode = ::NFAStartOfInputUNode;
  using EndOfInputNode = ::NFAEndOfInputUNode;
  using WordBoundaryNode = ::NFAWordBoundaryUNode;
  using EndOfMatchNode = ::NFAEndOfMatchUNode;
  using ReferenceNode = ::NFAReferenceUNode;
  using GroupHeadNode = ::NFAGroupHeadUNode;
  using GroupTailNode = ::NFAGroupTailUNode;
  using QuantifierNode = ::NFAQuantifierUNode;
  using GreedyQuantifierNode = ::NFAGreedyQuantifierUNode;
  using LazyQuantifierNode = ::NFALazyQuantifierUNode;
  using PossessiveQuantifierNode = ::NFAPossessiveQuantifierUNode;
  using GroupLoopPrologueNode = ::NFAGroupLoopPrologueUNode;
  using GroupLoopNode = ::NFAGroupLoopUNode;

  // No graph dump.
  static constexpr bool kHasDump = false;
  // OpensGroup and AnchorsInputStart answer false in every wide node, so a group's own ")"
  // makes the only quantifier attempt and every pattern gets its start node.
  static constexpr bool kPredicatesAnswer = false;
  // '\x' takes four hexadecimal digits when four follow, else two.
  static constexpr bool kHexFourDigits = true;
  // A range runs upward from its first code to its last and spans at most kMaxRangeCodes
  // codes; a reversed or longer range is a syntax error.
  static constexpr bool kRangeWraps = false;
  static constexpr int kMaxRangeCodes = 300;

  // Only the codes 0 to 255 have a bitmap entry; every other character is looked up in the map.
  static int BitIndex(Char c) { return c >= 0 && c <= 255 ? static_cast<int>(c) : -1; }
  static int CodeInKeyOrder(int k) { return k; }
  static Char FromCode(int code) { return static_cast<Char>(code); }
  // The C library's wide folding: in the default C locale only A to Z change.
  static Char Lower(Char c) { return static_cast<Char>(std::towlower(static_cast<wint_t>(c))); }
  static bool IsDigit(Char c) { return c >= L'0' && c <= L'9'; }

  // Both engines write their reports as narrow text, so that neither engine's output makes
  // the standard error stream refuse the other's. Each character goes through the C library's
  // conversion of the process's locale; one that it cannot convert is written as '?', so the
  // whole pattern still shows and the caret still stands under its character.
  static void WriteSyntaxError(const Text& source, int parsePos, bool metaChar) {
    std::string narrow;
    std::mbstate_t shift{};
    char bytes[MB_LEN_MAX];
    for (Char c : source) {
      if (c == 0) break;
      size_t n = std::wcrtomb(bytes, c, &shift);
      if (n == static_cast<size_t>(-1)) {
        shift = std::mbstate_t{};
        narrow += '?';
      } else {
        narrow.append(bytes, n);
      }
    }
    NarrowTraits::WriteSyntaxError(narrow, parsePos, metaChar);
  }
};
