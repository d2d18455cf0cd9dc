// The pattern compiler over a traits type: a recursive-descent parser that reads the pattern
// text once and links the match nodes as it goes. Every node is entered in the pattern's node
// map the moment it is made, so a failed compile frees everything by deleting the pattern.
#pragma once
#include "PatternT.h"

// Bound on the nesting of levels (groups, later alternatives, named-pattern expansions) and
// of bracket classes; deeper patterns are refused as a syntax error.
constexpr int kMaxParseNesting = 1000;

template <class Tr>
typename PatternT<Tr>::PatternType* PatternT<Tr>::Compile(const Text& text,
                                                          unsigned compileFlags) {
  auto* pattern = new PatternType(text);
  pattern->flags = compileFlags;
  if (compileFlags & PatternFlag::QuoteWhole) {
    Node* start = pattern->RegisterNode(new typename Tr::StartNode());
    Node* literal = pattern->template RegisterFoldingNode<typename Tr::QuoteNode,
                                                          typename Tr::CIQuoteNode>(text);
    start->next = literal;
    literal->next = pattern->RegisterNode(new typename Tr::EndNode());
    pattern->head = start;
    pattern->groupCount = 1;
  } else {
    Node* tail = nullptr;
    Node* top = pattern->ParseSequence(false, false, &tail, 0, false);
    if (!top) {
      delete pattern;
      return nullptr;
    }
    if (!top->AnchorsInputStart()) {
      Node* start = pattern->RegisterNode(new typename Tr::StartNode());
      start->next = top;
      top = start;
    }
    tail->next = pattern->RegisterNode(new typename Tr::EndNode());
    pattern->head = top;
  }
  pattern->ownMatchState = new State(pattern, Text());
  return pattern;
}

template <class Tr>
bool PatternT<Tr>::EnterNesting() {
  if (parseDepth >= kMaxParseNesting) {
    ReportSyntaxError();
    return false;
  }
  ++parseDepth;
  return true;
}

template <class Tr>
template <class Plain, class Folding, class... Args>
typename PatternT<Tr>::Node* PatternT<Tr>::RegisterFoldingNode(const Args&... args) {
  if (flags & PatternFlag::FoldCase) return RegisterNode<Node>(new Folding(args...));
  return RegisterNode<Node>(new Plain(args...));
}

namespace pattern_compiler {
enum class LevelKind { Top, Alternative, Capturing, NonCapturing, LookAhead, Atomic };
}  // namespace pattern_compiler

