// One Fibre Channel adapter as the FC-HBA libraries report it: its name, attribute texts, node
// WWN, ports and, from the vendor extension, PCI subsystem identifiers and location. Created by
// FcHbaMRA and owned by whoever receives it; destroying one releases every FC-HBA library.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FcHbaPort.h"
#include "HbaApi.h"

// The most ports a refresh reads of one adapter, far above any real adapter: a library's port
// count is not trusted to bound the loop, nor the memory the ports take.
const uint32_t kMaxPortsPerAdapter = 256;

class FcHbaAdapter {
 public:
  FcHbaAdapter();
  virtual ~FcHbaAdapter();
  FcHbaAdapter(const FcHbaAdapter&) = delete;
  FcHbaAdapter& operator=(const FcHbaAdapter&) = delete;

  // Fills the adapter and its ports from adapter `index`; 0 when every call succeeded, else 1.
  // Reads at most kMaxPortsPerAdapter ports; a larger reported count keeps its value in
  // numberOfPorts and gives 1, as the ports beyond were not read. The lock is held throughout.
  int Refresh();
  // Fills subsystemIds and the PCI location through the vendor extension, where it finds this
  // adapter by its node WWN; failures leave them as they were.
  void FillPciInfo();
  void TrimAttributeTexts(HBA_ADAPTERATTRIBUTES* attributes);
  std::string GetNodeWwnText() const;

  std::string GetName() const { return name; }
  std::string GetManufacturer() const { return manufacturer; }
  std::string GetSerialNumber() const { return serialNumber; }
  std::string GetModel() const { return model; }
  std::string GetModelDescription() const { return modelDescription; }
  const uint8_t* GetNodeWwn() const { return nodeWwn; }
  std::string GetNodeSymbolicName() const { return nodeSymbolicName; }
  std::string GetHardwareVersion() const { return hardwareVersion; }
  std::string GetDriverVersion() const { return driverVersion; }
  std::string GetOptionRomVersion() const { return optionRomVersion; }
  std::string GetFirmwareVersion() const { return firmwareVersion; }
  uint32_t GetNumberOfPorts() const { return numberOfPorts; }
  std::string GetDriverName() const { return driverName; }
  uint32_t GetSubsystemIds() const { return subsystemIds; }
  uint8_t GetPciDomain() const { return pciDomain; }
  uint8_t GetPciBus() const { return pciBus; }
  uint8_t GetPciFunction() const { return pciFunction; }

  int index;
  std::vector<FcHbaPort> ports;
  std::string name;
  std::string manufacturer;
  std::string serialNumber;
  std::string model;
  std::string modelDescription;
  uint8_t nodeWwn[8];
  std::string nodeSymbolicName;
  std::string hardwareVersion;
  std::string driverVersion;
  std::string optionRomVersion;
  std::string firmwareVersion;
  uint32_t numberOfPorts;
  std::string driverName;
  uint32_t subsystemIds;
  uint8_t pciBus;
  uint8_t pciFunction;
  uint8_t pciDomain;
  pthread_mutex_t lock;
};

// Cuts trailing bytes outside "!".."}" (the first character always stays) and turns each run of
// spaces into one space, in place.
void TrimText(char* text);
// Compares text, read from its end, with data; false for an empty text or length 0.
bool MatchReversed(const uint8_t* data, uint32_t length, const std::string& text);
