// Match states and the public operations of a compiled pattern, over a traits type. Included
// by the source file that instantiates an engine (Pattern.cpp for the narrow one).
#pragma once
#include <climits>
#include <cstdio>

#include "LargeStackRunner.h"
#include "PatternT.h"

// ---- match state ----

template <class Tr>
int* MatchStateT<Tr>::NewGroupArray() const {
  int* block = new int[groupCount + nonCapturingCount];
  for (int i = 0; i < groupCount + nonCapturingCount; ++i) block[i] = -1;
  return block + nonCapturingCount;
}

template <class Tr>
void MatchStateT<Tr>::FreeGroupArray(int* entries) const {
  delete[] (entries - nonCapturingCount);
}

template <class Tr>
MatchStateT<Tr>::MatchStateT(PatternType* owner, const Text& subject)
    : pattern(owner),
      text(subject),
      previousMatchEnd(0),
      groupCount(owner->groupCount),
      nonCapturingCount(-owner->nonCapturingCounter),
      hasMatched(0),
      matchMode(0),
      stackFloor(nullptr),
      stepsLeft(kSearchStepBudget),
      searchAborted(false),
      stepsExhausted(false) {
  // Every entry starts defined (-1), then the capturing groups read as the empty text at 0.
  groupStart = NewGroupArray();
  groupEnd = NewGroupArray();
  loopCount = NewGroupArray();
  loopStart = NewGroupArray();
  loopSavedCount = NewGroupArray();
  for (int g = 0; g < groupCount; ++g) groupStart[g] = groupEnd[g] = 0;
}

template <class Tr>
MatchStateT<Tr>::~MatchStateT() {
  FreeGroupArray(groupStart);
  FreeGroupArray(groupEnd);
  FreeGroupArray(loopCount);
  FreeGroupArray(loopStart);
  FreeGroupArray(loopSavedCount);
}

template <class Tr>
void MatchStateT<Tr>::InvalidateGroups() {
  previousMatchEnd = 0;
  for (int g = 0; g < groupCount; ++g) groupStart[g] = groupEnd[g] = loopCount[g] = -1;
  for (int g = -1; g >= -nonCapturingCount; --g) loopCount[g] = -1;
}

template <class Tr>
void MatchStateT<Tr>::Restart() {
  InvalidateGroups();
  hasMatched = 0;
}

template <class Tr>
void MatchStateT<Tr>::SetText(const Text& newText) {
  text = newText;
  Restart();
}

template <class Tr>
int MatchStateT<Tr>::GetGroupStart(int group) const {
  return group < 0 || group >= groupCount ? -1 : groupStart[group];
}

template <class Tr>
int MatchStateT<Tr>::GetGroupEnd(int group) const {
  return group < 0 || group >= groupCount ? -1 : groupEnd[group];
}

template <class Tr>
typename MatchStateT<Tr>::Text MatchStateT<Tr>::GetGroupText(int group) const {
  if (group < 0 || group >= groupCount) return Text();
  int s = groupStart[group], e = groupEnd[group];
  if (s < 0 || e < 0 || e < s) return Text();
  return text.substr(s, e - s);
}

namespace pattern_search {
template <class Tr>
struct LargeStackSearch {
  MatchStateT<Tr>* state;
  int pos;
  int result;
  static void Run(void* raw) {
    auto* job = static_cast<LargeStackSearch*>(raw);
    MatchStateT<Tr>* st = job->state;
    st->stackFloor =
        static_cast<const char*>(__builtin_frame_address(0)) - kLargeStackBudgetBytes;
    job->result = st->pattern->head->MatchAt(st->text, static_cast<typename Tr::State*>(st),
                                             job->pos);
  }
};
}  // namespace pattern_search

template <class Tr>
int MatchStateT<Tr>::RunSearch(int pos) {
  auto* self = static_cast<typename Tr::State*>(this);
  auto startOver = [this, pos] {
    InvalidateGroups();
    previousMatchEnd = pos;
    stepsLeft = kSearchStepBudget;
    searchAborted = false;
    stepsExhausted = false;
  };
  startOver();
  stackFloor = CallerStackFloor(static_cast<const char*>(__builtin_frame_address(0)));
  int result = pattern->head->MatchAt(text, self, pos);
  if (!searchAborted) return result;

  // The search nested deeper than the caller's stack allows: run it again from the start on
  // a large stack, with its full step budget. Every node has put its values back on the way
  // out. A search that ran out of steps would only run out again.
  bool ran = true;
  if (!stepsExhausted) {
    startOver();
    pattern_search::LargeStackSearch<Tr> job{this, pos, -1};
    ran = RunOnLargeStack(&pattern_search::LargeStackSearch<Tr>::Run, &job);
    if (ran && !searchAborted) return job.result;
  }
  searchAborted = false;
  if (ran && stepsExhausted)
    std::fputs("Pattern search abandoned: the search took more steps than it is allowed.\n",
               stderr);
  else
    std::fputs("Pattern search abandoned: the subject text needs more nesting than the "
               "search allows.\n",
               stderr);
  return -1;
}

