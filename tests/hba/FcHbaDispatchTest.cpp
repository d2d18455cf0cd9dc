#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

#include "FcHbaDispatch.h"
#include "HbaTestSupport.h"

namespace {

struct ExpectedRow {
  const char* name;
  const char* path;
  FcHbaLibraryState state;
};

// The configuration reader: comments by first character, tab before space, the empty test
// before the filter, and the filter cutting the path at its first other character.
TEST_F(HbaTest, ConfigurationLines) {
  struct Case {
    const char* config;
    ExpectedRow rows[2];
  };
  const std::string a = kVendorA;
  const Case kCases[] = {
      {"# only comments\n\n#vendora /usr/lib/fchbatest/libvendora.so\n", {}},
      {"vendora\t\t  /usr/lib/fchbatest/libvendora.so\n",
       {{"vendora", kVendorA, LibraryLoaded}}},
      {"vendora /usr/lib/fchbatest/libvendora.so-old\n", {{"vendora", kVendorA, LibraryLoaded}}},
      {"vendora /usr/lib/fchbatest/libvendora.so # the first card\r\n",
       {{"vendora", kVendorA, LibraryLoaded}}},
      {"  vendora /usr/lib/fchbatest/libvendora.so\n", {}},
      {"vendora/usr/lib/fchbatest/libvendora.so\n", {}},
      {"vendora\t\n", {}},
      {"name#1 /usr/lib/fchbatest/libvendora.so\n", {{"name#1", kVendorA, LibraryLoaded}}},
      {"name with\tspaces /usr/lib/fchbatest/libvendora.so\n",
       {{"name with", "spaces", LibraryEmpty}}},
      // Emptied by the filter: the row is taken but nothing is opened.
      {"first -/usr/lib/fchbatest/libvendora.so\nsecond /usr/lib/fchbatest/libvendora.so",
       {{"first", "", LibraryEmpty}, {"second", kVendorA, LibraryLoaded}}},
      {"missing /usr/lib/fchbatest/none.so\nvendora /usr/lib/fchbatest/libvendora.so\n",
       {{"missing", "/usr/lib/fchbatest/none.so", LibraryEmpty},
        {"vendora", kVendorA, LibraryLoaded}}},
  };
  InstallHbaLibrary(kVendorA);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.config);
    ResetDispatch();
    WriteTextFile("/etc/hba.conf", c.config);
    ASSERT_EQ(HBA_LoadLibrary(), 0u);
    for (int row = 0; row < 3; ++row) {
      const ExpectedRow expected = row < 2 ? c.rows[row] : ExpectedRow{};
      const FcHbaLibraryEntry& entry = libraryTable[row];
      EXPECT_STREQ(entry.name, expected.name ? expected.name : "") << row;
      EXPECT_STREQ(entry.path, expected.path ? expected.path : "") << row;
      EXPECT_EQ(entry.state, expected.state) << row;
      EXPECT_EQ(entry.handle != nullptr, expected.state == LibraryLoaded) << row;
    }
  }
}

TEST_F(HbaTest, LoadWithoutConfigurationTouchesNothing) {
  libraryTable[0].state = LibraryUnavailable;
  EXPECT_EQ(HBA_LoadLibrary(), 1u);
  EXPECT_EQ(libraryTable[0].state, LibraryUnavailable);
  EXPECT_EQ(HBA_GetNumberOfAdapters(), 0u);
}

// A configuration that never ends (here a device of endless zero bytes, no line with a
// separator) ends the load all the same; a long real one is still read to its end, up to its
// 4096th line.
TEST_F(HbaTest, ConfigurationReadsAreBounded) {
  InstallHbaLibrary(kVendorA);
  ASSERT_EQ(symlink("/dev/zero", "/etc/hba.conf"), 0);
  EXPECT_EQ(HBA_LoadLibrary(), 0u);
  EXPECT_EQ(libraryTable[0].state, LibraryEmpty);
  EXPECT_STREQ(libraryTable[0].name, "");

  for (int comments : {4095, 4096}) {
    SCOPED_TRACE(comments);
    ResetDispatch();
    std::string config;
    for (int i = 0; i < comments; ++i) config += "# a comment line\n";
    ASSERT_EQ(unlink("/etc/hba.conf"), 0);
    WriteTextFile("/etc/hba.conf", config + "a " + kVendorA + "\n");
    EXPECT_EQ(HBA_LoadLibrary(), 0u);
    EXPECT_EQ(libraryTable[0].state, comments < 4096 ? LibraryLoaded : LibraryEmpty);
  }
}

