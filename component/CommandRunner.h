// The shell commands that the component starts, and the widening of the narrow texts that the
// vendor tools print. Every command starts only after everything written to the console so far
// has reached it, so a console that is a pipe or a file shows each step before the step's
// command runs, and every command's shell and what it starts have SIGCHLD at its default
// disposition, whatever the process was started with. Nothing here keeps any state.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The most a run reads of one command's standard output: far above any real listing, low
// enough that a tool which never stops printing cannot exhaust the machine's memory.
const size_t kMaxCommandOutput = size_t(64) << 20;
// The bound as the log says it: "64 MiB".
std::string OutputBoundText();

// Where a command run for its output reads its standard input from.
enum class ChildInput {
  Inherited,  // the process's own, as the vendor tools get it
  Nothing,    // /dev/null: the command cannot stop to wait for an answer nobody gives
};

// What a command run for its output left behind.
struct CommandOutput {
  bool started = false;  // false: no shell could be started
  bool tooLong = false;  // it wrote more than kMaxCommandOutput bytes; it was stopped there
  int status = 0;        // the shell's wait status, when it started
  std::string text;      // every byte it wrote to standard output up to the bound, NULs dropped

  // The shell could not start the command (126 not executable, 127 not found), or the command
  // ended through a signal, which the shell reports as 128 plus the signal number.
  bool CouldNotRun() const;
  // The shell's exit code, as ShellExitCode gives it.
  int ExitCode() const;
};

// The exit code in a wait status as a shell would report it: 128 plus the signal number for a
// process ended through a signal, and 255 for -1, a status that was never received.
int ShellExitCode(int status);

// Runs the command line through the shell and reads its standard output to its end or to the
// bound (standard error is left to the process's own). A command still writing at the bound is
// not waited for: its pipe is closed, and its shell and every process started from it, orphans
// and double-forked ones too, are killed before this returns; nothing that started before the
// shell is. A command that ends below the bound may leave processes running; they are left
// alone, and no other process is looked at. The shell gets the process's environment without
// the variables named in `unset`.
CommandOutput ReadCommandOutput(const std::string& command, ChildInput input = ChildInput::Inherited,
                                const std::vector<std::string>& unset = {});

// ReadCommandOutput's text, or "ERROR" when no shell could be started; the command's exit
// status is not looked at.
std::string RunCommand(const std::string& command);

// Runs the command line through the shell and returns the status of the C library's system():
// -1 only when the process could not start a child at all (a shell that could not be executed
// reads as its exit code 127). The status is the command's own whatever SIGCHLD disposition the
// process has (an ignored SIGCHLD would let the kernel reap the shell first).
int RunShell(const std::string& command);

// Everything written to the console so far is handed to it. A console that takes nothing (a
// full non-blocking pipe, a closed descriptor) loses what it refused, and later items still go.
void FlushConsole();

// Narrow text to wide text through the C library's multibyte conversion (the C locale).
std::wstring Widen(const char* text);