template <class Tr>
bool MatchStateT<Tr>::MatchWhole() {
  matchMode = WholeTextMode;
  hasMatched = 0;
  int result = RunSearch(0);
  return result == static_cast<int>(text.size());
}

template <class Tr>
bool MatchStateT<Tr>::FindFirst() {
  matchMode = 0;
  int result = RunSearch(0);
  groupEnd[0] = result;
  if (result < 0) return false;
  hasMatched = 1;
  return true;
}

template <class Tr>
bool MatchStateT<Tr>::FindNext() {
  if (!hasMatched) return FindFirst();
  int s = groupStart[0], e = groupEnd[0];
  // A search that failed left no end: searching on would start over from the text's start.
  if (e < 0) return false;
  matchMode = 0;
  int p = s == e ? e + 1 : e;
  if (p >= static_cast<int>(text.size())) {
    InvalidateGroups();
    groupStart[0] = p;
    return false;
  }
  int result = RunSearch(p);
  groupEnd[0] = result;
  return result >= 0;
}

template <class Tr>
std::vector<typename MatchStateT<Tr>::Text> MatchStateT<Tr>::CollectMatches() {
  std::vector<Text> matches;
  Restart();
  while (FindNext()) matches.push_back(GetGroupText(0));
  return matches;
}

template <class Tr>
std::vector<typename MatchStateT<Tr>::Text> MatchStateT<Tr>::GetGroupTexts(
    bool includeGroupZero) const {
  std::vector<Text> texts;
  for (int g = includeGroupZero ? 0 : 1; g < groupCount; ++g) texts.push_back(GetGroupText(g));
  return texts;
}

template <class Tr>
typename MatchStateT<Tr>::Text MatchStateT<Tr>::ExpandReplacement(
    const Text& replacement) const {
  Text result;
  size_t n = replacement.size();
  for (size_t i = 0; i < n; ++i) {
    auto c = replacement[i];
    if (c != '\\') {
      result += c;
      continue;
    }
    if (i + 1 >= n) {
      result += c;
      break;
    }
    auto d = replacement[i + 1];
    if (Tr::IsDigit(d)) {
      // The group number saturates at the int range; such a group never exists.
      long long group = 0;
      size_t j = i + 1;
      for (; j < n && Tr::IsDigit(replacement[j]); ++j)
        group = AppendDecimalDigit(group, replacement[j] - '0');
      result += GetGroupText(static_cast<int>(group));
      i = j - 1;
    } else {
      result += d;
      ++i;
    }
  }
  return result;
}

// ---- pattern: construction, report, public operations ----

template <class Tr>
PatternT<Tr>::PatternT(const Text& text)
    : ownMatchState(nullptr),
      head(nullptr),
      sourceText(text),
      syntaxError(false),
      parsePos(0),
      groupCount(0),
      nonCapturingCounter(0),
      flags(0),
      parseDepth(0) {}

template <class Tr>
PatternT<Tr>::~PatternT() {
  delete ownMatchState;
  for (auto& entry : nodes) delete entry.first;
}

template <class Tr>
void PatternT<Tr>::ReportSyntaxError() {
  bool meta = false;
  if (parsePos > 0 && parsePos <= TextLength()) {
    auto c = sourceText[parsePos - 1];
    meta = c == ')' || c == '*' || c == '+' || c == '?' || c == ']' || c == '}';
  }
  Tr::WriteSyntaxError(sourceText, parsePos, meta);
  syntaxError = true;
}

template <class Tr>
typename PatternT<Tr>::PatternType* PatternT<Tr>::CompileCached(const Text& text,
                                                                 unsigned compileFlags) {
  auto& cache = PatternType::compiledCache;
  auto found = cache.find(text);
  if (found != cache.end()) return found->second;
  PatternType* compiled = Compile(text, compileFlags);
  cache[text] = compiled;
  return compiled;
}

template <class Tr>
void PatternT<Tr>::DeleteCachedPatterns() {
  for (auto& entry : PatternType::compiledCache) delete entry.second;
  PatternType::compiledCache.clear();
}

template <class Tr>
bool PatternT<Tr>::DefineNamedPattern(const Text& name, const Text& text,
                                      unsigned compileFlags) {
  // The trial compile runs with the new definition already in place, so that a definition
  // that refers to its own name, directly or through other names, meets itself and fails.
  auto& registry = PatternType::namedPatterns;
  auto found = registry.find(name);
  bool hadEarlier = found != registry.end();
  std::pair<Text, unsigned long> earlier;
  if (hadEarlier) earlier = found->second;
  registry[name] = std::make_pair(text, static_cast<unsigned long>(compileFlags));
  PatternType* trial = Compile(text, compileFlags);
  if (!trial) {
    if (hadEarlier)
      registry[name] = earlier;
    else
      registry.erase(name);
    return false;
  }
  delete trial;
  return true;
}