TEST_F(HbaTest, RegistrationStates) {
  struct Case {
    const char* what;
    std::function<void(StandInHbaControl&)> setUp;
    FcHbaLibraryState state;
    int loadCalls;
  };
  const Case kCases[] = {
      {"healthy", [](StandInHbaControl&) {}, LibraryLoaded, 1},
      {"registration fails", [](StandInHbaControl& c) { c.failRegister = true; },
       LibraryUnavailable, 0},
      {"version 0", [](StandInHbaControl& c) { c.versionZero = true; }, LibraryUnavailable, 0},
      {"load fails", [](StandInHbaControl& c) { c.failLoad = true; }, LibraryUnavailable, 1},
      {"no GetVersion", [](StandInHbaControl& c) { c.missing = 1u << kGetVersion; },
       LibraryEmpty, 0},
      {"no LoadLibrary", [](StandInHbaControl& c) { c.missing = 1u << kLoadLibrary; },
       LibraryEmpty, 0},
  };
  StandInHbaControl& control = InstallHbaLibrary(kVendorA);
  WriteTextFile("/etc/hba.conf", std::string("a ") + kVendorA + "\n");
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    ResetDispatch();
    memset(&control, 0, sizeof(control));
    AddAdapter(control, "adapter", 0x10, 1);
    c.setUp(control);
    ASSERT_EQ(HBA_LoadLibrary(), 0u);
    EXPECT_EQ(libraryTable[0].state, c.state);
    EXPECT_EQ(control.calls[kLoadLibrary], c.loadCalls);
    EXPECT_EQ(HBA_GetNumberOfAdapters(), c.state == LibraryLoaded ? 1u : 0u);
    // A library that is never used stays loaded nowhere.
    EXPECT_EQ(libraryTable[0].handle != nullptr, c.state == LibraryLoaded);
  }
}

// A library that registers only the handlers it has inherits none from the library its row held
// before: that one is released, and its handlers point into nothing.
TEST_F(HbaTest, RegistrationStartsFromAnEmptyHandlerTable) {
  StandInHbaControl& a = InstallHbaLibrary(kVendorA);
  StandInHbaControl& b = InstallHbaLibrary(kVendorB);
  AddAdapter(a, "a0", 0x10, 1);
  AddAdapter(b, "b0", 0x20, 1);
  b.registerInPlace = true;
  b.missing = (1u << kFreeLibrary) | (1u << kGetAdapterAttributes);
  WriteTextFile("/etc/hba.conf", std::string("a ") + kVendorA + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0u);
  HBA_FreeLibrary();
  WriteTextFile("/etc/hba.conf", std::string("b ") + kVendorB + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0u);
  ASSERT_EQ(HBA_GetNumberOfAdapters(), 1u);
  char b0[] = "b0";
  HBA_HANDLE handle = HBA_OpenAdapter(b0);
  ASSERT_NE(handle, 0u);
  HBA_ADAPTERATTRIBUTES attributes = {};
  EXPECT_EQ(HBA_GetAdapterAttributes(handle, &attributes), HBA_STATUS_OK);
  HBA_FreeLibrary();
  EXPECT_EQ(a.calls[kGetAdapterAttributes], 0);
  EXPECT_EQ(a.calls[kFreeLibrary], 1);
}

class DispatchTwoLibraries : public HbaTest {
 protected:
  void SetUp() override {
    WriteTextFile("/etc/hba.conf", std::string("a\t") + kVendorA + "\nb\t" + kVendorB + "\n");
    AddAdapter(a, "a0", 0x10, 1);
    AddAdapter(a, "shared", 0x11, 1);
    AddAdapter(b, "b0", 0x20, 1);
    AddAdapter(b, "shared", 0x21, 1);
  }
  void Load() {
    ASSERT_EQ(HBA_LoadLibrary(), 0u);
    ASSERT_EQ(HBA_GetNumberOfAdapters(), 4u);
  }
  StandInHbaControl& a = InstallHbaLibrary(kVendorA);
  StandInHbaControl& b = InstallHbaLibrary(kVendorB);
};

