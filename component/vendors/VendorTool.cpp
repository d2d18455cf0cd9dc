#include "VendorTool.h"

#include <unistd.h>

#include <algorithm>

#include "CommandRunner.h"
#include "RunLock.h"

namespace {
// The file that kToolOutputToLog appends to.
const char kToolLogPath[] = "/var/zmt/Component.log";
// The status that a POSIX shell, as the usual /bin/sh, gives a command whose redirection fails.
const int kRedirectionFailedCode = 2;

// True when the tool's redirections can open the log the way the shell opens them, and the path
// holds nothing that the log refuses to write through (another user's link, FIFO or device, a
// second hard link), which the shell would follow. A shell that cannot open them never starts the
// tool, but reports that as 2 or as 1 (which reads as "nothing needed") depending on the shell;
// looking first gives the same code on every shell.
bool ToolLogOpens() {
  const int fd = CComponentLog::OpenForAppending(kToolLogPath);
  if (fd < 0) return false;
  close(fd);
  return true;
}

// True when a flash tool may start: the shell can redirect its output into the log, and the run
// holds its lock where it has one, since another run may be flashing the same adapters right now
// (the log says so).
bool ToolMayStart(CBaseCmp& component) {
  if (!ToolLogOpens()) return false;
  if (component.runLock == nullptr || component.runLock->Confirm(component.log)) return true;
  component.log << std::string("ERROR! : The run lock ") + CRunLock::Path() +
                       " could not be taken, so no flash tool was started.\n";
  return false;
}
}  // namespace

const char kToolOutputToLog[] = "1>> /var/zmt/Component.log 2>> /var/zmt/Component.log 3>> /var/zmt/Component.log";

bool ReadToolListing(CComponentLog& log, const std::string& command, std::string& listing) {
  CommandOutput output = ReadCommandOutput(command);
  std::string problem;
  if (output.tooLong) {
    problem = "passed " + OutputBoundText() + " and was stopped";
  } else if (!output.started) {
    problem = "could not be run (no shell could be started)";
  } else if (output.CouldNotRun()) {
    // A shell reports a child killed by signal n as 128 + n, and nothing tells that apart from a
    // tool that exits with the same code of its own accord: the signal is the likely cause only.
    const int code = output.ExitCode();
    problem = "could not be run (exit code " + std::to_string(code);
    if (code != 126 && code != 127) problem += ", most likely ended by signal " + std::to_string(code - 128);
    problem += ")";
  }
  if (!problem.empty()) {
    log << "ERROR! : The adapter listing " + problem + ": " + command + "\n";
    return false;
  }
  listing.swap(output.text);
  return true;
}

void ForEachListingLine(const std::string& listing, const std::function<void(const std::string&)>& line) {
  size_t start = 0;
  while (start < listing.size()) {
    size_t end = listing.find('\n', start);
    if (end == std::string::npos) end = listing.size();
    line(listing.substr(start, end - start));
    start = end + 1;
  }
}

size_t CountListingLines(const std::string& listing) {
  size_t lines = static_cast<size_t>(std::count(listing.begin(), listing.end(), '\n'));
  if (!listing.empty() && listing.back() != '\n') ++lines;
  return lines;
}

std::wstring ActionText(int comparison) {
  switch (comparison) {
    case 0: return L"rewrite";
    case 1: return L"upgrade";
    case -1: return L"downgrade";
    default: return L"unknown";
  }
}

void AddOneItemDevice(CBaseCmp& component, const std::wstring& deviceId, const ReferenceEntry& entry,
                      const wchar_t* type, const std::wstring& version, const std::wstring& installed) {
  Device device;
  device.device_id = deviceId;
  device.product_id = entry.model;
  FwItem item;
  item.type = type;
  item.version = version;
  item.active_version = installed;
  item.action = ActionText(component.CompareVersions(version, installed));
  item.duration = entry.duration;
  item.shared = L"no";
  device.fwItems.push_back(item);
  component.result.devices.push_back(device);
}

int RunLoggedFlash(CBaseCmp& component, const std::string& shown, const std::string& command,
                   const std::string& prepare) {
  CComponentLog& log = component.log;
  log << "Executing flash engine: " << shown << "\n";
  int code = kRedirectionFailedCode;
  if (ToolMayStart(component)) {
    if (!prepare.empty()) (void)RunShell(prepare);
    const CRunLock* lock = component.runLock;
    code = ShellExitCode(lock != nullptr ? lock->RunShellHoldingLock(command) : RunShell(command));
  }
  log << "Flash Engine exit code: " << code << "\n";
  return code;
}

int RunFlashEngine(CBaseCmp& component, const std::string& tool, const std::string& command) {
  return RunLoggedFlash(component, command, command + " " + kToolOutputToLog, "chmod 755 " + tool);
}
