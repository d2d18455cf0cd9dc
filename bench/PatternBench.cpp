// The component's pattern workloads as it runs them, per call: our engine, std::regex
// (ECMAScript, "." written as [\s\S] where the pattern needs dot-all) and the PCRE2
// interpreter; the wide engine against std::wregex on the version-part and Brocade patterns.
// "Compiled" variants compile once and only match per call.
#include <benchmark/benchmark.h>

#include <regex>
#include <string>
#include <vector>

#include "Pattern.h"
#include "UPattern.h"

#ifdef FCHBA_BENCH_PCRE2
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#endif

namespace {

const char* kListing =
    "HBA=(.+),.*PCI ID=(\\w{1,4}),.*VID=(\\w{1,4}),.*SSID=(\\w{1,4}),.*SVID=(\\w{1,4}),.*"
    "Firmware=(.+),.*Boot Code=([\\w\\.]+).*";
const char* kListingEcma =
    "HBA=([\\s\\S]+),[\\s\\S]*PCI ID=(\\w{1,4}),[\\s\\S]*VID=(\\w{1,4}),[\\s\\S]*SSID=(\\w{1,4}),"
    "[\\s\\S]*SVID=(\\w{1,4}),[\\s\\S]*Firmware=([\\s\\S]+),[\\s\\S]*Boot Code=([\\w\\.]+)[\\s\\S]*";
const std::string kListingLine =
    "HBA=LPe12002-M8, PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, "
    "Boot Code=UB5.12a2";

const char* kRelease[] = {"Red Hat Enterprise Linux.*release 4.*",
                          "Red Hat Enterprise Linux.*release 5.*",
                          "Red Hat Enterprise Linux.*release 6.*",
                          "SUSE Linux Enterprise Server 10.*", "SUSE Linux Enterprise Server 11.*"};
const char* kReleaseEcma[] = {"Red Hat Enterprise Linux[\\s\\S]*release 4[\\s\\S]*",
                              "Red Hat Enterprise Linux[\\s\\S]*release 5[\\s\\S]*",
                              "Red Hat Enterprise Linux[\\s\\S]*release 6[\\s\\S]*",
                              "SUSE Linux Enterprise Server 10[\\s\\S]*",
                              "SUSE Linux Enterprise Server 11[\\s\\S]*"};
// The release patterns run with "." matching every character and "^"/"$" at every line.
const unsigned kReleaseFlags = PatternFlag::DotAnyChar | PatternFlag::LineAnchors;
const std::string kReleaseTexts[] = {
    "Red Hat Enterprise Linux Server release 6.1 (Santiago)\n",
    "SUSE Linux Enterprise Server 11 (x86_64)\nVERSION = 11\nPATCHLEVEL = 1\n"};

const char* kQLogic[] = {"HBA Instance.*: (.+).*", "Flash Image.*: (.+).*", "Port Name.*: (.+).*"};
const char* kQLogicEcma[] = {"HBA Instance[\\s\\S]*: ([\\s\\S]+)[\\s\\S]*",
                             "Flash Image[\\s\\S]*: ([\\s\\S]+)[\\s\\S]*",
                             "Port Name[\\s\\S]*: ([\\s\\S]+)[\\s\\S]*"};
const std::string kQLogicLines[] = {"HBA Instance 0 (QLE2562 Port 1): 0",
                                    "Flash Image Version      : 2.10.01",
                                    "Port Name                : 21-00-00-1B-32-0A-B1-C2",
                                    "Node Name                : 20-00-00-1B-32-0A-B1-C2",
                                    "Serial Number            : RFC0913L41234"};

// ---- our engine ----

bool OursLine(const char* pattern, const std::string& line, std::vector<std::string>& groups) {
  Pattern* p = Pattern::Compile(pattern, PatternFlag::DotAnyChar);
  MatchState* m = p->CreateMatchState(line);
  bool matched = m->MatchWhole();
  if (matched) groups = m->GetGroupTexts(false);
  delete m;
  delete p;
  return matched;
}

void BM_Listing_Ours(benchmark::State& s) {
  std::vector<std::string> groups;
  for (auto _ : s) benchmark::DoNotOptimize(OursLine(kListing, kListingLine, groups));
}
void BM_ListingCompiled_Ours(benchmark::State& s) {
  Pattern* p = Pattern::Compile(kListing, PatternFlag::DotAnyChar);
  MatchState* m = p->CreateMatchState(kListingLine);
  for (auto _ : s) {
    m->SetText(kListingLine);
    if (m->MatchWhole()) benchmark::DoNotOptimize(m->GetGroupTexts(false));
  }
  delete m;
  delete p;
}
void BM_Release_Ours(benchmark::State& s) {
  for (auto _ : s)
    for (const std::string& text : kReleaseTexts)
      for (const char* pattern : kRelease)
        benchmark::DoNotOptimize(Pattern::QuickMatch(pattern, text, kReleaseFlags));
}
void BM_ReleaseCompiled_Ours(benchmark::State& s) {
  std::vector<Pattern*> compiled;
  for (const char* pattern : kRelease) compiled.push_back(Pattern::Compile(pattern, kReleaseFlags));
  for (auto _ : s)
    for (const std::string& text : kReleaseTexts)
      for (Pattern* p : compiled) benchmark::DoNotOptimize(p->MatchWhole(text));
  for (Pattern* p : compiled) delete p;
}
void BM_QLogic_Ours(benchmark::State& s) {
  std::vector<std::string> groups;
  for (auto _ : s)
    for (const std::string& line : kQLogicLines)
      for (const char* pattern : kQLogic) benchmark::DoNotOptimize(OursLine(pattern, line, groups));
}
void BM_QLogicCompiled_Ours(benchmark::State& s) {
  std::vector<Pattern*> compiled;
  for (const char* pattern : kQLogic) compiled.push_back(Pattern::Compile(pattern, PatternFlag::DotAnyChar));
  for (auto _ : s)
    for (const std::string& line : kQLogicLines)
      for (Pattern* p : compiled)
        if (p->MatchWhole(line)) benchmark::DoNotOptimize(p->ownMatchState->GetGroupTexts(false));
  for (Pattern* p : compiled) delete p;
}

// ---- std::regex ----

bool StdLine(const std::regex& re, const std::string& line, std::vector<std::string>& groups) {
  std::smatch m;
  if (!std::regex_match(line, m, re)) return false;
  groups.clear();
  for (size_t i = 1; i < m.size(); ++i) groups.push_back(m[i].str());
  return true;
}

void BM_Listing_Std(benchmark::State& s) {
  std::vector<std::string> groups;
  for (auto _ : s) {
    std::regex re(kListingEcma, std::regex::ECMAScript);
    benchmark::DoNotOptimize(StdLine(re, kListingLine, groups));
  }
}
void BM_ListingCompiled_Std(benchmark::State& s) {
  std::regex re(kListingEcma, std::regex::ECMAScript);
  std::vector<std::string> groups;
  for (auto _ : s) benchmark::DoNotOptimize(StdLine(re, kListingLine, groups));
}
void BM_Release_Std(benchmark::State& s) {
  for (auto _ : s)
    for (const std::string& text : kReleaseTexts)
      for (const char* pattern : kReleaseEcma)
        benchmark::DoNotOptimize(std::regex_match(text, std::regex(pattern, std::regex::ECMAScript)));
}
void BM_ReleaseCompiled_Std(benchmark::State& s) {
  std::vector<std::regex> compiled;
  for (const char* pattern : kReleaseEcma) compiled.emplace_back(pattern, std::regex::ECMAScript);
  for (auto _ : s)
    for (const std::string& text : kReleaseTexts)
      for (const std::regex& re : compiled) benchmark::DoNotOptimize(std::regex_match(text, re));
}
void BM_QLogic_Std(benchmark::State& s) {
  std::vector<std::string> groups;
  for (auto _ : s)
    for (const std::string& line : kQLogicLines)
      for (const char* pattern : kQLogicEcma) {
        std::regex re(pattern, std::regex::ECMAScript);
        benchmark::DoNotOptimize(StdLine(re, line, groups));
      }
}
void BM_QLogicCompiled_Std(benchmark::State& s) {
  std::vector<std::regex> compiled;
  for (const char* pattern : kQLogicEcma) compiled.emplace_back(pattern, std::regex::ECMAScript);
  std::vector<std::string> groups;
  for (auto _ : s)
    for (const std::string& line : kQLogicLines)
      for (const std::regex& re : compiled) benchmark::DoNotOptimize(StdLine(re, line, groups));
}

BENCHMARK(BM_Listing_Ours);
BENCHMARK(BM_Listing_Std);
BENCHMARK(BM_ListingCompiled_Ours);
BENCHMARK(BM_ListingCompiled_Std);
BENCHMARK(BM_Release_Ours);
BENCHMARK(BM_Release_Std);
BENCHMARK(BM_ReleaseCompiled_Ours);
BENCHMARK(BM_ReleaseCompiled_Std);
BENCHMARK(BM_QLogic_Ours);
BENCHMARK(BM_QLogic_Std);
BENCHMARK(BM_QLogicCompiled_Ours);
BENCHMARK(BM_QLogicCompiled_Std);

// ---- wide engine against std::wregex ----

// Version parts as the version comparison tests them, and a Brocade version text.
const std::wstring kVersionParts[] = {L"2010", L"7", L"", L"1a", L" 1", L"12345678"};
const wchar_t* kBrocade = L".*(\\d+\\.\\d+\\.\\d+\\.\\d+).*";
const wchar_t* kBrocadeEcma = L"[\\s\\S]*(\\d+\\.\\d+\\.\\d+\\.\\d+)[\\s\\S]*";
const std::wstring kBrocadeText = L"Brocade-1020 firmware 12.3.4.5 (build 17)";

void BM_VersionPart_Wide(benchmark::State& s) {
  for (auto _ : s)
    for (const std::wstring& part : kVersionParts)
      benchmark::DoNotOptimize(UPattern::QuickMatch(L"\\d+", part, 0));
}
void BM_VersionPart_Wregex(benchmark::State& s) {
  for (auto _ : s)
    for (const std::wstring& part : kVersionParts)
      benchmark::DoNotOptimize(std::regex_match(part, std::wregex(L"\\d+", std::regex::ECMAScript)));
}
void BM_Brocade_Wide(benchmark::State& s) {
  for (auto _ : s) {
    UPattern* p = UPattern::Compile(kBrocade, PatternFlag::DotAnyChar);
    MatchUState* m = p->CreateMatchState(kBrocadeText);
    if (m->MatchWhole()) benchmark::DoNotOptimize(m->GetGroupText(1));
    delete m;
    delete p;
  }
}
void BM_Brocade_Wregex(benchmark::State& s) {
  for (auto _ : s) {
    std::wregex re(kBrocadeEcma, std::regex::ECMAScript);
    std::wsmatch m;
    if (std::regex_match(kBrocadeText, m, re)) benchmark::DoNotOptimize(m[1].str());
  }
}
void BM_BrocadeCompiled_Wide(benchmark::State& s) {
  UPattern* p = UPattern::Compile(kBrocade, PatternFlag::DotAnyChar);
  MatchUState* m = p->CreateMatchState(kBrocadeText);
  for (auto _ : s) {
    m->SetText(kBrocadeText);
    if (m->MatchWhole()) benchmark::DoNotOptimize(m->GetGroupText(1));
  }
  delete m;
  delete p;
}
void BM_BrocadeCompiled_Wregex(benchmark::State& s) {
  std::wregex re(kBrocadeEcma, std::regex::ECMAScript);
  for (auto _ : s) {
    std::wsmatch m;
    if (std::regex_match(kBrocadeText, m, re)) benchmark::DoNotOptimize(m[1].str());
  }
}

BENCHMARK(BM_VersionPart_Wide);
BENCHMARK(BM_VersionPart_Wregex);
BENCHMARK(BM_Brocade_Wide);
BENCHMARK(BM_Brocade_Wregex);
BENCHMARK(BM_BrocadeCompiled_Wide);
BENCHMARK(BM_BrocadeCompiled_Wregex);

#ifdef FCHBA_BENCH_PCRE2
// ---- PCRE2 interpreter (no JIT) ----

const uint32_t kDotAll = PCRE2_DOTALL;
const uint32_t kWhole = PCRE2_ANCHORED | PCRE2_ENDANCHORED;

pcre2_code* PcreCompile(const char* pattern, uint32_t options) {
  int error = 0;
  PCRE2_SIZE offset = 0;
  return pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED,
                       options | kWhole, &error, &offset, nullptr);
}

