// The QLogic collection: the tool's query listing read into instance tables, and one device per
// inventory record that the catalogue knows, its installed image taken from the instance whose
// port name is the record's port WWN.
#include "QLogicComponent.h"

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "CommandRunner.h"
#include "Pattern.h"
#include "RecordText.h"
#include "VendorTool.h"

namespace QLogicComp {

namespace {
const char kMakeToolExecutable[] = "chmod 755 ./qvqlafwupdate";
const char kQueryCommand[] = "./qvqlafwupdate /q";
const char kInstancePattern[] = "HBA Instance.*: (.+).*";
const char kFlashImagePattern[] = "Flash Image.*: (.+).*";
const char kPortNamePattern[] = "Port Name.*: (.+).*";
const int kLinesPerInstance = 5;
const int kInstanceRows = 64;
const int kNoInstance = -1;

// What the query listing says of each adapter instance, by instance number.
struct InstanceTables {
  std::wstring flashImage[kInstanceRows];
  std::string portName[kInstanceRows];
  int count = 0;  // the rows that the matching searches
};

// Group 1 of a whole-line match; false when the line does not match (or the pattern is missing).
bool MatchFirstGroup(Pattern* pattern, const std::string& line, std::string& group) {
  if (pattern == nullptr) return false;
  std::unique_ptr<MatchState> state(pattern->CreateMatchState(line));
  if (!state->MatchWhole()) return false;
  const std::vector<std::string> groups = state->GetGroupTexts(false);
  if (groups.empty()) return false;
  group = groups.front();
  return true;
}

// An instance number as atoi reads it (leading blanks and a sign, 0 without digits); numbers
// that do not name a table row give no instance, so the lines that follow them are dropped.
int ReadInstanceNumber(const std::string& text) {
  errno = 0;
  const long number = std::strtol(text.c_str(), nullptr, 10);
  if (errno == ERANGE || number < 0 || number >= kInstanceRows) return kNoInstance;
  return static_cast<int>(number);
}

// The flash image and port name lines write into the row of the latest instance line; before
// the first instance line, and after one that names no row, they are dropped.
InstanceTables ReadQueryListing(const std::string& listing) {
  std::unique_ptr<Pattern> instance(Pattern::Compile(kInstancePattern, PatternFlag::DotAnyChar));
  std::unique_ptr<Pattern> flashImage(Pattern::Compile(kFlashImagePattern, PatternFlag::DotAnyChar));
  std::unique_ptr<Pattern> portName(Pattern::Compile(kPortNamePattern, PatternFlag::DotAnyChar));
  InstanceTables tables;
  int current = kNoInstance;
  ForEachListingLine(listing, [&](const std::string& line) {
    std::string group;
    if (MatchFirstGroup(instance.get(), line, group)) current = ReadInstanceNumber(group);
    if (MatchFirstGroup(flashImage.get(), line, group) && current != kNoInstance)
      tables.flashImage[current] = Widen(group.c_str());
    if (MatchFirstGroup(portName.get(), line, group) && current != kNoInstance) {
      for (char& c : group)
        if (c == '-') c = ':';
      tables.portName[current] = group;
    }
  });
  const size_t count = CountListingLines(listing) / kLinesPerInstance;
  tables.count = count < static_cast<size_t>(kInstanceRows) ? static_cast<int>(count) : kInstanceRows;
  return tables;
}

// The flash image of the last searched row whose port name is the WWN, byte for byte; empty
// when none is. A row without a port name never matches, not even a record without a WWN.
std::wstring InstalledImage(const InstanceTables& tables, const std::string& portWwn) {
  std::wstring image;
  for (int j = 0; j < tables.count; ++j)
    if (!tables.portName[j].empty() && tables.portName[j] == portWwn) image = tables.flashImage[j];
  return image;
}
}  // namespace

CComponent::CComponent() = default;
CComponent::CComponent(const std::string& logPath) : CBaseCmp(logPath) {}
CComponent::~CComponent() = default;

void CComponent::CollectFirmware() {
  (void)RunShell(kMakeToolExecutable);
  std::string listing;
  if (!ReadToolListing(log, kQueryCommand, listing)) {
    collectionFailed = true;
    return;
  }
  const InstanceTables tables = ReadQueryListing(listing);
  for (size_t i = 0; i < hbaList.records.size(); ++i) {
    const int idx = FindReference(GetDeviceId(static_cast<int>(i)));
    if (idx < 0) continue;
    const ReferenceEntry& entry = catalogue.devices[static_cast<size_t>(idx)];
    const std::wstring installed = InstalledImage(tables, RecordText(hbaList.records[i]->portWwn));
    AddOneItemDevice(*this, entry.device_id, entry, L"Multiboot Image", entry.boot, installed);
  }
}

int CComponent::FindReference(const std::wstring& key) {
  const int idx = CBaseCmp::FindReference(key);
  if (idx != -1) return idx;
  // Every text contains the empty key: an adapter without identifiers is not taken for
  // whichever entry comes first.
  if (key.empty()) return -1;
  const std::wstring upperKey = ToUpper(key);
  for (size_t i = 0; i < catalogue.devices.size(); ++i)
    if (ToUpper(catalogue.devices[i].device_id).find(upperKey) != std::wstring::npos) return static_cast<int>(i);
  return -1;
}

std::wstring CComponent::NormalizeVersion(const std::wstring& version) {
  std::wstring text = version.substr(0, version.find(L' '));
  const size_t prefix = text.find(L"v.");
  if (prefix != std::wstring::npos) text.erase(prefix, 2);
  return text;
}

}  // namespace QLogicComp