template <class Tr>
typename PatternT<Tr>::Node* PatternT<Tr>::ParseSequence(bool inParen, bool inOr, Node** tail,
                                                         int branchGroupIndex,
                                                         bool branchOpensGroup) {
  using pattern_compiler::LevelKind;
  if (!EnterNesting()) return nullptr;
  pattern_compiler::NestingExit leave{parseDepth};

  int index = groupCount++;
  unsigned savedFlags = flags;
  LevelKind kind;
  bool positive = true;
  Node* levelHead = nullptr;
  int length = TextLength();

  if (inOr) {
    --groupCount;
    index = branchGroupIndex;
    kind = LevelKind::Alternative;
    if (inParen && branchOpensGroup)
      levelHead = RegisterNode(new typename Tr::GroupHeadNode(index));
    else
      levelHead = RegisterNode(new typename Tr::SubStartNode());
  } else if (!inParen) {
    kind = LevelKind::Top;
    levelHead = RegisterNode(new typename Tr::SubStartNode());
  } else if (parsePos >= length || sourceText[parsePos] != '?') {
    kind = LevelKind::Capturing;
    levelHead = RegisterNode(new typename Tr::GroupHeadNode(index));
  } else {
    ++parsePos;
    --groupCount;
    // Past the end of the text these read as NUL, which none of the tests below accepts.
    auto c = parsePos < length ? sourceText[parsePos] : 0;
    auto c2 = parsePos + 1 < length ? sourceText[parsePos + 1] : 0;
    if (c == ':') {
      ++parsePos;
      kind = LevelKind::NonCapturing;
      index = --nonCapturingCounter;
      levelHead = RegisterNode(new typename Tr::GroupHeadNode(index));
    } else if (c == '=' || c == '!') {
      ++parsePos;
      kind = LevelKind::LookAhead;
      positive = c == '=';
      levelHead = RegisterNode(new typename Tr::SubStartNode());
    } else if (c == '<' && (c2 == '=' || c2 == '!')) {
      parsePos += 2;
      return ParseLookBehind(c2 == '=', tail);
    } else if (c == '>') {
      ++parsePos;
      kind = LevelKind::Atomic;
      levelHead = RegisterNode(new typename Tr::SubStartNode());
    } else {
      // Inline flags, up to ":" (a non-capturing group under them) or ")" (they hold until
      // the enclosing level ends).
      bool clearing = false;
      bool colon = false;
      for (;;) {
        if (parsePos >= length) {
          ReportSyntaxError();
          return nullptr;
        }
        auto f = sourceText[parsePos++];
        unsigned bit = 0;
        if (f == 'i') bit = PatternFlag::FoldCase;
        else if (f == 's') bit = PatternFlag::DotAnyChar;
        else if (f == 'm') bit = PatternFlag::LineAnchors;
        else if (f == 'd') bit = PatternFlag::LineFeedOnly;
        if (bit) {
          if (clearing) flags &= ~bit;
          else flags |= bit;
        } else if (f == '-' && !clearing) {
          clearing = true;
        } else if (f == ':') {
          colon = true;
          break;
        } else if (f == ')') {
          break;
        } else {
          ReportSyntaxError();
          return nullptr;
        }
      }
      if (!colon) {
        Node* always = RegisterNode(new typename Tr::LookBehindNode(Text(), true));
        if (tail) *tail = always;
        return always;
      }
      kind = LevelKind::NonCapturing;
      index = --nonCapturingCounter;
      levelHead = RegisterNode(new typename Tr::GroupHeadNode(index));
    }
  }

  Node* last = levelHead;
  auto link = [&last](Node* node) {
    last->next = node;
    last = node;
  };
  bool capturing = kind == LevelKind::Capturing || kind == LevelKind::NonCapturing;
  bool opensGroupBranches = capturing || (kind == LevelKind::Alternative && branchOpensGroup);

  for (;;) {
    if (parsePos >= length) break;
    if (syntaxError) return nullptr;
    auto c = sourceText[parsePos++];
    Node* atom = nullptr;
    switch (c) {
      case '(': {
        Node* groupTail = nullptr;
        Node* groupHead = ParseSequence(true, false, &groupTail, 0, false);
        if (!groupHead) {
          ReportSyntaxError();
          continue;
        }
        if (groupHead->OpensGroup()) ApplyGroupQuantifier(groupHead, groupTail, index);
        last->next = groupHead;
        last = groupTail;
        continue;
      }
      case ')':
        if (!inParen) {
          ReportSyntaxError();
          continue;
        }
        if (kind == LevelKind::Alternative) {
          --parsePos;
          link(RegisterNode(new typename Tr::AcceptNode()));
          flags = savedFlags;
          if (tail) *tail = last;
          return levelHead;
        }
        if (kind == LevelKind::LookAhead || kind == LevelKind::Atomic) {
          link(RegisterNode(new typename Tr::AcceptNode()));
          flags = savedFlags;
          Node* whole;
          if (kind == LevelKind::LookAhead)
            whole = RegisterNode(new typename Tr::LookAheadNode(levelHead, positive));
          else
            whole = RegisterNode(
                new typename Tr::PossessiveQuantifierNode(static_cast<PatternType*>(this),
                                                          levelHead, 1, 1));
          if (tail) *tail = whole;
          return whole;
        }
        {
          Node* groupTail = RegisterNode(new typename Tr::GroupTailNode(index));
          link(groupTail);
          ApplyGroupQuantifier(levelHead, groupTail, index);
          if (tail) *tail = groupTail;
          flags = savedFlags;
          return levelHead;
        }
      case '|': {
        Node* firstEnd = RegisterNode(new typename Tr::AcceptNode());
        link(firstEnd);
        Node* restTail = nullptr;
        Node* restHead = ParseSequence(inParen, true, &restTail, index, opensGroupBranches);
        if (!restHead) {
          flags = savedFlags;
          return nullptr;
        }
        levelHead = RegisterNode(new typename Tr::OrNode(levelHead, restHead));
        Node* join = RegisterNode(new typename Tr::AcceptNode());
        firstEnd->next = join;
        restTail->next = join;
        last = join;
        continue;
      }
      case '*':
      case '+':
      case '?':
      case ']':
      case '}':
        ReportSyntaxError();
        continue;
      case '^':
        if (flags & PatternFlag::LineAnchors)
          atom = RegisterNode(new typename Tr::StartOfLineNode());
        else
          atom = RegisterNode(new typename Tr::StartOfInputNode());
        break;
      case '$':
        if (flags & PatternFlag::LineAnchors)
          atom = RegisterNode(new typename Tr::EndOfLineNode());
        else
          atom = RegisterNode(new typename Tr::EndOfInputNode(false));
        break;
      case '.': {
        Text refused;
        if (!(flags & PatternFlag::DotAnyChar)) {
          refused += Char('\n');
          if (!(flags & PatternFlag::LineFeedOnly)) refused += Char('\r');
        }
        atom = RegisterNode(new typename Tr::ClassNode(refused, true));
        break;
      }
      case '[': {
        Text members = ParseClass();
        atom = RegisterFoldingNode<typename Tr::ClassNode, typename Tr::CIClassNode>(members,
                                                                                    false);
        break;
      }
      case '{': {
        Node* expansionTail = nullptr;
        Node* expansion = ExpandNamedPattern(&expansionTail);
        // The expansion is linked as it stands; a quantifier behind it is then read where an
        // atom should begin and refused, so no cycle is ever linked into the graph.
        if (expansion) {
          last->next = expansion;
          last = expansionTail;
        }
        continue;
      }
      case '\\': {
        if (parsePos >= length) {
          ReportSyntaxError();
          continue;
        }
        auto e = sourceText[parsePos];
        if (e >= '1' && e <= '9') {
          atom = ParseBackReference();
          break;
        }
        if (e == 'A' || e == 'z' || e == 'Z' || e == 'G' || e == 'b' || e == 'B') {
          ++parsePos;
          if (e == 'A') atom = RegisterNode(new typename Tr::StartOfInputNode());
          else if (e == 'z') atom = RegisterNode(new typename Tr::EndOfInputNode(false));
          else if (e == 'Z') atom = RegisterNode(new typename Tr::EndOfInputNode(true));
          else if (e == 'G') atom = RegisterNode(new typename Tr::EndOfMatchNode());
          else atom = RegisterNode(new typename Tr::WordBoundaryNode(e == 'b'));
          break;
        }
        bool negated = false, quote = false;
        Text members = ParseEscape(negated, quote);
        if (quote) {
          atom = ParseQuote();
        } else if (members.size() > 1 || negated) {
          atom = RegisterFoldingNode<typename Tr::ClassNode, typename Tr::CIClassNode>(members,
                                                                                      negated);
        } else {
          atom = RegisterNode(new typename Tr::CharNode(members.empty() ? Char(' ') : members[0]));
        }
        break;
      }
      default:
        atom = RegisterFoldingNode<typename Tr::CharNode, typename Tr::CICharNode>(c);
        break;
    }
    link(QuantifyAtom(atom));
  }

  // End of the text.
  if (inParen) {
    ReportSyntaxError();
    flags = savedFlags;
    return nullptr;
  }
  if (kind == LevelKind::Alternative) link(RegisterNode(new typename Tr::AcceptNode()));
  if (tail) *tail = last;
  flags = savedFlags;
  return syntaxError ? nullptr : levelHead;
}

