// Helpers of the inventory tests, which run in the sandbox (private /etc and /usr, a tmpfs /sys):
// writing /etc/hba.conf, installing stand-in libraries and building a fake PCI tree. A control
// block handed out stays valid until the fixture's TearDown, which also resets the dispatch tables.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "StandInControl.h"

// Where the tests place FC-HBA stand-ins; only characters the configuration keeps.
extern const char kVendorA[];  // /usr/lib/fchbatest/libvendora.so
extern const char kVendorB[];  // /usr/lib/fchbatest/libvendorb.so
// /usr/lib/fchbatest/libemsdm.so: an FC-HBA library that bears the management library's marker.
extern const char kEmulexVendor[];

void WriteTextFile(const std::string& path, const std::string& text);
void InstallModule(const std::string& module, const std::string& destination);
// Installs the FC-HBA stand-in at path and returns its control block.
StandInHbaControl& InstallHbaLibrary(const std::string& path,
                                     const std::string& module = "standin_hba.so");
StandInManagementControl& InstallManagementLibrary(const std::string& path,
                                                   const std::string& module = "standin_mgmt.so");
// True while the library at path is loaded by anyone but the tests' control handles.
bool LoadedBeyondControl(const std::string& path);

// One healthy adapter: the name, node WWN bytes all `wwnByte`, ports with WWN bytes
// wwnByte + 1 + port.
StandInAdapter& AddAdapter(StandInHbaControl& control, const std::string& name, uint8_t wwnByte,
                           uint32_t ports);
StandInManagedAdapter& AddManagedAdapter(StandInManagementControl& control,
                                         const std::string& name, uint8_t wwnByte);

// A PCI device directory with its four identifier files, written as the kernel does ("0x10df").
void MakePciDevice(const std::string& directory, const std::string& vendor,
                   const std::string& device, const std::string& subsystemVendor,
                   const std::string& subsystemDevice, bool withDevice = true);

class HbaTest : public ::testing::Test {
 protected:
  void TearDown() override;
};

// Frees the libraries and empties both tables, as at program start.
void ResetDispatch();
