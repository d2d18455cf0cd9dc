#include "CommandRunner.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

std::string RunCommand(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "ERROR";
  std::string output;
  char piece[128];
  // fgets stops at a line end or after 127 bytes; a piece holding a NUL byte counts up to it.
  while (std::fgets(piece, sizeof(piece), pipe) != nullptr) output += piece;
  (void)pclose(pipe);
  return output;
}

std::wstring Widen(const char* text) {
  const size_t length = std::strlen(text);
  std::vector<wchar_t> buffer(length + 1, L'\0');
  // A byte the locale cannot convert ends the conversion there: the text up to it is kept.
  (void)std::mbstowcs(buffer.data(), text, length);
  return std::wstring(buffer.data());
}
