#include "EmulexComponent.h"

#include <glob.h>

#include <algorithm>
#include <memory>

#include "CommandRunner.h"
#include "Pattern.h"
#include "PrivateFolder.h"
#include "ShellQuote.h"
#include "VendorTool.h"

namespace EmulexComp {

namespace {
const char kUnzipKit[] = "unzip -o elxflashStandalone*.zip -d ";
// The private folder that the kit is unpacked in; no kit pattern matches its name.
const char kUnpackFolderPrefix[] = ".fchba-unpack-";
// unzip takes options from these variables before its command line's: a caller's "-n" (never
// overwrite), "-l", "-t" or "-d DIR" would leave an earlier package's kit in place unannounced.
const std::vector<std::string> kUnzipOptionVariables = {"UNZIP", "UNZIPOPT"};
const char kKitScript[] = "./elxflashStandalone*/lx/elxflash.sh";
const char kMakeScriptExecutable[] = "chmod 755 ./elxflashStandalone*/lx/elxflash.sh";
const char kListingCommand[] = "./elxflashStandalone*/lx/elxflash.sh /q /fc";
const char kListingPattern[] =
    "HBA=(.+),.*PCI ID=(\\w{1,4}),.*VID=(\\w{1,4}),.*SSID=(\\w{1,4}),.*SVID=(\\w{1,4}),"
    ".*Firmware=(.+),.*Boot Code=([\\w\\.]+).*";

// The listing pattern's groups, as GetGroupTexts(false) lists them.
enum ListingGroup { kModel, kDeviceId, kVendorId, kSubsystemId, kSubsystemVendorId, kFirmware, kBootCode, kGroups };

// The kit scripts that the pattern names, in the order the shell expands it.
std::vector<std::string> FindKitScripts(const std::string& pattern) {
  std::vector<std::string> scripts;
  glob_t found;
  if (glob(pattern.c_str(), 0, nullptr, &found) == 0) scripts.assign(found.gl_pathv, found.gl_pathv + found.gl_pathc);
  globfree(&found);
  return scripts;
}

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// The listing writes versions with a two-letter prefix ("US2.01A12"); a text too short to carry
// one leaves nothing installed to read.
std::string WithoutPrefix(const std::string& text) { return text.size() < 2 ? std::string() : text.substr(2); }

// A version cut at its first character that is not a decimal digit: the digits before it and
// everything after it. A version of digits alone yields two empty parts.
struct VersionSplit {
  std::wstring digits;
  std::wstring rest;
};

VersionSplit SplitAtFirstNonDigit(const std::wstring& version) {
  VersionSplit split;
  const size_t p = version.find_first_not_of(L"0123456789");
  if (p == std::wstring::npos) return split;
  split.digits = version.substr(0, p);
  split.rest = version.substr(p + 1);
  return split;
}
}  // namespace

CComponent::CComponent() = default;
CComponent::CComponent(const std::string& logPath) : CBaseCmp(logPath) {}
CComponent::~CComponent() = default;

// The archive is unpacked in a folder that only root can enter, and what it holds is narrowed
// there and only then put in place, whatever modes the archive stores: no other user can change
// or hold open anything of the kit before root runs it. unzip's answer reads from nowhere: a
// write error (a full disk, a file-size limit) would otherwise stop it at a question on the
// caller's standard input. Exit code 1 means warnings only, with every file unpacked; anything
// else (no archive, two archives, a file cut short, no unzip at all) leaves a kit that cannot be
// trusted. The commands name the script by its pattern, so they run the package's own kit only
// when the archive holds one and the pattern names one script: a second one (an earlier
// package's kit under another name) would be run in its place.
int CComponent::PrepareKit() {
  log << "Preparing the Emulex Kit...";
  PrivateFolder::RemoveLeftovers(".", kUnpackFolderPrefix);
  const PrivateFolder unpacked(".", kUnpackFolderPrefix);
  bool whole = unpacked.Made();
  if (whole) {
    const CommandOutput unzip = ReadCommandOutput(kUnzipKit + ShellQuote(unpacked.Path()), ChildInput::Nothing,
                                                  kUnzipOptionVariables);
    whole = unzip.started && !unzip.tooLong && unzip.ExitCode() <= 1;
  }
  if (!whole || !unpacked.NarrowModes()) {
    log << "FAILED!\n";
    return 1;
  }
  if (FindKitScripts(unpacked.Path() + (kKitScript + 1)).empty()) {  // the pattern without its "."
    log << "FAILED!\n";
    log << std::string("ERROR! : No kit script was found in the kit's archive: ") + kKitScript + "\n";
    return 1;
  }
  if (!unpacked.PutEntriesInPlace()) {
    log << "FAILED!\n";
    return 1;
  }
  const std::vector<std::string> scripts = FindKitScripts(kKitScript);
  if (scripts.size() > 1) {
    std::string names;
    for (const std::string& script : scripts) names += " " + script;
    log << "FAILED!\n";
    log << "ERROR! : More than one kit script was found, so the package's own cannot be told:" + names + "\n";
    return 1;
  }
  log << "done\n";
  (void)RunShell(kMakeScriptExecutable);
  return 0;
}

bool CComponent::Discover() {
  if (PrepareKit() != 0) return false;
  std::string listing;
  if (!ReadToolListing(log, kListingCommand, listing)) return false;
  std::unique_ptr<Pattern> pattern(Pattern::Compile(kListingPattern, PatternFlag::DotAnyChar));
  if (!pattern) return true;
  ForEachListingLine(listing, [&](const std::string& line) {
    std::unique_ptr<MatchState> state(pattern->CreateMatchState(line));
    if (state->MatchWhole()) AddListedDevice(state->GetGroupTexts(false));
  });
  return true;
}

void CComponent::AddListedDevice(const std::vector<std::string>& groups) {
  if (groups.size() < kGroups) return;
  const std::string& model = groups[kModel];
  const std::string key = PadTo4(groups[kVendorId]) + "." + PadTo4(groups[kDeviceId]) + "." +
                          PadTo4(groups[kSubsystemVendorId]) + "." + PadTo4(groups[kSubsystemId]);
  const std::wstring deviceId = Widen(key.c_str());
  const int index = FindReference(deviceId);
  if (index < 0) return;
  const ReferenceEntry& entry = catalogue.devices[static_cast<size_t>(index)];

  // The model decides how the installed texts read, which package version applies and how the
  // firmware versions compare.
  const bool lpe160 = Contains(model, "LPe160");
  const bool lpe320 = Contains(model, "LPe320") || Contains(model, "LPe310");
  const bool converged = Contains(model, "OCe");
  const std::string installedFirmware =
      lpe160 || lpe320 || converged ? groups[kFirmware] : WithoutPrefix(groups[kFirmware]);
  const std::string installedBoot = converged ? groups[kBootCode] : WithoutPrefix(groups[kBootCode]);

  Device device;
  device.device_id = deviceId;
  device.product_id = entry.model;

  FwItem firmware;
  firmware.type = L"Firmware";
  firmware.version = entry.firmware;
  firmware.active_version = Widen(installedFirmware.c_str());
  if (lpe160) {
    firmware.version = L"11.1.183.58";
  } else if (lpe320) {
    firmware.version = L"11.2.224.5";
  } else if (firmware.version.find(L'.') == std::wstring::npos) {
    std::wstring& installed = firmware.active_version;
    installed.erase(std::remove(installed.begin(), installed.end(), L'.'), installed.end());
  }
  const bool twoStep = Contains(model, "LPe120") || Contains(model, "LPe110");
  firmware.action = ActionText(twoStep ? CompareInTwoSteps(firmware.version, firmware.active_version)
                                       : CompareVersions(firmware.version, firmware.active_version));
  firmware.duration = entry.duration;
  firmware.shared = L"no";
  device.fwItems.push_back(firmware);

  if (entry.hasBios != 0) {
    FwItem boot;
    boot.type = L"Boot BIOS ROM";
    boot.version = entry.bios;
    boot.active_version = Widen(installedBoot.c_str());
    boot.action = ActionText(CompareInTwoSteps(boot.version, boot.active_version));
    boot.duration = entry.duration;
    device.fwItems.push_back(boot);
  }
  result.devices.push_back(device);
}

// Compares the digits before the first other character, then, when they are equal, what
// follows that character; the character itself is never compared.
int CComponent::CompareInTwoSteps(const std::wstring& packageVersion, const std::wstring& installedVersion) {
  const VersionSplit package = SplitAtFirstNonDigit(packageVersion);
  const VersionSplit installed = SplitAtFirstNonDigit(installedVersion);
  int r = CompareVersions(package.digits, installed.digits);
  if (r == 0) r = CompareVersions(package.rest, installed.rest);
  return r;
}

std::wstring CComponent::NormalizeVersion(const std::wstring& version) {
  return version.substr(0, version.find(L' '));
}

std::string CComponent::PadTo4(const std::string& id) {
  const int missing = 4 - static_cast<int>(id.size());
  return missing > 0 ? std::string(static_cast<size_t>(missing), '0') + id : id;
}

}  // namespace EmulexComp