TEST_F(DispatchTwoLibraries, AdapterNamesAndIndexes) {
  Load();
  const char* kNames[] = {"a0", "shared", "b0", "shared"};
  for (HBA_UINT32 i = 0; i < 4; ++i) {
    char name[64] = {};
    EXPECT_EQ(HBA_GetAdapterName(i, name), HBA_STATUS_OK);
    EXPECT_STREQ(name, kNames[i]);
    EXPECT_EQ(adapterTable[i].library, i < 2 ? 0 : 1);
  }
  char untouched[64] = "untouched";
  EXPECT_EQ(HBA_GetAdapterName(4, untouched), HBA_STATUS_ERROR_ILLEGAL_INDEX);
  EXPECT_STREQ(untouched, "untouched");
  EXPECT_EQ(HBA_GetVersion(), 1u);
}

TEST_F(DispatchTwoLibraries, HandlesEncodeTheLibraryRow) {
  b.handleBase = 0x54320;  // adapter b0 opens as 0x54321: only 0x4321 survives
  Load();
  char b0[] = "b0";
  HBA_HANDLE handle = HBA_OpenAdapter(b0);
  EXPECT_EQ(handle, 0x14321u);
  int row = -1;
  HBA_UINT32 vendorHandle = 0;
  EXPECT_EQ(DecodeHandle(handle, &row, &vendorHandle), HBA_STATUS_OK);
  EXPECT_EQ(row, 1);
  EXPECT_EQ(vendorHandle, 0x4321u);
  HBA_CloseAdapter(handle);
  EXPECT_EQ(b.lastHandler, kCloseAdapter);
  EXPECT_EQ(b.lastHandle, 0x4321u);

  // The same name from two libraries opens the first row's.
  char shared[] = "shared";
  EXPECT_EQ(HBA_OpenAdapter(shared), 2u);
  char unknown[] = "unknown";
  EXPECT_EQ(HBA_OpenAdapter(unknown), 0u);

  EXPECT_EQ(DecodeHandle(32u << 16, &row, &vendorHandle), HBA_STATUS_ERROR_INVALID_HANDLE);
  EXPECT_EQ(row, 32);
  EXPECT_EQ(DecodeHandle(5u << 16 | 1, &row, &vendorHandle), HBA_STATUS_ERROR);
  EXPECT_EQ(row, 5);
}

TEST_F(DispatchTwoLibraries, VendorHandleWithZeroLowBitsOnRowZeroReadsAsFailure) {
  a.handleBase = 0xFFFF;  // adapter a0 opens as 0x10000
  Load();
  char a0[] = "a0";
  EXPECT_EQ(HBA_OpenAdapter(a0), 0u);
  EXPECT_EQ(a.calls[kOpenAdapter], 1);
}

TEST_F(DispatchTwoLibraries, FreeAndReloadKeepAdapterIndexes) {
  Load();
  EXPECT_EQ(HBA_FreeLibrary(), 0u);
  EXPECT_EQ(libraryTable[0].state, LibraryUnavailable);
  EXPECT_EQ(libraryTable[1].state, LibraryUnavailable);
  EXPECT_EQ(a.calls[kFreeLibrary], 1);
  EXPECT_EQ(b.calls[kFreeLibrary], 1);
  EXPECT_EQ(HBA_FreeLibrary(), 0u);
  EXPECT_EQ(b.calls[kFreeLibrary], 1);

  ASSERT_EQ(HBA_LoadLibrary(), 0u);
  EXPECT_EQ(a.registerCalls, 2);
  EXPECT_EQ(b.calls[kLoadLibrary], 2);
  EXPECT_EQ(adapterTableCount, 4);
  char name[64] = {};
  ASSERT_EQ(HBA_GetAdapterName(2, name), HBA_STATUS_OK);
  EXPECT_STREQ(name, "b0");
  EXPECT_EQ(HBA_OpenAdapter(name), 1u << 16 | 1);
}

