#include "FcHbaAdapter.h"

#include <algorithm>
#include <cstring>

#include "FcHbaDispatch.h"
#include "FcHbaExtension.h"
#include "FixedText.h"

namespace {

const int kNameBufferSize = 1024;

class MutexHold {
 public:
  explicit MutexHold(pthread_mutex_t& mutex) : mutex_(mutex) { pthread_mutex_lock(&mutex_); }
  ~MutexHold() { pthread_mutex_unlock(&mutex_); }
  MutexHold(const MutexHold&) = delete;
  MutexHold& operator=(const MutexHold&) = delete;

 private:
  pthread_mutex_t& mutex_;
};

// A vendor's texts need not end within their arrays: cut each to fit with its NUL.
template <size_t... N>
void TerminateWithin(char (&... texts)[N]) {
  ((texts[N - 1] = '\0'), ...);
}

bool InKeptRange(char c) {
  signed char s = static_cast<signed char>(c);
  return s >= '!' && s <= '}';
}

}  // namespace

FcHbaAdapter::FcHbaAdapter()
    : name(kUndefined),
      manufacturer(kUndefined),
      serialNumber(kUndefined),
      model(kUndefined),
      modelDescription(kUndefined),
      nodeWwn{},
      nodeSymbolicName(kUndefined),
      hardwareVersion(kUndefined),
      driverVersion(kUndefined),
      optionRomVersion(kUndefined),
      firmwareVersion(kUndefined),
      numberOfPorts(0),
      driverName(kUndefined),
      subsystemIds(0),
      pciBus(0),
      pciFunction(0),
      pciDomain(0) {
  pthread_mutex_init(&lock, nullptr);
}

FcHbaAdapter::~FcHbaAdapter() {
  HBA_FreeLibrary();
  pthread_mutex_destroy(&lock);
}

int FcHbaAdapter::Refresh() {
  MutexHold hold(lock);
  char nameBuffer[kNameBufferSize] = {};
  if (HBA_GetAdapterName(static_cast<HBA_UINT32>(index), nameBuffer) != HBA_STATUS_OK) return 1;
  name = nameBuffer;
  HBA_HANDLE handle = HBA_OpenAdapter(nameBuffer);
  if (handle == 0) return 1;
  // Zeroed first: a library without the handler reports success and writes nothing.
  HBA_ADAPTERATTRIBUTES attributes = {};
  if (HBA_GetAdapterAttributes(handle, &attributes) != HBA_STATUS_OK) {
    HBA_CloseAdapter(handle);
    return 1;
  }
  TerminateWithin(attributes.Manufacturer, attributes.SerialNumber, attributes.Model,
                  attributes.ModelDescription, attributes.NodeSymbolicName,
                  attributes.HardwareVersion, attributes.DriverVersion,
                  attributes.OptionROMVersion, attributes.FirmwareVersion, attributes.DriverName);
  ports.clear();
  TrimAttributeTexts(&attributes);
  manufacturer = attributes.Manufacturer;
  serialNumber = attributes.SerialNumber;
  model = attributes.Model;
  modelDescription = attributes.ModelDescription;
  memcpy(nodeWwn, attributes.NodeWWN.wwn, sizeof(nodeWwn));
  nodeSymbolicName = attributes.NodeSymbolicName;
  hardwareVersion = attributes.HardwareVersion;
  driverVersion = attributes.DriverVersion;
  optionRomVersion = attributes.OptionROMVersion;
  firmwareVersion = attributes.FirmwareVersion;
  subsystemIds = attributes.VendorSpecificID;
  numberOfPorts = attributes.NumberOfPorts;
  driverName = attributes.DriverName;

  // A count past the bound is a library's error (an unset field, a negative number): the ports
  // up to the bound are read, and the refresh reports that it did not read them all.
  int result = numberOfPorts > kMaxPortsPerAdapter ? 1 : 0;
  const uint32_t portsToRead = std::min(numberOfPorts, kMaxPortsPerAdapter);
  for (uint32_t p = 0; p < portsToRead; ++p) {
    HBA_PORTATTRIBUTES portAttributes = {};
    if (HBA_GetAdapterPortAttributes(handle, p, &portAttributes) != HBA_STATUS_OK) {
      result = 1;
      continue;
    }
    FcHbaPort port;
    port.FillFromAttributes(portAttributes, p);
    HBA_PORTSTATISTICS statistics = {};
    if (HBA_GetPortStatistics(handle, p, &statistics) == HBA_STATUS_OK)
      port.UpdateStatistics(statistics);
    else
      result = 1;
    ports.push_back(port);
  }
  HBA_CloseAdapter(handle);
  return result;
}

void FcHbaAdapter::FillPciInfo() {
  // Sized for the direct road, which writes the management library's adapter names into it.
  char nameBuffer[kExtensionNameSize];
  CopyCut(nameBuffer, name);
  char path[kLibraryPathSize];
  void* library = GetAdapterLibrary(static_cast<HBA_UINT32>(index), path);
  char message[kExtensionMessageSize] = {};
  int failed = 0;
  if (BindVendorExtension(nameBuffer, path, library, message, &failed) != 0) {
    if (failed != 0) return;
    HBA_HANDLE handle = HBA_OpenAdapter(nameBuffer);
    if (handle == 0) return;
    ReadExtendedAttributes(nodeWwn, &subsystemIds, &pciBus, &pciFunction, &pciDomain, message,
                           handle);
    HBA_CloseAdapter(handle);
    return;
  }
  // The management library is loaded on its own; the adapter table survives the reload.
  HBA_FreeLibrary();
  ReadExtendedAttributesDirect(nodeWwn, nameBuffer, &subsystemIds, &pciBus, &pciFunction,
                               &pciDomain, message);
  HBA_LoadLibrary();
}

void FcHbaAdapter::TrimAttributeTexts(HBA_ADAPTERATTRIBUTES* attributes) {
  TrimText(attributes->SerialNumber);
  TrimText(attributes->ModelDescription);
  TrimText(attributes->Manufacturer);
  TrimText(attributes->HardwareVersion);
  TrimText(attributes->OptionROMVersion);
  TrimText(attributes->FirmwareVersion);
}

std::string FcHbaAdapter::GetNodeWwnText() const { return FormatWwn(nodeWwn); }

void TrimText(char* text) {
  // Signed: an empty text must not reach below its start.
  long length = static_cast<long>(strlen(text));
  long stop = length;
  while (stop > 0 && !InKeptRange(text[stop])) --stop;
  if (stop < length - 1) text[stop + 1] = '\0';
  // Each run of spaces becomes one space; the rest of the old length is filled with NULs.
  long kept = 0;
  for (long i = 0; text[i] != '\0'; ++i) {
    if (i > 0 && text[i] == ' ' && text[i - 1] == ' ') continue;
    text[kept++] = text[i];
  }
  memset(text + kept, 0, static_cast<size_t>(length - kept));
}

bool MatchReversed(const uint8_t* data, uint32_t length, const std::string& text) {
  if (text.empty() || length == 0) return false;
  const size_t n = text.size();
  const size_t m = std::min<size_t>(n - 1, length - 1);
  for (size_t i = 0; i < m; ++i)
    if (static_cast<uint8_t>(text[n - 1 - i]) != data[i]) return false;
  for (size_t j = n - 1 - m; j >= 1; --j)
    if (static_cast<uint8_t>(text[j]) != data[m]) return false;
  return static_cast<signed char>(text[0]) <= static_cast<signed char>(data[m]);
}
