#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

#include "FcHbaDispatch.h"
#include "FcHbaExtension.h"
#include "FcHbaMRA.h"
#include "HbaTestSupport.h"

namespace {

const char kEmulexManagement[] = "/usr/lib/libemsdm.so";
const char kEmulexName[] = "Emulex LPe12000";

struct Outputs {
  uint32_t subsystemIds = 0x11111111;
  uint8_t bus = 0x22, function = 0x33, domain = 0x44;
  char message[kExtensionMessageSize] = {};
  char name[kExtensionNameSize] = {};

  // True while the four values are still the ones a fresh set starts with.
  bool Untouched() const {
    const Outputs fresh;
    return subsystemIds == fresh.subsystemIds && bus == fresh.bus &&
           function == fresh.function && domain == fresh.domain;
  }
};

TEST_F(HbaTest, BindChoosesTheVendorByCaseSensitiveName) {
  struct Case { const char* name; const char* path; int bound; };
  const Case kCases[] = {
      {"qlogic 2562", "/opt/libqlsdm.so", 1},
      {"QLogic 2562", "/opt/libqlsdm.so", 0},
      {"QLogic 2562", "/opt/bfahbaapi.so", 1},
      {"Emulex LPe", "/opt/libemsdm.so", 1},
      {"emulex LPe", "/opt/libemsdm.so", 0},
      {"Brocade 825", "/opt/bfahbaapi.so", 1},
      {"Brocade 825", "/opt/libvendora.so", 0},
  };
  for (const Case& c : kCases) {
    char message[kExtensionMessageSize] = "untouched";
    int failed = 7;
    EXPECT_EQ(BindVendorExtension(c.name, c.path, nullptr, message, &failed), c.bound)
        << c.name << " " << c.path;
    if (c.bound == 0) {
      EXPECT_STREQ(message, "untouched");
      EXPECT_EQ(failed, 7);
    } else {
      EXPECT_STREQ(message, "libHandle is NULL; cannot dlsym");
      EXPECT_EQ(failed, 1);
    }
  }
}

TEST_F(HbaTest, BindLooksTheEntryPointUpInTheAdaptersLibrary) {
  const char kExtended[] = "/usr/lib/fchbatest/libemsdmx.so";
  InstallModule("standin_hba.so", kEmulexVendor);
  InstallModule("standin_hba_extension.so", kExtended);
  void* plain = dlopen(kEmulexVendor, RTLD_LAZY);
  void* extension = dlopen(kExtended, RTLD_LAZY);
  ASSERT_NE(plain, nullptr);
  ASSERT_NE(extension, nullptr);
  char message[kExtensionMessageSize] = {};
  int failed = 7;
  EXPECT_EQ(BindVendorExtension(kEmulexName, kExtended, extension, message, &failed), 1);
  EXPECT_EQ(failed, 0);
  EXPECT_STREQ(message, "dlsym for ZMTFC_GetAdapterAttributes2 success!");
  EXPECT_EQ(reinterpret_cast<void*>(boundGetAdapterAttributes2),
            dlsym(extension, "ZMTFC_GetAdapterAttributes2"));
  EXPECT_EQ(BindVendorExtension(kEmulexName, kEmulexVendor, plain, message, &failed), 1);
  EXPECT_EQ(failed, 1);
  EXPECT_STREQ(message, "unable to dlsym for ZMTFC_GetAdapterAttributes2");
  EXPECT_EQ(boundGetAdapterAttributes2, nullptr);
  dlclose(plain);
  dlclose(extension);
}

// The bound road through the dispatch layer: an adapter served by the vendor's own library.
class BoundRoadTest : public HbaTest {
 protected:
  void SetUp() override {
    WriteTextFile("/etc/hba.conf", std::string("emulex ") + kEmulexVendor + "\n");
    StandInAdapter& adapter = AddAdapter(control, kEmulexName, 0x10, 1);
    adapter.attributes.VendorSpecificID = 0xABCD1234;
    adapter.extension.subsystemIds = 0xfe0010df;
    adapter.extension.pciBus = 5;
    adapter.extension.pciFunction = 1;
    adapter.extension.pciDomain = 2;
    control.handleBase = 0x40;  // the adapter opens as 0x41
  }
  // Binds and reads for adapter 0 as the adapter does; the read's status.
  FcHbaExtensionStatus BindAndRead(Outputs& out) {
    EXPECT_EQ(HBA_LoadLibrary(), 0u);
    EXPECT_EQ(HBA_GetNumberOfAdapters(), 1u);
    char path[kLibraryPathSize];
    void* library = GetAdapterLibrary(0, path);
    int failed = 1;
    EXPECT_EQ(BindVendorExtension(kEmulexName, path, library, out.message, &failed), 1);
    EXPECT_EQ(failed, 0);
    strcpy(out.name, kEmulexName);
    HBA_HANDLE handle = HBA_OpenAdapter(out.name);
    EXPECT_EQ(handle, 0x41u);
    uint8_t wwn[8];
    memset(wwn, 0x10, 8);
    return ReadExtendedAttributes(wwn, &out.subsystemIds, &out.bus, &out.function, &out.domain,
                                  out.message, handle);
  }
  StandInHbaControl& control = InstallHbaLibrary(kEmulexVendor, "standin_hba_extension.so");
};

TEST_F(BoundRoadTest, MatchCopiesTheFourValues) {
  Outputs out;
  EXPECT_EQ(BindAndRead(out), ExtensionOk);
  EXPECT_STREQ(out.message, "read adapter attribs Success! handle used is 0x41");
  EXPECT_EQ(control.lastHandle, 0x41u);
  EXPECT_EQ(out.subsystemIds, 0xfe0010dfu);
  EXPECT_EQ(out.bus, 5);
  EXPECT_EQ(out.function, 1);
  EXPECT_EQ(out.domain, 2);
}

TEST_F(BoundRoadTest, WwnMismatchCopiesNothingAndStillReturnsOk) {
  memset(control.adapters[0].extension.nodeWwn, 0x99, 8);
  Outputs out;
  EXPECT_EQ(BindAndRead(out), ExtensionOk);
  EXPECT_STREQ(out.message, "dlsym for ZMTFC_GetAdapterAttributes2 success!");
  EXPECT_EQ(out.subsystemIds, 0x11111111u);
  EXPECT_EQ(out.domain, 0x44);
}

TEST_F(BoundRoadTest, FailedReadNamesHandleAndStatus) {
  control.adapters[0].extension.status = 0x1f;
  Outputs out;
  EXPECT_EQ(BindAndRead(out), ExtensionReadFailed);
  EXPECT_STREQ(out.message, "fail to read adapter attribs: handle used is 0x41: retStatus is 0x1f");
  EXPECT_EQ(out.subsystemIds, 0x11111111u);
}

TEST_F(BoundRoadTest, AdapterTakesTheValuesAndKeepsTheLibrariesLoaded) {
  FcHbaMRA enumerator;
  int status = -1;
  FcHbaAdapter* adapter = enumerator.GetFirstAdapter(&status);
  ASSERT_NE(adapter, nullptr);
  EXPECT_EQ(status, AdapterOk);
  EXPECT_EQ(adapter->GetSubsystemIds(), 0xfe0010dfu);
  EXPECT_EQ(adapter->GetPciBus(), 5);
  EXPECT_EQ(adapter->GetPciFunction(), 1);
  EXPECT_EQ(adapter->GetPciDomain(), 2);
  EXPECT_EQ(control.registerCalls, 1);
  EXPECT_EQ(libraryTable[0].state, LibraryLoaded);
  delete adapter;
}

TEST_F(BoundRoadTest, AdapterKeepsVendorSpecificIdWhenTheReadFails) {
  control.adapters[0].extension.status = 3;
  FcHbaMRA enumerator;
  int status = -1;
  FcHbaAdapter* adapter = enumerator.GetFirstAdapter(&status);
  ASSERT_NE(adapter, nullptr);
  EXPECT_EQ(adapter->GetSubsystemIds(), 0xABCD1234u);
  EXPECT_EQ(adapter->GetPciBus(), 0);
  delete adapter;
}

// The adapter's own library bears the marker but lacks the entry point: the bound road ends
// there, without opening the adapter again and without trying the management library.
TEST_F(HbaTest, AdapterStopsWhenTheBindFails) {
  StandInHbaControl& hba = InstallHbaLibrary(kEmulexVendor);
  WriteTextFile("/etc/hba.conf", std::string("emulex ") + kEmulexVendor + "\n");
  AddAdapter(hba, kEmulexName, 0x10, 1).attributes.VendorSpecificID = 0x5555;
  StandInManagementControl& management = InstallManagementLibrary(kEmulexManagement);
  AddManagedAdapter(management, "m0", 0x10).extension.subsystemIds = 0xfe0010df;
  FcHbaMRA enumerator;
  int status = -1;
  FcHbaAdapter* adapter = enumerator.GetFirstAdapter(&status);
  ASSERT_NE(adapter, nullptr);
  EXPECT_EQ(status, AdapterOk);
  EXPECT_EQ(adapter->GetSubsystemIds(), 0x5555u);
  EXPECT_EQ(hba.calls[kOpenAdapter], 1);
  EXPECT_EQ(hba.calls[kFreeLibrary], 0);
  EXPECT_EQ(management.loadCalls, 0);
  delete adapter;
}

// The direct road: the management library loaded from its fixed paths.
class DirectRoadTest : public HbaTest {
 protected:
  FcHbaExtensionStatus Read(Outputs& out, const char* name = kEmulexName, uint8_t wwnByte = 0x10) {
    snprintf(out.name, sizeof(out.name), "%s", name);
    uint8_t wwn[8];
    memset(wwn, wwnByte, 8);
    return ReadExtendedAttributesDirect(wwn, out.name, &out.subsystemIds, &out.bus, &out.function,
                                        &out.domain, out.message);
  }
};

TEST_F(DirectRoadTest, NoLibraryAtAnyPath) {
  struct Case { const char* name; const char* message; };
  const Case kCases[] = {
      {"qlogic 2562", "unable to load qlsdm"},
      {"Emulex LPe", "unable to load emsdm"},
      {"QLogic 2562", "unable to load bfahbaapi"},
  };
  for (const Case& c : kCases) {
    Outputs out;
    EXPECT_EQ(Read(out, c.name), ExtensionLibraryNotFound);
    EXPECT_STREQ(out.message, c.message);
    EXPECT_TRUE(out.Untouched());
  }
}

TEST_F(DirectRoadTest, EachVendorsPathsAreTriedInOrder) {
  struct Case { const char* name; const char* path; };
  const Case kCases[] = {
      {"qlogic 2562", "/usr/lib64/libqlsdm-x86_64.so"},
      {"qlogic 2562", "/lib/cim/libqlsdm.so"},
      {"Emulex LPe", "/usr/lib64/libemsdm.so"},
      {"Brocade 825", "/usr/lib/bfahbaapi.so"},
      {"Brocade 825", "/lib/cim/bfahbaapi.so"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.path);
    StandInManagementControl& control = InstallManagementLibrary(c.path);
    AddManagedAdapter(control, "m0", 0x10).extension.subsystemIds = 0x12345678;
    Outputs out;
    EXPECT_EQ(Read(out, c.name), ExtensionOk);
    EXPECT_STREQ(out.message, "pass");
    EXPECT_EQ(out.subsystemIds, 0x12345678u);
    EXPECT_FALSE(LoadedBeyondControl(c.path));
    unlink(c.path);
  }
}

TEST_F(DirectRoadTest, MissingEntryPoints) {
  const char* kEntries[] = {"ZMTFC_LoadLibrary", "ZMTFC_GetNumberOfAdapters",
                            "ZMTFC_GetAdapterName", "ZMTFC_OpenAdapter",
                            "ZMTFC_GetAdapterAttributes2", "ZMTFC_CloseAdapter",
                            "ZMTFC_FreeLibrary"};
  for (const char* entry : kEntries) {
    SCOPED_TRACE(entry);
    const std::string module = std::string("standin_mgmt_lacks_") + entry + ".so";
    StandInManagementControl& control = InstallManagementLibrary(kEmulexManagement, module);
    AddManagedAdapter(control, "m0", 0x10);
    Outputs out;
    EXPECT_EQ(Read(out), ExtensionEntryMissing);
    EXPECT_EQ(std::string(out.message), std::string("unable to dlsym for ") + entry);
    EXPECT_EQ(control.loadCalls + control.openCalls + control.freeCalls, 0);
    EXPECT_TRUE(out.Untouched());
    EXPECT_FALSE(LoadedBeyondControl(kEmulexManagement));
  }
}

// Every road through the walk: status, message, what was called, and nothing left loaded.
TEST_F(DirectRoadTest, WalkOutcomes) {
  struct Case {
    const char* what;
    std::function<void(StandInManagementControl&)> setUp;
    FcHbaExtensionStatus status;
    const char* message;
    int frees, closes;
  };
  // Of `count` adapters only the last one matches (m1 no longer does); at most 256 are walked.
  const auto lastOf = [](int count) {
    return [count](StandInManagementControl& c) {
      memset(c.adapters[1].extension.nodeWwn, 9, 8);
      while (c.adapterCount < std::min(count - 1, kStandInAdapters))
        AddManagedAdapter(c, "m" + std::to_string(c.adapterCount), 0x20);
      if (count <= kStandInAdapters) AddManagedAdapter(c, "last", 0x10);
      c.adapterCount = count;
      c.lastExtraWwnByte = 0x10;
    };
  };
  const Case kCases[] = {
      {"load fails", [](StandInManagementControl& c) { c.failLoad = true; }, ExtensionLoadFailed,
       "fail to load library", 0, 0},
      {"no adapters", [](StandInManagementControl& c) { c.adapterCount = 0; },
       ExtensionNoWwnMatch, "could not find WWNN match", 1, 0},
      {"no WWN matches", [](StandInManagementControl& c) { memset(c.adapters[1].extension.nodeWwn, 9, 8); },
       ExtensionNoWwnMatch, "could not find WWNN match", 1, 2},
      {"name fails", [](StandInManagementControl& c) { c.adapters[0].failName = true; },
       ExtensionNameFailed, "fail to get adapter number", 1, 0},
      {"open fails", [](StandInManagementControl& c) { c.adapters[0].failOpen = true; },
       ExtensionOpenFailed, "fail to open adapter", 1, 0},
      {"read fails before the match",
       [](StandInManagementControl& c) { c.adapters[0].extension.status = 0x1f; }, ExtensionReadFailed,
       "fail to read adapter attribs, adapterHandle 0x100, retStatus 0x1f", 1, 1},
      // A count no real machine reaches: the walk stops at its bound as when none matched.
      {"count far past the adapters, none matching",
       [](StandInManagementControl& c) {
         memset(c.adapters[1].extension.nodeWwn, 9, 8);
         c.adapterCount = 0x7FFFFFFF;
       },
       ExtensionNoWwnMatch, "could not find WWNN match", 1, 256},
      {"match on the 16th adapter", lastOf(16), ExtensionOk, "pass", 1, 16},
      {"match on the 256th adapter", lastOf(256), ExtensionOk, "pass", 1, 256},
      {"match on the 257th adapter, past the walk", lastOf(257), ExtensionNoWwnMatch,
       "could not find WWNN match", 1, 256},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    StandInManagementControl& control = InstallManagementLibrary(kEmulexManagement);
    AddManagedAdapter(control, "m0", 0x20);
    AddManagedAdapter(control, "m1", 0x10);
    c.setUp(control);
    Outputs out;
    EXPECT_EQ(Read(out), c.status);
    EXPECT_STREQ(out.message, c.message);
    EXPECT_EQ(control.freeCalls, c.frees);
    EXPECT_EQ(control.closeCalls, c.closes);
    EXPECT_EQ(control.openCalls, control.closeCalls + (c.status == ExtensionOpenFailed ? 1 : 0));
    EXPECT_EQ(out.Untouched(), c.status != ExtensionOk);
    EXPECT_FALSE(LoadedBeyondControl(kEmulexManagement));
  }
}

TEST_F(DirectRoadTest, MatchCopiesTheFourValuesAndLeavesTheLastName) {
  StandInManagementControl& control = InstallManagementLibrary(kEmulexManagement);
  AddManagedAdapter(control, "m0", 0x20);
  StandInManagedAdapter& match = AddManagedAdapter(control, "m1", 0x10);
  AddManagedAdapter(control, "m2", 0x10).extension.subsystemIds = 0x99;
  match.extension.subsystemIds = 0xfe0010df;
  match.extension.pciBus = 3;
  match.extension.pciFunction = 1;
  match.extension.pciDomain = 0;
  Outputs out;
  EXPECT_EQ(Read(out), ExtensionOk);
  EXPECT_STREQ(out.message, "pass");
  EXPECT_STREQ(out.name, "m1");
  EXPECT_EQ(out.subsystemIds, 0xfe0010dfu);
  EXPECT_EQ(out.bus, 3);
  EXPECT_EQ(out.function, 1);
  EXPECT_EQ(out.domain, 0);
  EXPECT_EQ(control.closeCalls, 2);
  EXPECT_EQ(control.freeCalls, 1);
  EXPECT_FALSE(LoadedBeyondControl(kEmulexManagement));
}

TEST_F(DirectRoadTest, AdapterReloadsItsLibrariesAroundTheDirectRead) {
  StandInHbaControl& hba = InstallHbaLibrary(kVendorA);
  WriteTextFile("/etc/hba.conf", std::string("a ") + kVendorA + "\n");
  AddAdapter(hba, kEmulexName, 0x10, 1).attributes.VendorSpecificID = 0x5555;
  StandInManagementControl& management = InstallManagementLibrary(kEmulexManagement);
  StandInManagedAdapter& managed = AddManagedAdapter(management, "m0", 0x10);
  managed.extension.subsystemIds = 0xfe0010df;
  managed.extension.pciBus = 4;
  FcHbaMRA enumerator;
  int status = -1;
  FcHbaAdapter* adapter = enumerator.GetFirstAdapter(&status);
  ASSERT_NE(adapter, nullptr);
  EXPECT_EQ(adapter->GetSubsystemIds(), 0xfe0010dfu);
  EXPECT_EQ(adapter->GetPciBus(), 4);
  EXPECT_EQ(hba.registerCalls, 2);
  EXPECT_EQ(hba.calls[kFreeLibrary], 1);
  EXPECT_EQ(libraryTable[0].state, LibraryLoaded);
  EXPECT_EQ(adapterTableCount, 1);
  delete adapter;
  EXPECT_EQ(libraryTable[0].state, LibraryUnavailable);
}

}  // namespace
