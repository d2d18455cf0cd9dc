#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "FcHbaDispatch.h"
#include "FcHbaInfoList.h"
#include "FcHbaPciLookup.h"
#include "HbaTestSupport.h"

namespace {

const char kBridge[] = "/sys/devices/pci0000:00/0000:00:1c.0";

struct LookUp {
  uint8_t domain, bus, function;
  uint32_t subsystemVendor, subsystemDevice;
};

TEST_F(HbaTest, SysfsLookUp) {
  struct Case {
    const char* what;
    std::vector<std::vector<std::string>> devices;  // directory, vendor, device, sub vendor, sub device
    LookUp lookUp;
    const char* pciIds;
  };
  const std::string dev = "/sys/devices/pci0000:00/";
  const Case kCases[] = {
      {"plain match", {{dev + "0000:03:00.1", "0x10df", "0xf100", "0x10df", "0xfe00"}},
       {0, 3, 1, 0x10df, 0xfe00}, "10dff100"},
      {"swapped subsystem files", {{dev + "0000:03:00.1", "0x10df", "0xf100", "0xfe00", "0x10df"}},
       {0, 3, 1, 0x10df, 0xfe00}, "10dff100"},
      {"only one subsystem file matches",
       {{dev + "0000:03:00.1", "0x10df", "0xf100", "0x10df", "0x0001"}},
       {0, 3, 1, 0x10df, 0xfe00}, "N/A"},
      {"upper-case digits", {{dev + "0000:03:00.1", "0x10DF", "0xF100", "0x10DF", "0xFE00"}},
       {0, 3, 1, 0x10df, 0xfe00}, "10dff100"},
      {"another location", {{dev + "0000:03:00.1", "0x10df", "0xf100", "0x10df", "0xfe00"}},
       {0, 4, 1, 0x10df, 0xfe00}, "N/A"},
      {"domain and function in hexadecimal",
       {{"/sys/devices/pci0010:00/0010:8a:00.a", "0x1077", "0x2532", "0x1077", "0x015d"}},
       {0x10, 0x8a, 0xa, 0x1077, 0x015d}, "10772532"},
      {"below a bridge", {{dev + "0000:00:1c.0", "0x8086", "0x1d10", "0x1028", "0x04a3"},
                          {dev + "0000:00:1c.0/0000:05:00.0", "0x1657", "0x0013", "0x1657", "0x0014"}},
       {0, 5, 0, 0x1657, 0x0014}, "16570013"},
      // The unanchored pattern finds the device through its bridge's address as well.
      {"through the bridge's address",
       {{dev + "0000:00:1c.0", "0x8086", "0x1d10", "0x1028", "0x04a3"},
        {dev + "0000:00:1c.0/0000:05:00.0", "0x1657", "0x0013", "0x1657", "0x0014"}},
       {0, 0, 0, 0x1657, 0x0014}, "16570013"},
      {"a quote in the directory name",
       {{dev + "0000:03:00.1 it's", "0x10df", "0xf100", "0x10df", "0xfe00"}},
       {0, 3, 1, 0x10df, 0xfe00}, "10dff100"},
      {"a command too long to run",
       {{dev + std::string(120, 'd') + "/0000:03:00.1", "0x10df", "0xf100", "0x10df", "0xfe00"}},
       {0, 3, 1, 0x10df, 0xfe00}, "N/A"},
      // The counting command holds the directory twice beside 72 fixed characters: a directory
      // of 91 characters still fits in 255, quoting or not; one of 92 does not.
      {"the longest directory that fits",
       {{dev + std::string(54, 'd') + "/0000:03:00.1", "0x10df", "0xf100", "0x10df", "0xfe00"}},
       {0, 3, 1, 0x10df, 0xfe00}, "10dff100"},
      {"one character longer",
       {{dev + std::string(55, 'd') + "/0000:03:00.1", "0x10df", "0xf100", "0x10df", "0xfe00"}},
       {0, 3, 1, 0x10df, 0xfe00}, "N/A"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all("/sys/devices");
    for (const std::vector<std::string>& d : c.devices) MakePciDevice(d[0], d[1], d[2], d[3], d[4]);
    const LookUp& l = c.lookUp;
    EXPECT_EQ(FindSysfsPciId(l.domain, l.bus, l.function, l.subsystemVendor, l.subsystemDevice),
              c.pciIds);
  }
}

TEST_F(HbaTest, SysfsLookUpPassesOverADirectoryWithoutDeviceFile) {
  MakePciDevice("/sys/devices/pci0000:00/0000:03:00.1", "0x10df", "0xf100", "0x10df", "0xfe00",
                false);
  EXPECT_EQ(FindSysfsPciId(0, 3, 1, 0x10df, 0xfe00), "N/A");
}

class CollectTest : public HbaTest {
 protected:
  void SetUp() override {
    WriteTextFile("/etc/hba.conf", std::string("emulex ") + kEmulexVendor + "\n");
  }
  StandInAdapter& Add(const char* name, uint8_t wwnByte, uint32_t subsystemIds) {
    StandInAdapter& adapter = AddAdapter(control, name, wwnByte, 1);
    strcpy(adapter.attributes.Model, "LPe12002");
    strcpy(adapter.attributes.DriverVersion, "8.3.7.18");
    strcpy(adapter.attributes.FirmwareVersion, "2.01A12 ");
    strcpy(adapter.attributes.OptionROMVersion, "5.12a2");
    strcpy(adapter.attributes.HardwareVersion, "31004549");
    adapter.extension.subsystemIds = subsystemIds;
    adapter.extension.pciBus = 3;
    adapter.extension.pciFunction = wwnByte & 1;
    return adapter;
  }
  StandInHbaControl& control = InstallHbaLibrary(kEmulexVendor, "standin_hba_extension.so");
};

TEST_F(CollectTest, OneRecordPerAdapterAndOneMessagePerFailedRefresh) {
  MakePciDevice("/sys/devices/pci0000:00/0000:03:00.0", "0x10df", "0xf100", "0x10df", "0xfe00");
  Add("Emulex LPe12002 0", 0x10, 0xfe0010df);
  Add("Emulex LPe12002 1", 0x11, 0).failAttributes = true;
  FcHbaInfoList list;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(list.Collect(), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "MRA get returned failed status!\n");
  ASSERT_EQ(list.records.size(), 2u);

  const FcHbaInfoRecord& first = *list.records[0];
  EXPECT_STREQ(first.nodeWwn, "10:10:10:10:10:10:10:10");
  EXPECT_STREQ(first.portWwn, "11:11:11:11:11:11:11:11");
  EXPECT_STREQ(first.pciIds, "10dff100");
  EXPECT_STREQ(first.subsystemIds, "10dffe00");
  EXPECT_STREQ(first.driverVersion, "8.3.7.18");
  EXPECT_STREQ(first.firmwareVersion, "2.01A12");
  EXPECT_STREQ(first.optionRomVersion, "5.12a2");
  EXPECT_STREQ(first.model, "LPe12002");
  EXPECT_STREQ(first.hardwareVersion, "31004549");
  EXPECT_STREQ(first.spare, "");

  // A failed refresh still yields a record; without ports its port WWN is all zeros.
  const FcHbaInfoRecord& second = *list.records[1];
  EXPECT_STREQ(second.nodeWwn, "00:00:00:00:00:00:00:00");
  EXPECT_STREQ(second.portWwn, "00:00:00:00:00:00:00:00");
  EXPECT_STREQ(second.model, "Undefined");
  EXPECT_STREQ(second.subsystemIds, "00000000");
  EXPECT_STREQ(second.pciIds, "N/A");

  // Nothing stays loaded once the records are built.
  EXPECT_NE(libraryTable[0].state, LibraryLoaded);
  EXPECT_FALSE(LoadedBeyondControl(kEmulexVendor));
}

TEST_F(CollectTest, LaterCallsAppendBehindEarlierRecords) {
  Add("Emulex A", 0x10, 0x00010002);
  FcHbaInfoList list;
  list.Collect();
  control.adapters[0].extension.subsystemIds = 0x00030004;
  ::testing::internal::CaptureStdout();
  list.Collect();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  ASSERT_EQ(list.records.size(), 2u);
  EXPECT_STREQ(list.records[0]->subsystemIds, "00020001");
  EXPECT_STREQ(list.records[1]->subsystemIds, "00040003");
}

TEST_F(CollectTest, NoAdaptersNoRecordsAndNothingLoaded) {
  FcHbaInfoList list;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(list.Collect(), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(list.records.empty());
  EXPECT_EQ(control.registerCalls, 1);
  EXPECT_NE(libraryTable[0].state, LibraryLoaded);
  EXPECT_FALSE(LoadedBeyondControl(kEmulexVendor));

  unlink("/etc/hba.conf");
  EXPECT_EQ(list.Collect(), 1);
  EXPECT_TRUE(list.records.empty());
}

}  // namespace
