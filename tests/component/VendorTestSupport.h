// Support for the QLogic and Brocade variants' tests: stand-ins for the vendor tools that they
// run from the working folder, and the check of a device that a collection built.
#pragma once

#include <functional>
#include <string>

#include "ComponentTestSupport.h"

// Writes a shell script `name` into the folder, not executable (the component makes it so). Run,
// it appends its arguments as one line to "<name>.args", prints `listing` byte for byte, writes
// one line each to standard error and descriptor 3 (when open), and exits with `exitCode`; a
// negative exitCode makes it end itself with the signal of that number.
void WriteStandInTool(const ScratchFolder& folder, const std::string& name, const std::string& listing,
                      int exitCode);
// The argument lines of every run of the stand-in so far.
std::string StandInArguments(const ScratchFolder& folder, const std::string& name);
// What the stand-in writes besides its listing, as it reaches a log that takes all three outputs.
extern const char kStandInExtraOutput[];

// The flash commands append the tool's output to "/var/zmt/Component.log"; this makes its folder.
// Only inside the test sandbox (an empty /sys): elsewhere it fails fatally and makes nothing, so
// call it under ASSERT_NO_FATAL_FAILURE.
void PrepareToolLogFolder();
const char* const kToolLogPath = "/var/zmt/Component.log";

// With the tool log made a folder, so that it cannot be opened, and once with dash and once with
// bash as /bin/sh: `flash` runs the flash step of a component whose log is at the path it gets,
// in a fresh folder that holds the stand-in `tool`. Expects 7, the executing line of `shown` and
// exit code 2 in that log, and the stand-in neither run nor made executable. Only in the sandbox.
void ExpectFlashStartsNothingWithoutToolLog(const std::string& tool, const std::string& shown,
                                            const std::function<int(const std::string& logPath)>& flash);

// Runs `body` once under each SIGCHLD disposition a caller may start the program with: the
// default, ignored, and the default with SA_NOCLDWAIT (the last two let the kernel reap children
// on its own). Afterwards the disposition must be the one `body` started with; the earlier one
// is then put back.
void UnderEachChildSignal(const std::function<void()>& body);

// Expects a device with the key and model, empty bus, function and unreported texts, and exactly
// one firmware item equal to `item` field by field.
void ExpectOneItemDevice(const Device& device, const std::wstring& deviceId, const std::wstring& productId,
                         const FwItem& item);
// A firmware item as the collections build it: no identifier and no message, shared "no".
FwItem CollectedItem(const wchar_t* type, const wchar_t* version, const wchar_t* activeVersion,
                     const wchar_t* action, const wchar_t* duration);
