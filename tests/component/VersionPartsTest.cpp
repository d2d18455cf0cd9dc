// Splitting versions into parts and comparing them part by part.
#include <gtest/gtest.h>

#include "ComponentTestSupport.h"
#include "VersionParts.h"

namespace {
TEST(VersionParts, SplittingAtTheSeparator) {
  struct Case {
    const wchar_t* text;
    std::vector<std::wstring> parts;
  };
  const Case kCases[] = {
      {L"1.2.3", {L"1", L"2", L"3"}},
      {L"1..3", {L"1", L"", L"3"}},
      {L".5", {L"", L"5"}},
      {L"1.2.", {L"1", L"2"}},
      {L"", {}},
      {L"2.01A12", {L"2", L"01A12"}},
      {L"no separator", {L"no separator"}},
  };
  for (const Case& c : kCases) EXPECT_EQ(CVersionParts(c.text, L'.').GetParts(), c.parts) << c.text;
  EXPECT_EQ(CVersionParts(L"a-b", L'-').GetParts(), (std::vector<std::wstring>{L"a", L"b"}));
}

TEST(VersionParts, CompareVersions) {
  struct Case {
    const wchar_t* package;
    const wchar_t* installed;
    int result;
  };
  const Case kCases[] = {
      {L"2.0.1", L"2.0.1", 0},
      {L"2.0.10", L"2.0.9", 1},
      {L"1.10", L"1.9", 1},
      {L"07", L"7", 0},
      {L"1.2", L"1.2.0", -1},
      {L"1.2.0", L"1.2", 1},
      {L"10", L"9a", -1},  // not both digits: compared as text
      {L"2.0a", L"2.0b", -1},
      {L"2.0B", L"2.0a", -1},  // upper case sorts first
      {L"", L"1", -1},
      {L"", L"", 0},
      {L"1", L"", 1},
      {L"1..2", L"1.0.2", -1},
      {L"1. 2", L"1.2", -1},  // a blank makes the part text
      // Digits beyond a 32-bit int still compare by value.
      {L"1.4294967296", L"1.4294967295", 1},
      {L"1.99999999999999999999", L"1.100000000000000000000", -1},
      {L"0000000000000000000012", L"12", 0},
      {L"3000000000", L"2147483647", 1},
  };
  ScratchFolder folder;
  TestComponent component(folder.File("log"));
  for (const Case& c : kCases) {
    EXPECT_EQ(component.CompareVersions(c.package, c.installed), c.result) << c.package << " / " << c.installed;
    EXPECT_EQ(component.CompareVersions(c.installed, c.package), -c.result) << c.installed << " / " << c.package;
  }
}
}  // namespace