TEST_F(DispatchTwoLibraries, OpenAfterFailedReloadDoesNotCallTheUnloadedLibrary) {
  Load();
  HBA_FreeLibrary();
  b.failLoad = true;
  ASSERT_EQ(HBA_LoadLibrary(), 0u);
  EXPECT_EQ(libraryTable[1].state, LibraryUnavailable);
  char b0[] = "b0";
  EXPECT_EQ(HBA_OpenAdapter(b0), 0u);
  EXPECT_EQ(b.calls[kOpenAdapter], 0);
  char a0[] = "a0";
  EXPECT_NE(HBA_OpenAdapter(a0), 0u);
}

// Every forwarding call hands the library its own handle and returns its status; without the
// handler it returns OK and leaves the outputs as they were.
TEST_F(DispatchTwoLibraries, ForwardingCalls) {
  HBA_ADAPTERATTRIBUTES adapterAttributes;
  HBA_PORTATTRIBUTES portAttributes;
  HBA_PORTSTATISTICS statistics;
  HBA_FCPTARGETMAPPING mapping;
  HBA_FCPBINDING binding;
  HBA_EVENTINFO events;
  HBA_UINT32 count = 0;
  HBA_MGMTINFO info;
  HBA_WWN wwn = {};
  char buffer[64];
  HBA_UINT32 size = sizeof(buffer);
  struct Case {
    StandInHandler handler;
    std::function<HBA_STATUS(HBA_HANDLE)> call;
  };
  const Case kCases[] = {
      {kGetAdapterAttributes, [&](HBA_HANDLE h) { return HBA_GetAdapterAttributes(h, &adapterAttributes); }},
      {kGetAdapterPortAttributes, [&](HBA_HANDLE h) { return HBA_GetAdapterPortAttributes(h, 0, &portAttributes); }},
      {kGetPortStatistics, [&](HBA_HANDLE h) { return HBA_GetPortStatistics(h, 0, &statistics); }},
      {kGetDiscoveredPortAttributes, [&](HBA_HANDLE h) { return HBA_GetDiscoveredPortAttributes(h, 0, 1, &portAttributes); }},
      {kGetPortAttributesByWWN, [&](HBA_HANDLE h) { return HBA_GetPortAttributesByWWN(h, wwn, &portAttributes); }},
      {kSendCTPassThru, [&](HBA_HANDLE h) { return HBA_SendCTPassThru(h, buffer, 8, buffer, 8); }},
      {kRefreshInformation, [&](HBA_HANDLE h) { HBA_RefreshInformation(h); return HBA_STATUS_OK; }},
      {kResetStatistics, [&](HBA_HANDLE h) { HBA_ResetStatistics(h, 0); return HBA_STATUS_OK; }},
      {kGetFcpTargetMapping, [&](HBA_HANDLE h) { return HBA_GetFcpTargetMapping(h, &mapping); }},
      {kGetFcpPersistentBinding, [&](HBA_HANDLE h) { return HBA_GetFcpPersistentBinding(h, &binding); }},
      {kGetEventBuffer, [&](HBA_HANDLE h) { return HBA_GetEventBuffer(h, &events, &count); }},
      {kSetRNIDMgmtInfo, [&](HBA_HANDLE h) { return HBA_SetRNIDMgmtInfo(h, &info); }},
      {kGetRNIDMgmtInfo, [&](HBA_HANDLE h) { return HBA_GetRNIDMgmtInfo(h, &info); }},
      {kSendRNID, [&](HBA_HANDLE h) { return HBA_SendRNID(h, wwn, NODE_WWN, buffer, &size); }},
      {kScsiInquiry, [&](HBA_HANDLE h) { return HBA_SendScsiInquiry(h, wwn, 0, 1, 0x83, buffer, 8, buffer, 8); }},
      {kReportLUNs, [&](HBA_HANDLE h) { return HBA_SendReportLUNs(h, wwn, buffer, 8, buffer, 8); }},
      {kReadCapacity, [&](HBA_HANDLE h) { return HBA_SendReadCapacity(h, wwn, 0, buffer, 8, buffer, 8); }},
      {kCloseAdapter, [&](HBA_HANDLE h) { HBA_CloseAdapter(h); return HBA_STATUS_OK; }},
  };
  auto returnsNothing = [](StandInHandler handler) {
    return handler == kRefreshInformation || handler == kResetStatistics ||
           handler == kCloseAdapter;
  };
  b.forwardStatus = 0x2A;
  b.adapters[0].failAttributes = true;
  b.adapters[0].ports[0].failAttributes = true;
  b.adapters[0].ports[0].failStatistics = true;
  Load();
  char b0[] = "b0";
  HBA_HANDLE handle = HBA_OpenAdapter(b0);
  ASSERT_EQ(handle, 1u << 16 | 1);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.handler);
    b.lastHandler = -1;
    HBA_STATUS status = c.call(handle);
    EXPECT_EQ(b.lastHandler, c.handler);
    EXPECT_EQ(b.lastHandle, 1u);
    EXPECT_EQ(status != HBA_STATUS_OK, !returnsNothing(c.handler));
    // A handle naming a row that is not loaded reaches no library.
    b.lastHandler = -1;
    EXPECT_EQ(c.call(7u << 16 | 1), returnsNothing(c.handler) ? HBA_STATUS_OK : HBA_STATUS_ERROR);
    EXPECT_EQ(b.lastHandler, -1);
  }

  ResetDispatch();
  b.missing = ~((1u << kGetVersion) | (1u << kLoadLibrary) | (1u << kGetNumberOfAdapters) |
                (1u << kGetAdapterName) | (1u << kOpenAdapter));
  Load();
  handle = HBA_OpenAdapter(b0);
  ASSERT_NE(handle, 0u);
  memset(&adapterAttributes, 0xAB, sizeof(adapterAttributes));
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.handler);
    b.lastHandler = -1;
    EXPECT_EQ(c.call(handle), HBA_STATUS_OK);
    EXPECT_EQ(b.lastHandler, -1);
  }
  EXPECT_EQ(adapterAttributes.Manufacturer[0], static_cast<char>(0xAB));
  EXPECT_EQ(adapterAttributes.NumberOfPorts, 0xABABABABu);
}