template <class Tr>
void PatternT<Tr>::ClearNamedPatterns() {
  PatternType::namedPatterns.clear();
}

namespace pattern_search {
// Compiles pattern, hands the compiled pattern to use and deletes it again; failed is the
// result when the pattern does not compile.
template <class P, class Result, class Use>
Result WithCompiled(const typename P::Text& pattern, unsigned flags, Result failed, Use use) {
  P* compiled = P::Compile(pattern, flags);
  if (!compiled) return failed;
  Result result = use(compiled);
  delete compiled;
  return result;
}
}  // namespace pattern_search

template <class Tr>
bool PatternT<Tr>::QuickMatch(const Text& pattern, const Text& subject, unsigned compileFlags) {
  return pattern_search::WithCompiled<PatternType>(
      pattern, compileFlags, false, [&](PatternType* p) { return p->MatchWhole(subject); });
}

template <class Tr>
typename PatternT<Tr>::Text PatternT<Tr>::QuickSubstitute(const Text& pattern,
                                                          const Text& subject,
                                                          const Text& replacement,
                                                          unsigned compileFlags) {
  return pattern_search::WithCompiled<PatternType>(
      pattern, compileFlags, Text(),
      [&](PatternType* p) { return p->SubstituteAll(subject, replacement); });
}

template <class Tr>
std::vector<typename PatternT<Tr>::Text> PatternT<Tr>::QuickSplit(const Text& pattern,
                                                                 const Text& subject,
                                                                 bool keepEmpty, unsigned limit,
                                                                 unsigned compileFlags) {
  return pattern_search::WithCompiled<PatternType>(
      pattern, compileFlags, std::vector<Text>(),
      [&](PatternType* p) { return p->SplitText(subject, keepEmpty, limit); });
}

template <class Tr>
std::vector<typename PatternT<Tr>::Text> PatternT<Tr>::QuickCollect(const Text& pattern,
                                                                   const Text& subject,
                                                                   unsigned compileFlags) {
  return pattern_search::WithCompiled<PatternType>(
      pattern, compileFlags, std::vector<Text>(),
      [&](PatternType* p) { return p->CollectMatches(subject); });
}

template <class Tr>
std::pair<typename PatternT<Tr>::Text, int> PatternT<Tr>::QuickFindNth(const Text& pattern,
                                                                      const Text& subject, int n,
                                                                      unsigned compileFlags) {
  const std::pair<Text, int> notFound(Text(), -1);
  return pattern_search::WithCompiled<PatternType>(
      pattern, compileFlags, notFound, [&](PatternType* p) {
        State* state = p->ownMatchState;
        state->SetText(subject);
        int i = -1;
        while (i < n && state->FindNext()) ++i;
        if (i == n && n >= 0 && state->GetGroupStart(0) >= 0)
          return std::make_pair(state->GetGroupText(0), state->GetGroupStart(0));
        return notFound;
      });
}

template <class Tr>
typename PatternT<Tr>::Text PatternT<Tr>::SubstituteAll(const Text& subject,
                                                        const Text& replacement) {
  Text result;
  int last = 0;
  ownMatchState->SetText(subject);
  while (ownMatchState->FindNext()) {
    int start = ownMatchState->GetGroupStart(0);
    result.append(subject, last, start - last);
    result += ownMatchState->ExpandReplacement(replacement);
    last = ownMatchState->GetGroupEnd(0);
  }
  result.append(subject, last, Text::npos);
  return result;
}

template <class Tr>
std::vector<typename PatternT<Tr>::Text> PatternT<Tr>::SplitText(const Text& subject,
                                                                bool keepEmpty,
                                                                unsigned limit) {
  std::vector<Text> fields;
  unsigned maxFields = limit == 0 ? static_cast<unsigned>(INT_MAX) : limit;
  int last = 0;
  ownMatchState->SetText(subject);
  while (ownMatchState->FindNext()) {
    if (fields.size() >= maxFields) break;
    int start = ownMatchState->GetGroupStart(0), end = ownMatchState->GetGroupEnd(0);
    if (!keepEmpty && start == end) continue;
    if (start != last || keepEmpty) fields.push_back(subject.substr(last, start - last));
    last = end;
  }
  if (last < static_cast<int>(subject.size())) fields.push_back(subject.substr(last));
  return fields;
}

template <class Tr>
std::vector<typename PatternT<Tr>::Text> PatternT<Tr>::CollectMatches(const Text& subject) {
  ownMatchState->SetText(subject);
  return ownMatchState->CollectMatches();
}

template <class Tr>
bool PatternT<Tr>::MatchWhole(const Text& subject) {
  ownMatchState->SetText(subject);
  return ownMatchState->MatchWhole();
}

template <class Tr>
typename PatternT<Tr>::State* PatternT<Tr>::CreateMatchState(const Text& subject) {
  return new State(static_cast<PatternType*>(this), subject);
}
