#include "BaseCmp.h"

#include <cwctype>
#include <iostream>

namespace {
const char* const kUsageLines[] = {
    "KDXXXXXX.kdpak [options]",
    "    options",
    "    --------------------------",
    "    /f = Force the installation",
    "    /s = Execute silently",
    "    /d [path] = Perform self-discovery and output to [path]",
};

bool IsOneOf(const std::string& arg, std::initializer_list<const char*> options) {
  for (const char* option : options)
    if (arg == option) return true;
  return false;
}
}  // namespace

CBaseCmp::CBaseCmp() : silent(false), discover(false), force(false) {}

CBaseCmp::CBaseCmp(const std::string& logPath) : log(logPath), silent(false), discover(false), force(false) {}

CBaseCmp::~CBaseCmp() = default;

std::wstring CBaseCmp::NormalizeVersion(const std::wstring& version) { return version; }

void CBaseCmp::CollectFirmware() {}

int CBaseCmp::PrepareKit() { return 0; }

int CBaseCmp::Flash() { return 0; }

int CBaseCmp::ParseCommandLine(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i] ? argv[i] : "";
    if (IsOneOf(arg, {"/s", "-s"})) {
      silent = true;
      log.SetQuiet(true);
    } else if (IsOneOf(arg, {"/f", "-f", "/e", "-e", "/g", "-g"})) {
      force = true;
    } else if (IsOneOf(arg, {"/h", "-h"})) {
      Usage();
      return ParseResult::HelpShown;
    } else if (IsOneOf(arg, {"/d", "-d"})) {
      discover = true;
      if (i + 1 >= argc) {
        Usage();
        return ParseResult::Failed;
      }
      ++i;
      outputPath = argv[i] ? argv[i] : "";
    }
  }
  return ParseResult::Proceed;
}

void CBaseCmp::Usage() {
  for (const char* line : kUsageLines) std::cout << line << std::endl;
}

int CBaseCmp::Run() {
  log << "---------------------------------------------------\n";
  log << "Loading references...";
  if (!catalogue.Load()) {
    log << "FAILED!\n";
    return ComponentResult::Failed;
  }
  log << "done.\n";
  log << "Performing discovery...\n";
  DetectOS();
  if (!Discover()) return ComponentResult::Failed;

  if (discover) {
    log << "Generating self-discovery XML...";
    // A caller reads the report at its path after the run: one that was not saved is a failure,
    // not a run that found nothing to do.
    if (!WriteDiscoveryXml()) {
      log << "FAILED!\n";
      return ComponentResult::Failed;
    }
    log << "done.\n";
    return ComponentResult::NothingDone;
  }
  if (RequiredAction() != RequiredActionKind::Upgrade && !force) {
    log << "NOTICE : No operation was done.\n";
    return ComponentResult::NothingDone;
  }
  if (!HasDevices()) {
    log << "ERROR! : No supported hardware was found.\n";
    return ComponentResult::NothingDone;
  }
  log << "Performing flash -- DO NOT INTERRUPT!\n";
  int rc = Flash();
  log << "Flash complete [" << rc << "]\n";
  return rc;
}

int CBaseCmp::RequiredAction() {
  int bits = 0;
  for (const Device& device : result.devices) {
    for (const FwItem& item : device.fwItems) {
      if (item.action == L"downgrade")
        bits |= RequiredActionKind::Downgrade;
      else if (item.action == L"rewrite")
        bits |= RequiredActionKind::Rewrite;
      else if (item.action == L"upgrade")
        bits |= RequiredActionKind::Upgrade;
    }
  }
  if (bits & RequiredActionKind::Upgrade) return RequiredActionKind::Upgrade;
  if (bits & RequiredActionKind::Downgrade) return RequiredActionKind::Downgrade;
  if (bits & RequiredActionKind::Rewrite) return RequiredActionKind::Rewrite;
  return RequiredActionKind::None;
}

bool CBaseCmp::HasDevices() { return !result.devices.empty(); }

std::wstring CBaseCmp::ToUpper(const std::wstring& text) {
  std::wstring upper = text;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return upper;
}
