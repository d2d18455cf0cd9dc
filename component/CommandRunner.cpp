#include "CommandRunner.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

namespace {
// Console items are written without a flush of their own; a console that is not a terminal
// would otherwise show them only when the buffer fills or the process ends.
void FlushConsole() {
  std::cout.flush();
  std::fflush(stdout);
}

// While it lives, SIGCHLD has its default disposition when the process had it ignored or had
// asked for its children not to be kept (SA_NOCLDWAIT): then the kernel reaps a child itself and
// its status is lost to the wait. Any other disposition is left as it is.
class ChildStatusKept {
 public:
  ChildStatusKept() {
    sigaction(SIGCHLD, nullptr, &previous);
    changed = previous.sa_handler == SIG_IGN || (previous.sa_flags & SA_NOCLDWAIT) != 0;
    if (!changed) return;
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(SIGCHLD, &standard, nullptr);
  }
  ~ChildStatusKept() {
    if (changed) sigaction(SIGCHLD, &previous, nullptr);
  }
  ChildStatusKept(const ChildStatusKept&) = delete;
  ChildStatusKept& operator=(const ChildStatusKept&) = delete;

 private:
  struct sigaction previous {};
  bool changed = false;
};
}  // namespace

std::string RunCommand(const std::string& command) {
  FlushConsole();
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "ERROR";
  std::string output;
  char piece[128];
  // fgets stops at a line end or after 127 bytes; a piece holding a NUL byte counts up to it.
  while (std::fgets(piece, sizeof(piece), pipe) != nullptr) output += piece;
  (void)pclose(pipe);
  return output;
}

int RunShell(const std::string& command) {
  FlushConsole();
  ChildStatusKept keep;
  return std::system(command.c_str());
}

std::wstring Widen(const char* text) {
  const size_t length = std::strlen(text);
  std::vector<wchar_t> buffer(length + 1, L'\0');
  // A byte the locale cannot convert ends the conversion there: the text up to it is kept.
  (void)std::mbstowcs(buffer.data(), text, length);
  return std::wstring(buffer.data());
}
