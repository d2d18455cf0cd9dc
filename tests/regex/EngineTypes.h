// The two pattern engines as test type parameters, so that one table of cases runs through
// both. Case texts are written narrow; the wide engine gets each byte as the character of
// the same code (0 to 255).
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "Pattern.h"
#include "UPattern.h"

// Short names of the compile flags for the case tables.
constexpr unsigned kI = PatternFlag::FoldCase;
constexpr unsigned kQ = PatternFlag::QuoteWhole;
constexpr unsigned kS = PatternFlag::DotAnyChar;
constexpr unsigned kM = PatternFlag::LineAnchors;
constexpr unsigned kD = PatternFlag::LineFeedOnly;

// How many syntax-error reports a captured standard error holds.
inline int CountReports(const std::string& err) {
  int count = 0;
  for (size_t at = err.find("Syntax Error near here."); at != std::string::npos;
       at = err.find("Syntax Error near here.", at + 1))
    ++count;
  return count;
}

struct NarrowEngine {
  using PatternType = Pattern;
  using StateType = MatchState;
  using Text = std::string;
  static Text T(const std::string& s) { return s; }
};

struct WideEngine {
  using PatternType = UPattern;
  using StateType = MatchUState;
  using Text = std::wstring;
  static Text T(const std::string& s) {
    Text wide;
    for (unsigned char c : s) wide += static_cast<wchar_t>(c);
    return wide;
  }
};

template <class E>
std::vector<typename E::Text> TextsOf(const std::vector<std::string>& narrow) {
  std::vector<typename E::Text> texts;
  for (const std::string& s : narrow) texts.push_back(E::T(s));
  return texts;
}

// A pattern compiled in engine E for the length of one test; null when the text does not
// compile.
template <class E>
struct Compiled {
  explicit Compiled(const std::string& text, unsigned flags = 0)
      : pattern(E::PatternType::Compile(E::T(text), flags)) {}
  ~Compiled() { delete pattern; }
  Compiled(const Compiled&) = delete;
  Compiled& operator=(const Compiled&) = delete;
  typename E::PatternType* pattern;
};

using BothEngines = ::testing::Types<NarrowEngine, WideEngine>;

struct EngineNames {
  template <class E>
  static std::string GetName(int) {
    return std::is_same<E, NarrowEngine>::value ? "Narrow" : "Wide";
  }
};
