// Quoting of arbitrary text as one word for the shell.
#pragma once

#include <string>

// Wraps text in single quotes, each embedded single quote written as '\''.
inline std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  out += "'";
  return out;
}
