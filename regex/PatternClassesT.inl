// Bracket classes, escapes, named classes and the set operations on member texts, over a
// traits type. A member text lists the members of a class; order and repeats carry nothing.
#pragma once
#include <algorithm>
#include <cstring>
#include <iterator>

#include "PatternT.h"

namespace pattern_classes {
template <class Text>
Text FromAscii(const char* s) {
  return Text(s, s + std::strlen(s));
}
template <class Text, class FromCode>
Text CodeRange(int first, int last, FromCode fromCode) {
  Text t;
  for (int k = first; k <= last; ++k) t += fromCode(k);
  return t;
}
// The members of text, each once, in ascending order.
template <class Text>
Text SortedMembers(Text text) {
  std::sort(text.begin(), text.end());
  text.erase(std::unique(text.begin(), text.end()), text.end());
  return text;
}
constexpr const char* kDigits = "0123456789";
constexpr const char* kWordChars =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
constexpr const char* kSpaceChars = " \t\r\n\f";
constexpr const char* kLower = "abcdefghijklmnopqrstuvwxyz";
constexpr const char* kUpper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
}  // namespace pattern_classes

template <class Tr>
typename PatternT<Tr>::Text PatternT<Tr>::ParseEscape(bool& negated, bool& quote) {
  using namespace pattern_classes;
  negated = false;
  quote = false;
  if (parsePos >= TextLength()) {
    ReportSyntaxError();
    return Text();
  }
  auto c = sourceText[parsePos++];
  switch (c) {
    case 'd': return FromAscii<Text>(kDigits);
    case 'D': negated = true; return FromAscii<Text>(kDigits);
    case 's': return FromAscii<Text>(kSpaceChars);
    case 'S': negated = true; return FromAscii<Text>(kSpaceChars);
    case 'w': return FromAscii<Text>(kWordChars);
    case 'W': negated = true; return FromAscii<Text>(kWordChars);
    case 'p': return ParseClassName();
    case 'P': negated = true; return ParseClassName();
    case 'Q': quote = true; return Text();
    case 't': return Text(1, Char('\t'));
    case 'n': return Text(1, Char('\n'));
    case 'r': return Text(1, Char('\r'));
    case 'f': return Text(1, Char('\f'));
    case 'a': return Text(1, Char('\a'));
    case 'e': return Text(1, Char('\r'));  // the system's "\e" is carriage return
    case '0': return ParseOctal();
    case 'x': return ParseHex();
    default: return Text(1, c);
  }
}

template <class Tr>
typename PatternT<Tr>::Text PatternT<Tr>::ParseClassName() {
  using namespace pattern_classes;
  auto code = [](int k) { return Tr::FromCode(k); };
  struct Named {
    const char* name;
    int kind;
  };
  static const Named kNames[] = {{"{Lower}", 0}, {"{Upper}", 1}, {"{Alpha}", 2},
                                 {"{Digit}", 3}, {"{Alnum}", 4}, {"{Punct}", 5},
                                 {"{Graph}", 6}, {"{Print}", 7}, {"{Blank}", 8},
                                 {"{Space}", 9}, {"{Cntrl}", 10}, {"{ASCII}", 11},
                                 {"{XDigit}", 12}};
  for (const Named& entry : kNames) {
    Text name = FromAscii<Text>(entry.name);
    if (sourceText.compare(parsePos, name.size(), name) != 0) continue;
    parsePos += static_cast<int>(name.size());
    switch (entry.kind) {
      case 0: return FromAscii<Text>(kLower);
      case 1: return FromAscii<Text>(kUpper);
      case 2: return FromAscii<Text>(kLower) + FromAscii<Text>(kUpper);
      case 3: return FromAscii<Text>(kDigits);
      case 4: return FromAscii<Text>(kLower) + FromAscii<Text>(kUpper) + FromAscii<Text>(kDigits);
      case 5:
        return CodeRange<Text>(33, 47, code) + CodeRange<Text>(58, 64, code) +
               CodeRange<Text>(91, 96, code) + CodeRange<Text>(123, 126, code);
      case 6:
      case 7: return CodeRange<Text>(33, 126, code);
      case 8: return FromAscii<Text>(" \t");
      case 9: return CodeRange<Text>(9, 13, code) + Text(1, Char(' '));
      case 10: return CodeRange<Text>(0, 31, code) + Text(1, Char(127));
      case 11: return CodeRange<Text>(0, 127, code);
      default: return FromAscii<Text>("abcdefABCDEF0123456789");
    }
  }
  ReportSyntaxError();
  return Text();
}

template <class Tr>
typename PatternT<Tr>::Text PatternT<Tr>::ParseOctal() {
  int length = TextLength();
  auto at = [&](int i) { return parsePos + i < length ? sourceText[parsePos + i] : Char(-1); };
  auto isOctal = [](Char c) { return c >= '0' && c <= '7'; };
  Char d1 = at(0), d2 = at(1), d3 = at(2);
  if (!isOctal(d1) || !isOctal(d2)) {
    ReportSyntaxError();
    return Text(1, Char(' '));
  }
  int value = (d1 - '0') * 8 + (d2 - '0');
  parsePos += 2;
  // A third digit belongs to the code only while the code stays below 256.
  if (d1 <= '3' && isOctal(d3)) {
    value = value * 8 + (d3 - '0');
    ++parsePos;
  }
  return Text(1, Tr::FromCode(value));
}

