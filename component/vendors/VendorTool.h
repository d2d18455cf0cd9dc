// What the vendor variants share around their tools: a tool listing read and walked line by
// line, the action text of a version comparison and the one-item device it goes into, and one
// run of a flash tool with its output in the component log. Nothing is kept between calls.
#pragma once

#include <functional>
#include <string>

#include "BaseCmp.h"
#include "ComponentLog.h"

// Runs a tool's listing command into `listing`. False, after one "ERROR! : ..." line in the log,
// when the listing could not be run (no shell, a tool the shell could not execute or find, a
// tool ended through a signal, which reads as exit codes 129 to 192 whether or not a signal ended
// it) or printed more than a run keeps of one command; the tool's other exit codes are its own
// business and are not looked at.
bool ReadToolListing(CComponentLog& log, const std::string& command, std::string& listing);

// Calls `line` for each line of the listing in order, without copying the listing whole. Every
// "\n" ends a line and is not part of it; a last piece without one is a line too. An empty
// listing has no lines, and a final "\n" adds no empty line.
void ForEachListingLine(const std::string& listing, const std::function<void(const std::string&)>& line);
// The number of lines ForEachListingLine finds.
size_t CountListingLines(const std::string& listing);

// "rewrite", "upgrade" or "downgrade" for a comparison result of 0, 1 or -1; "unknown" otherwise.
std::wstring ActionText(int comparison);

// Appends to the component's result one device of the catalogue entry under `deviceId`, with one
// firmware item of `type`: the package's `version` against the `installed` one, the entry's
// duration, not shared.
void AddOneItemDevice(CBaseCmp& component, const std::wstring& deviceId, const ReferenceEntry& entry,
                      const wchar_t* type, const std::wstring& version, const std::wstring& installed);

// The shell redirection that appends a tool's descriptors 1 to 3 to the component log file.
extern const char kToolOutputToLog[];

// Logs "Executing flash engine: " with `shown`, runs `prepare` (when not empty; its status is
// ignored) and then `command` through the shell, logs the tool's exit code and returns it. A shell
// that could not start reads as 255, a tool that ended through a signal as 128 plus the signal
// number (never as success). The code is the tool's own whatever SIGCHLD disposition the process
// was started with. Nothing is started, and the code is 2 (a failed redirection's status,
// whatever shell /bin/sh is), when the log file of kToolOutputToLog cannot be opened for
// appending, or when the component has a run lock that it does not hold (after one "ERROR! : ..."
// line). The command alone inherits the run lock.
int RunLoggedFlash(CBaseCmp& component, const std::string& shown, const std::string& command,
                   const std::string& prepare = std::string());

// Logs "Executing flash engine: " with the command, makes the tool executable (and writable by
// its owner only), runs the command with the tool's output appended to the component log file,
// logs the exit code and returns it, as RunLoggedFlash.
int RunFlashEngine(CBaseCmp& component, const std::string& tool, const std::string& command);