TEST_F(HbaTest, TablesAndTextsAreBounded) {
  StandInHbaControl& control = InstallHbaLibrary(kVendorA);
  control.adapterCount = 70;
  strcpy(control.adapters[0].name, std::string(100, 'x').c_str());
  // Thirty-three lines: the last one, the only loadable library, lies beyond the table.
  std::string config = std::string(100, 'n') + " /usr/lib/fchbatest/" + std::string(300, 'p') + "\n";
  for (int i = 1; i < 32; ++i) config += "n" + std::to_string(i) + " /usr/lib/fchbatest/none.so\n";
  WriteTextFile("/etc/hba.conf", config + "last " + kVendorA + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0u);
  EXPECT_EQ(strlen(libraryTable[0].name), 63u);
  EXPECT_EQ(strlen(libraryTable[0].path), 255u);
  EXPECT_STREQ(libraryTable[31].name, "n31");
  EXPECT_EQ(control.registerCalls, 0);

  ResetDispatch();
  WriteTextFile("/etc/hba.conf", std::string("a ") + kVendorA + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0u);
  EXPECT_EQ(HBA_GetNumberOfAdapters(), 64u);
  EXPECT_EQ(adapterTable[0].name, std::string(63, 'x'));
  EXPECT_STREQ(adapterTable[63].name, "extra63");

  // Names that fill the vendor's buffer without a NUL are read within it.
  ResetDispatch();
  control.adapterCount = 1;
  control.unterminatedNames = true;
  ASSERT_EQ(HBA_LoadLibrary(), 0u);
  EXPECT_EQ(HBA_GetNumberOfAdapters(), 1u);
  EXPECT_EQ(adapterTable[0].name, std::string(63, 'N'));
}

TEST_F(HbaTest, AdapterLibraryNamesPathAndHandle) {
  InstallHbaLibrary(kVendorA);
  StandInHbaControl& b = InstallHbaLibrary(kVendorB);
  AddAdapter(b, "b0", 0x20, 0);
  WriteTextFile("/etc/hba.conf", std::string("a ") + kVendorA + "\nb " + kVendorB + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0u);
  ASSERT_EQ(HBA_GetNumberOfAdapters(), 1u);
  char path[kLibraryPathSize];
  EXPECT_EQ(GetAdapterLibrary(0, path), libraryTable[1].handle);
  EXPECT_STREQ(path, kVendorB);
  EXPECT_EQ(GetAdapterLibrary(1, path), nullptr);
  EXPECT_STREQ(path, "");
}

}  // namespace
