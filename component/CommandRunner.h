// Shell commands whose output the component reads, and the widening of the narrow texts that
// the vendor tools print. Both return plain values; neither keeps any state.
#pragma once

#include <string>

// Runs the command line through the shell and returns everything it wrote to standard output
// (standard error is left to the process's own). "ERROR" only when the shell cannot be started;
// the command's exit status is not looked at.
std::string RunCommand(const std::string& command);

// Narrow text to wide text through the C library's multibyte conversion (the C locale).
std::wstring Widen(const char* text);