template <class Tr>
bool PatternT<Tr>::ReadQuantifier(int& minimum, int& maximum, LoopKind& kind) {
  int length = TextLength();
  if (parsePos >= length) return false;
  auto c = sourceText[parsePos];
  if (c == '*' || c == '+' || c == '?') {
    minimum = c == '+' ? 1 : 0;
    maximum = c == '?' ? 1 : kUnboundedCount;
    ++parsePos;
  } else if (c == '{') {
    if (!ParseBounds(minimum, maximum)) return false;
  } else {
    return false;
  }
  kind = LoopKind::Greedy;
  if (parsePos < length && sourceText[parsePos] == '?') {
    ++parsePos;
    kind = LoopKind::Reluctant;
  } else if (parsePos < length && sourceText[parsePos] == '+') {
    ++parsePos;
    kind = LoopKind::Possessive;
  }
  return true;
}

template <class Tr>
typename PatternT<Tr>::Node* PatternT<Tr>::QuantifyAtom(Node* atom) {
  int minimum = 0, maximum = 0;
  LoopKind kind;
  if (!ReadQuantifier(minimum, maximum, kind)) return atom;
  auto* self = static_cast<PatternType*>(this);
  if (kind == LoopKind::Reluctant)
    return RegisterNode(new typename Tr::LazyQuantifierNode(self, atom, minimum, maximum));
  if (kind == LoopKind::Possessive)
    return RegisterNode(new typename Tr::PossessiveQuantifierNode(self, atom, minimum, maximum));
  return RegisterNode(new typename Tr::GreedyQuantifierNode(self, atom, minimum, maximum));
}