template <class Tr>
typename PatternT<Tr>::Text PatternT<Tr>::ParseHex() {
  int length = TextLength();
  auto digit = [&](int i) -> int {
    if (parsePos + i >= length) return -1;
    auto c = sourceText[parsePos + i];
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (Tr::kHexFourDigits && digit(0) >= 0 && digit(1) >= 0 && digit(2) >= 0 && digit(3) >= 0) {
    int value = ((digit(0) * 16 + digit(1)) * 16 + digit(2)) * 16 + digit(3);
    parsePos += 4;
    return Text(1, Tr::FromCode(value));
  }
  if (digit(0) >= 0 && digit(1) >= 0) {
    int value = digit(0) * 16 + digit(1);
    parsePos += 2;
    return Text(1, Tr::FromCode(value));
  }
  return Text(1, Char(' '));
}

template <class Tr>
typename PatternT<Tr>::Text PatternT<Tr>::UniteClasses(const Text& a, const Text& b) {
  return pattern_classes::SortedMembers(a + b);
}

template <class Tr>
typename PatternT<Tr>::Text PatternT<Tr>::IntersectClasses(const Text& a, const Text& b) {
  Text x = pattern_classes::SortedMembers(a), y = pattern_classes::SortedMembers(b), both;
  std::set_intersection(x.begin(), x.end(), y.begin(), y.end(), std::back_inserter(both));
  return both;
}

template <class Tr>
typename PatternT<Tr>::Text PatternT<Tr>::ComplementClass(const Text& members) {
  bool present[256] = {};
  for (Char c : members) {
    int code = Tr::BitIndex(c);
    if (code < 0) continue;
    present[code] = true;
    if (flags & PatternFlag::FoldCase) {
      if (code >= 'a' && code <= 'z') present[code - 'a' + 'A'] = true;
      if (code >= 'A' && code <= 'Z') present[code - 'A' + 'a'] = true;
    }
  }
  Text result;
  for (int k = 255; k >= 0; --k)
    if (!present[k]) result += Tr::FromCode(k);
  return result;
}

template <class Tr>
typename PatternT<Tr>::Text PatternT<Tr>::ExpandRange(Char first, Char last) {
  Text result;
  if constexpr (Tr::kRangeWraps) {
    int code = Tr::BitIndex(first), end = Tr::BitIndex(last);
    for (;;) {
      result += Tr::FromCode(code);
      if (code == end) break;
      code = (code + 1) & 255;
    }
  } else {
    long long span = static_cast<long long>(last) - first + 1;
    if (span < 1 || span > Tr::kMaxRangeCodes) {
      ReportSyntaxError();
      return result;
    }
    for (long long k = first; k <= last; ++k) result += static_cast<Char>(k);
  }
  return result;
}

template <class Tr>
typename PatternT<Tr>::Text PatternT<Tr>::ParseClass() {
  Text result;
  if (!EnterNesting()) {
    parsePos = TextLength();
    return result;
  }
  pattern_compiler::NestingExit leave{parseDepth};
  int length = TextLength();
  bool complement = false;
  if (parsePos < length && sourceText[parsePos] == '^') {
    complement = true;
    ++parsePos;
  }
  auto stop = [&]() { parsePos = length; };
  auto dashFollows = [&]() { return parsePos < length && sourceText[parsePos] == '-'; };
  // Adds a range from first, the "-" being at parsePos.
  auto range = [&](Char first) {
    ++parsePos;
    if (parsePos >= length) {
      ReportSyntaxError();
      return;
    }
    Char lastChar = sourceText[parsePos++];
    if (lastChar == '\\') {
      bool negated = false, quote = false;
      Text escaped = ParseEscape(negated, quote);
      if (quote) {
        ReportSyntaxError();
        stop();
        return;
      }
      // An escape that yields nothing (a backslash at the end, an unknown class name) has
      // reported itself already; the range then has no end and adds nothing. A negated escape
      // stands for many characters even when its name was unknown, and cannot end a range.
      if (escaped.empty() && !negated) return;
      if (negated || escaped.size() != 1) {
        ReportSyntaxError();
        return;
      }
      lastChar = escaped[0];
    } else if (lastChar == '[' || lastChar == ']' || lastChar == '-' || lastChar == '&') {
      ReportSyntaxError();
      stop();
      return;
    }
    result = UniteClasses(result, ExpandRange(first, lastChar));
  };
  while (parsePos < length && sourceText[parsePos] != ']') {
    Char c = sourceText[parsePos++];
    if (c == '[') {
      result = UniteClasses(result, ParseClass());
    } else if (c == '&' && parsePos < length && sourceText[parsePos] == '&') {
      ++parsePos;
      if (parsePos < length && sourceText[parsePos] == '[') {
        ++parsePos;
        result = IntersectClasses(result, ParseClass());
      } else {
        ReportSyntaxError();
        stop();
      }
    } else if (c == '\\') {
      bool negated = false, quote = false;
      Text escaped = ParseEscape(negated, quote);
      if (quote) {
        ReportSyntaxError();
        stop();
      } else if (negated || escaped.size() > 1) {
        if (negated) escaped = ComplementClass(escaped);
        result = UniteClasses(result, escaped);
      } else if (!escaped.empty() && dashFollows()) {
        range(escaped[0]);
      } else {
        result = UniteClasses(result, escaped);
      }
    } else if (dashFollows()) {
      range(c);
    } else {
      result += c;
    }
  }
  if (parsePos < length && sourceText[parsePos] == ']') {
    ++parsePos;
    if (complement) result = ComplementClass(result);
  } else {
    ReportSyntaxError();
    result.clear();
  }
  return result;
}
