// The Emulex flash step: one run of the kit's flash command for every adapter, with the tool's
// output appended to the component log, and the tool's exit code turned into the process result.
#include <string>

#include "EmulexComponent.h"
#include "VendorTool.h"

namespace EmulexComp {

namespace {
const char kFlashCommand[] = "./elxflashStandalone*/lx/elxflash.sh /fc ";
const char kForcedOption[] = " /f ";
const char kUpdateOption[] = " /update ";
const char kOfflineUpdateNotice[] =
    "For RT770LXA or RT2000K CNAs, please use the \"Firmware image for offline update\""
    " (OneConnect ISO) tool available on downloads.example.com\n";

const int kPassExitCode = -1;

struct FlashExitRow {
  const char* message;  // null: nothing logged
  bool offlineNotice;   // the offline-update notice follows the message
  int result;           // kPassExitCode: the tool's exit code is the result
};

// Indexed by the tool's exit code 0 to 16; every other code takes the last row.
const FlashExitRow EmulexFlashExitTable[] = {
    {"All updates were successful.  Reboot needed.\n", false, 1},
    {"No operation performed.  No updates needed or discovery command executed.\n", false, 3},
    {"All updates failed.\n", false, 7},
    {"All updates failed.\n", false, 7},
    {"All updates failed.\n", false, 7},
    {"All updates failed.\n", false, 7},
    {"All updates failed.\n", false, 7},
    {nullptr, false, kPassExitCode},
    {nullptr, false, kPassExitCode},
    {nullptr, false, kPassExitCode},
    {nullptr, false, kPassExitCode},
    {"All updates were successful.  Skipped any RT770LXA or RT2000K CNAs.\n", true, 7},
    {"No updates needed.  Skipped any RT770LXA or RT2000K CNAs.\n", true, 7},
    {"All updates failed.  Skipped any RT770LXA or RT2000K CNAs.\n", true, 7},
    {"Some updates failed.  Skipped any RT770LXA or RT2000K CNAs.\n", true, 7},
    {"No supported hardware found.  Skipped any RT770LXA or RT2000K CNAs.\n", true, 7},
    {"No updates available.  Skipped any RT770LXA or RT2000K CNAs.\n", true, 7},
    {nullptr, false, kPassExitCode},
};
const int kTableRows = static_cast<int>(sizeof(EmulexFlashExitTable) / sizeof(EmulexFlashExitTable[0]));

}  // namespace

int CComponent::Flash() {
  const std::string command = std::string(kFlashCommand) + (force ? kForcedOption : kUpdateOption) + kToolOutputToLog;
  // The command is logged with its redirections; the kit was made executable when it was prepared.
  const int code = RunLoggedFlash(*this, command, command);

  const FlashExitRow& row = EmulexFlashExitTable[code < kTableRows - 1 ? code : kTableRows - 1];
  if (row.message != nullptr) log << row.message;
  if (row.offlineNotice) log << kOfflineUpdateNotice;
  return row.result == kPassExitCode ? code : row.result;
}

}  // namespace EmulexComp