template <class Tr>
typename PatternT<Tr>::Node* PatternT<Tr>::QuantifyGroup(Node* groupHead, Node* groupTail,
                                                         int groupIndex) {
  int minimum = 0, maximum = 0;
  LoopKind kind;
  if (!ReadQuantifier(minimum, maximum, kind)) return nullptr;
  Node* prologue = RegisterNode(new typename Tr::GroupLoopPrologueNode(groupIndex));
  Node* loop = RegisterNode(
      new typename Tr::GroupLoopNode(groupHead, minimum, maximum, groupIndex, kind));
  prologue->next = loop;
  groupTail->next = loop;
  return prologue;
}

template <class Tr>
void PatternT<Tr>::ApplyGroupQuantifier(Node*& head, Node*& tail, int groupIndex) {
  Node* prologue = QuantifyGroup(head, tail, groupIndex);
  if (!prologue) return;
  head = prologue;
  tail = prologue->next;
}

template <class Tr>
bool PatternT<Tr>::ParseBounds(int& minimum, int& maximum) {
  int length = TextLength();
  int start = parsePos + 1;
  int close = start;
  while (close < length && sourceText[close] != '}') ++close;
  int comma = start;
  while (comma < close && sourceText[comma] != ',') ++comma;
  if (close >= length) {
    ReportSyntaxError();
    return false;
  }
  bool allDigits = true;
  for (int i = start; i < close; ++i)
    if (i != comma && !Tr::IsDigit(sourceText[i])) allDigits = false;
  if (!allDigits) {
    if (comma != close) ReportSyntaxError();
    return false;
  }
  if (comma == close) {
    minimum = maximum = close > start ? ParseDecimal(start, close - 1) : 0;
  } else {
    minimum = comma > start ? ParseDecimal(start, comma - 1) : 0;
    maximum = close > comma + 1 ? ParseDecimal(comma + 1, close - 1) : kUnboundedCount;
  }
  parsePos = close + 1;
  return true;
}

