// The shell commands that the component starts, and the widening of the narrow texts that the
// vendor tools print. Every command starts only after everything written to the console so far
// has reached it, so a console that is a pipe or a file shows each step before the step's
// command runs. Nothing here keeps any state.
#pragma once

#include <string>

// Runs the command line through the shell and returns everything it wrote to standard output
// (standard error is left to the process's own). "ERROR" only when the shell cannot be started;
// the command's exit status is not looked at.
std::string RunCommand(const std::string& command);

// Runs the command line through the shell and returns the status of the C library's system():
// -1 only when no shell could be started. The status is the command's own whatever SIGCHLD
// disposition the process has (an ignored SIGCHLD would let the kernel reap the shell first).
int RunShell(const std::string& command);

// Narrow text to wide text through the C library's multibyte conversion (the C locale).
std::wstring Widen(const char* text);
