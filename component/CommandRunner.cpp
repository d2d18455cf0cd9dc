#include "CommandRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "ProcessTree.h"

extern char** environ;

namespace {
const char kShell[] = "/bin/sh";
// The shell reports a command that ended through signal n as exit code 128 + n.
const int kSignalExitBase = 128;
const int kHighestSignal = 64;

// While it lives, SIGCHLD has its default disposition when the process had it ignored or had
// asked for its children not to be kept (SA_NOCLDWAIT): then the kernel reaps a child itself and
// its status is lost to the wait, and the child would inherit the ignored signal. Any other
// disposition is left as it is (a handler does not survive the child's exec).
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

// The process's environment without the variables named in `unset`; the pointers are environ's.
std::vector<char*> EnvironmentWithout(const std::vector<std::string>& unset) {
  std::vector<char*> kept;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    if (std::find(unset.begin(), unset.end(), name) == unset.end()) kept.push_back(*entry);
  }
  kept.push_back(nullptr);
  return kept;
}

// A shell running the command with its standard output on a pipe; false when none could start.
bool SpawnShellWithPipe(const std::string& command, ChildInput input, const std::vector<std::string>& unset,
                        pid_t& pid, int& readEnd) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  if (input == ChildInput::Nothing)
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  char shellName[] = "sh";
  char dashC[] = "-c";
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  char* argv[] = {shellName, dashC, line.data(), nullptr};
  std::vector<char*> environment = EnvironmentWithout(unset);
  const int failed = posix_spawn(&pid, kShell, &actions, nullptr, argv, environment.data());
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  if (failed != 0) {
    close(ends[0]);
    return false;
  }
  readEnd = ends[0];
  return true;
}

// Reads the pipe to its end or past the bound; NUL bytes are not kept, but count.
void ReadToEndOrBound(int readEnd, CommandOutput& output) {
  std::vector<char> piece(64 * 1024);
  size_t total = 0;
  for (;;) {
    const ssize_t got = read(readEnd, piece.data(), piece.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;  // end of output, or a read error that ends it
    const size_t kept = std::min(static_cast<size_t>(got), kMaxCommandOutput - total);
    const char* run = piece.data();
    const char* const end = run + kept;
    while (run < end) {
      const char* nul = static_cast<const char*>(std::memchr(run, '\0', static_cast<size_t>(end - run)));
      const char* runEnd = nul != nullptr ? nul : end;
      output.text.append(run, runEnd);
      run = runEnd + (nul != nullptr ? 1 : 0);
    }
    total += kept;
    if (kept < static_cast<size_t>(got)) {
      output.tooLong = true;
      return;
    }
  }
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}
}  // namespace

void FlushConsole() {
  std::cout.flush();
  // A flush the console refused leaves the stream failed, and a failed stream takes nothing
  // more: the refused bytes are gone either way, the items still to come are not.
  std::cout.clear();
  std::fflush(stdout);
  std::clearerr(stdout);
}

std::string OutputBoundText() { return std::to_string(kMaxCommandOutput >> 20) + " MiB"; }

bool CommandOutput::CouldNotRun() const {
  if (!started || status == -1) return true;
  const int code = ExitCode();
  return code == 126 || code == 127 || (code > kSignalExitBase && code <= kSignalExitBase + kHighestSignal);
}

int CommandOutput::ExitCode() const { return ShellExitCode(status); }

int ShellExitCode(int status) {
  if (status == -1) return 255;
  if (WIFSIGNALED(status)) return kSignalExitBase + WTERMSIG(status);
  return WEXITSTATUS(status);
}

CommandOutput ReadCommandOutput(const std::string& command, ChildInput input, const std::vector<std::string>& unset) {
  FlushConsole();
  CommandOutput output;
  ChildStatusKept keep;
  ProcessTree tree;
  pid_t pid = 0;
  int readEnd = -1;
  if (!SpawnShellWithPipe(command, input, unset, pid, readEnd)) return output;
  output.started = true;
  ReadToEndOrBound(readEnd, output);
  // A command past the bound may never stop writing; a shell, or a helper it started, that
  // loops on it must not keep the run waiting nor outlive it.
  const bool reaped = output.tooLong && tree.EndDescendants(pid, readEnd, output.status);
  close(readEnd);
  if (!reaped) output.status = WaitFor(pid);
  return output;
}

std::string RunCommand(const std::string& command) {
  CommandOutput output = ReadCommandOutput(command);
  return output.started ? output.text : "ERROR";
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