// Digit runs beyond the int range saturate at its largest value.
template <class Tr>
int PatternT<Tr>::ParseDecimal(int first, int last) {
  long long value = 0;
  for (int i = first; i <= last; ++i) value = AppendDecimalDigit(value, sourceText[i] - '0');
  return static_cast<int>(value);
}

template <class Tr>
typename PatternT<Tr>::Node* PatternT<Tr>::ParseBackReference() {
  int length = TextLength();
  long long value = 0;
  while (parsePos < length && Tr::IsDigit(sourceText[parsePos]) &&
         (value < 10 || value < groupCount)) {
    value = AppendDecimalDigit(value, sourceText[parsePos] - '0');
    ++parsePos;
  }
  return RegisterNode(new typename Tr::ReferenceNode(static_cast<int>(value)));
}

template <class Tr>
typename PatternT<Tr>::Node* PatternT<Tr>::ExpandNamedPattern(Node** tail) {
  int length = TextLength();
  int close = parsePos;
  while (close < length && sourceText[close] != '}') ++close;
  if (close >= length) {
    ReportSyntaxError();
    return nullptr;
  }
  Text name = sourceText.substr(parsePos, close - parsePos);
  auto isLetter = [](Char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  bool wellFormed = name.size() >= 2 && isLetter(name[0]);
  for (size_t i = 1; wellFormed && i < name.size(); ++i)
    wellFormed = isLetter(name[i]) || Tr::IsDigit(name[i]);
  if (!wellFormed) {
    ReportSyntaxError();
    return nullptr;
  }
  auto found = PatternType::namedPatterns.find(name);
  if (found == PatternType::namedPatterns.end()) {
    ReportSyntaxError();
    return nullptr;
  }
  // A name met again inside its own expansion would expand without end.
  for (const Text& open : expandingNames) {
    if (open == name) {
      parsePos = close + 1;
      ReportSyntaxError();
      return nullptr;
    }
  }
  Text savedText = sourceText;
  int resumePos = close + 1;
  unsigned savedFlags = flags;
  expandingNames.push_back(name);
  sourceText = found->second.first;
  parsePos = 0;
  flags = static_cast<unsigned>(found->second.second);
  --groupCount;
  Node* expansion = ParseSequence(false, false, tail, 0, false);
  expandingNames.pop_back();
  sourceText = savedText;
  parsePos = resumePos;
  flags = savedFlags;
  if (syntaxError) {
    if (tail) *tail = nullptr;
    return nullptr;
  }
  return expansion;
}

template <class Tr>
typename PatternT<Tr>::Node* PatternT<Tr>::ParseLookBehind(bool positive, Node** tail) {
  int length = TextLength();
  Text literal;
  bool closed = false;
  while (parsePos < length) {
    auto c = sourceText[parsePos++];
    if (c == ')') {
      closed = true;
      break;
    }
    if (c == '\\') {
      if (parsePos + 1 >= length) {
        ReportSyntaxError();
        break;
      }
      c = sourceText[parsePos++];
    }
    literal += c;
  }
  if (!closed && !syntaxError) ReportSyntaxError();
  Node* node = RegisterNode(new typename Tr::LookBehindNode(literal, positive));
  if (tail) *tail = node;
  return node;
}

template <class Tr>
typename PatternT<Tr>::Node* PatternT<Tr>::ParseQuote() {
  int length = TextLength();
  Text literal;
  bool closed = false;
  while (parsePos < length) {
    auto c = sourceText[parsePos++];
    if (c == '\\' && parsePos < length) {
      auto d = sourceText[parsePos++];
      if (d == 'E') {
        closed = true;
        break;
      }
      literal += d;
    } else if (c == '\\') {
      break;
    } else {
      literal += c;
    }
  }
  if (!closed) ReportSyntaxError();
  return RegisterFoldingNode<typename Tr::QuoteNode, typename Tr::CIQuoteNode>(literal);
}
