#include "HbaTestSupport.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "FcHbaDispatch.h"

const char kVendorA[] = "/usr/lib/fchbatest/libvendora.so";
const char kVendorB[] = "/usr/lib/fchbatest/libvendorb.so";
const char kEmulexVendor[] = "/usr/lib/fchbatest/libemsdm.so";

namespace {

struct ControlHandle {
  std::string path;
  void* handle;
};
std::vector<ControlHandle> controlHandles;

// The built stand-in module of that file name (e.g. "standin_hba.so").
std::string ModulePath(const std::string& module) {
  return std::string(FCHBA_STANDIN_DIR) + "/" + module;
}

// Installs the module at path and returns its control block; a library without one ends the run.
void* InstallWithControl(const std::string& module, const std::string& path, const char* symbol) {
  InstallModule(module, path);
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  EXPECT_NE(handle, nullptr) << dlerror();
  if (handle == nullptr) abort();
  controlHandles.push_back({path, handle});
  void* block = dlsym(handle, symbol);
  EXPECT_NE(block, nullptr) << symbol;
  if (block == nullptr) abort();
  return block;
}

}  // namespace

void WriteTextFile(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

void InstallModule(const std::string& module, const std::string& destination) {
  // A fresh file each time: a copy over a library still mapped would change it under its users.
  std::filesystem::create_directories(std::filesystem::path(destination).parent_path());
  std::filesystem::remove(destination);
  std::filesystem::copy_file(ModulePath(module), destination);
}

StandInHbaControl& InstallHbaLibrary(const std::string& path, const std::string& module) {
  return *static_cast<StandInHbaControl*>(InstallWithControl(module, path, "standInHbaControl"));
}

StandInManagementControl& InstallManagementLibrary(const std::string& path,
                                                   const std::string& module) {
  return *static_cast<StandInManagementControl*>(
      InstallWithControl(module, path, "standInManagementControl"));
}

bool LoadedBeyondControl(const std::string& path) {
  for (auto it = controlHandles.begin(); it != controlHandles.end();) {
    if (it->path == path) {
      dlclose(it->handle);
      it = controlHandles.erase(it);
    } else {
      ++it;
    }
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

StandInAdapter& AddAdapter(StandInHbaControl& control, const std::string& name, uint8_t wwnByte,
                           uint32_t ports) {
  StandInAdapter& adapter = control.adapters[control.adapterCount++];
  snprintf(adapter.name, sizeof(adapter.name), "%s", name.c_str());
  memset(adapter.attributes.NodeWWN.wwn, wwnByte, 8);
  memset(adapter.extension.nodeWwn, wwnByte, 8);
  adapter.attributes.NumberOfPorts = ports;
  for (uint32_t p = 0; p < ports && p < kStandInPorts; ++p) {
    HBA_PORTATTRIBUTES& port = adapter.ports[p].attributes;
    memset(port.PortWWN.wwn, wwnByte + 1 + p, 8);
    port.PortType = 5;
    port.PortState = 2;
  }
  return adapter;
}

StandInManagedAdapter& AddManagedAdapter(StandInManagementControl& control,
                                         const std::string& name, uint8_t wwnByte) {
  StandInManagedAdapter& adapter = control.adapters[control.adapterCount++];
  snprintf(adapter.name, sizeof(adapter.name), "%s", name.c_str());
  memset(adapter.extension.nodeWwn, wwnByte, 8);
  return adapter;
}

void MakePciDevice(const std::string& directory, const std::string& vendor,
                   const std::string& device, const std::string& subsystemVendor,
                   const std::string& subsystemDevice, bool withDevice) {
  WriteTextFile(directory + "/vendor", vendor + "\n");
  if (withDevice) WriteTextFile(directory + "/device", device + "\n");
  WriteTextFile(directory + "/subsystem_vendor", subsystemVendor + "\n");
  WriteTextFile(directory + "/subsystem_device", subsystemDevice + "\n");
}

void ResetDispatch() {
  HBA_FreeLibrary();
  memset(libraryTable, 0, sizeof(libraryTable));
  memset(adapterTable, 0, sizeof(adapterTable));
  adapterTableCount = 0;
}

void HbaTest::TearDown() {
  ResetDispatch();
  for (const ControlHandle& control : controlHandles) dlclose(control.handle);
  controlHandles.clear();
}