bool PcreLine(pcre2_code* code, pcre2_match_data* data, const std::string& line,
              std::vector<std::string>& groups) {
  int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(line.data()), line.size(), 0, 0, data,
                       nullptr);
  if (rc < 0) return false;
  PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data);
  groups.clear();
  for (int i = 1; i < rc; ++i) groups.emplace_back(line, ov[2 * i], ov[2 * i + 1] - ov[2 * i]);
  return true;
}

bool PcreOnce(const char* pattern, uint32_t options, const std::string& line,
              std::vector<std::string>& groups) {
  pcre2_code* code = PcreCompile(pattern, options);
  pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
  bool matched = PcreLine(code, data, line, groups);
  pcre2_match_data_free(data);
  pcre2_code_free(code);
  return matched;
}

void BM_Listing_Pcre2(benchmark::State& s) {
  std::vector<std::string> groups;
  for (auto _ : s) benchmark::DoNotOptimize(PcreOnce(kListing, kDotAll, kListingLine, groups));
}
void BM_ListingCompiled_Pcre2(benchmark::State& s) {
  pcre2_code* code = PcreCompile(kListing, kDotAll);
  pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
  std::vector<std::string> groups;
  for (auto _ : s) benchmark::DoNotOptimize(PcreLine(code, data, kListingLine, groups));
  pcre2_match_data_free(data);
  pcre2_code_free(code);
}
void BM_Release_Pcre2(benchmark::State& s) {
  std::vector<std::string> groups;
  for (auto _ : s)
    for (const std::string& text : kReleaseTexts)
      for (const char* pattern : kRelease)
        benchmark::DoNotOptimize(PcreOnce(pattern, kDotAll | PCRE2_MULTILINE, text, groups));
}
// Compiles every pattern once, then matches each text against each per iteration.
template <size_t kPatterns, size_t kTexts>
void MatchCompiledPcre2(benchmark::State& s, const char* const (&patterns)[kPatterns],
                        uint32_t options, const std::string (&texts)[kTexts]) {
  std::vector<pcre2_code*> codes;
  for (const char* pattern : patterns) codes.push_back(PcreCompile(pattern, options));
  pcre2_match_data* data = pcre2_match_data_create(4, nullptr);
  std::vector<std::string> groups;
  for (auto _ : s)
    for (const std::string& text : texts)
      for (pcre2_code* code : codes) benchmark::DoNotOptimize(PcreLine(code, data, text, groups));
  pcre2_match_data_free(data);
  for (pcre2_code* code : codes) pcre2_code_free(code);
}
void BM_ReleaseCompiled_Pcre2(benchmark::State& s) {
  MatchCompiledPcre2(s, kRelease, kDotAll | PCRE2_MULTILINE, kReleaseTexts);
}
void BM_QLogic_Pcre2(benchmark::State& s) {
  std::vector<std::string> groups;
  for (auto _ : s)
    for (const std::string& line : kQLogicLines)
      for (const char* pattern : kQLogic) benchmark::DoNotOptimize(PcreOnce(pattern, kDotAll, line, groups));
}
void BM_QLogicCompiled_Pcre2(benchmark::State& s) {
  MatchCompiledPcre2(s, kQLogic, kDotAll, kQLogicLines);
}

BENCHMARK(BM_Listing_Pcre2);
BENCHMARK(BM_ListingCompiled_Pcre2);
BENCHMARK(BM_Release_Pcre2);
BENCHMARK(BM_ReleaseCompiled_Pcre2);
BENCHMARK(BM_QLogic_Pcre2);
BENCHMARK(BM_QLogicCompiled_Pcre2);
#endif

}  // namespace
