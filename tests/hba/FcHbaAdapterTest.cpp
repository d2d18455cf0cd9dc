#include <pthread.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "FcHbaAdapter.h"
#include "FcHbaDispatch.h"
#include "FcHbaMRA.h"
#include "HbaTestSupport.h"

namespace {

// Lets a test make the creation of an adapter object run out of memory.
bool failAdapterAllocation = false;

}  // namespace

// The replacements forward to malloc and free; g++ cannot see that they belong together.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Every plain form is replaced, single and array, throwing and nothrow, sized or not, so that no
// block allocated here reaches another allocator's delete (the address sanitizer aborts on such a
// mismatch, and GoogleTest allocates with new (std::nothrow) too). The aligned forms are left to
// the runtime, which then serves both their new and their delete.
void* operator new(std::size_t size) {
  if (failAdapterAllocation && size == sizeof(FcHbaAdapter)) throw std::bad_alloc();
  if (void* memory = malloc(size != 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* memory) noexcept { free(memory); }
void operator delete[](void* memory) noexcept { free(memory); }
void operator delete(void* memory, std::size_t) noexcept { free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { free(memory); }

namespace {

TEST(TrimTextTest, CutsTheEndAndCompactsSpaces) {
  struct Case { const char* text; const char* trimmed; };
  const Case kCases[] = {
      {"", ""},
      {"   ", " "},
      {"abc~", "abc"},
      {"~", "~"},
      {"a  b   c", "a b c"},
      {"ab\t", "ab"},
      {"ab\n", "ab"},
      {"a\tb", "a\tb"},
      {"  lead", " lead"},
      {"x\x7f\x80", "x"},
      {"Model \xc3\xa9", "Model"},
      {"a\t\tb", "a\t\tb"},
  };
  for (const Case& c : kCases) {
    // Exactly the text's size, so a write past it shows under the address sanitizer.
    const size_t size = strlen(c.text) + 1;
    std::vector<char> buffer(c.text, c.text + size);
    TrimText(buffer.data());
    EXPECT_STREQ(buffer.data(), c.trimmed) << '"' << c.text << '"';
    // The rest of the old length reads zero.
    for (size_t i = strlen(buffer.data()); i < size; ++i) ASSERT_EQ(buffer[i], '\0');
  }
}

TEST(MatchReversedTest, ComparesFromTheEnd) {
  struct Case { const char* data; uint32_t length; const char* text; bool matches; };
  const Case kCases[] = {
      {"ab", 2, "ba", true},
      {"ab", 2, "ca", false},   // first character above the data's last byte
      {"ab", 2, "aa", true},    // first character below it
      {"ab", 2, "bb", false},   // text[1] must equal data[0]
      {"abc", 3, "cba", true},
      {"ab", 2, "xbba", false}, // positions down to 1 must equal data[m]
      {"ab", 2, "abba", true},
      {"a", 1, "a", true},
      {"a", 1, "", false},
      {"", 0, "a", false},
  };
  for (const Case& c : kCases)
    EXPECT_EQ(MatchReversed(reinterpret_cast<const uint8_t*>(c.data), c.length, c.text), c.matches)
        << c.data << " / " << c.text;
}

TEST(FcHbaAdapterTextTest, NodeWwnTextAndDefaults) {
  FcHbaAdapter adapter;
  EXPECT_EQ(adapter.GetNodeWwnText(), "00:00:00:00:00:00:00:00");
  EXPECT_EQ(adapter.GetName(), "Undefined");
  EXPECT_EQ(adapter.GetDriverName(), "Undefined");
  EXPECT_EQ(adapter.GetNumberOfPorts(), 0u);
  EXPECT_EQ(adapter.GetSubsystemIds(), 0u);
  adapter.nodeWwn[0] = 0xAB;
  adapter.nodeWwn[7] = 0x01;
  EXPECT_EQ(adapter.GetNodeWwnText(), "AB:00:00:00:00:00:00:01");
}

class AdapterTest : public HbaTest {
 protected:
  void SetUp() override {
    WriteTextFile("/etc/hba.conf", std::string("a ") + kVendorA + "\n");
  }
  void Load() {
    ASSERT_EQ(HBA_LoadLibrary(), 0u);
    HBA_GetNumberOfAdapters();
  }
  StandInHbaControl& a = InstallHbaLibrary(kVendorA);
};

TEST_F(AdapterTest, RefreshFillsAttributesAndTrimsSome) {
  StandInAdapter& adapter = AddAdapter(a, "a0", 0x10, 0);
  HBA_ADAPTERATTRIBUTES& attributes = adapter.attributes;
  strcpy(attributes.Manufacturer, "Maker  Inc ");
  strcpy(attributes.SerialNumber, "SN1\t");
  strcpy(attributes.Model, "LP 9000 ");
  strcpy(attributes.ModelDescription, "Dual   port~");
  strcpy(attributes.NodeSymbolicName, "node ");
  strcpy(attributes.HardwareVersion, "hw1 ");
  strcpy(attributes.DriverVersion, "8.2 ");
  strcpy(attributes.OptionROMVersion, "rom  ");
  strcpy(attributes.FirmwareVersion, "fw 2.0\n");
  strcpy(attributes.DriverName, "drv ");
  attributes.VendorSpecificID = 0xfe0010df;
  Load();
  FcHbaAdapter object;
  object.index = 0;
  EXPECT_EQ(object.Refresh(), 0);
  EXPECT_EQ(object.GetName(), "a0");
  EXPECT_EQ(object.GetManufacturer(), "Maker Inc");
  EXPECT_EQ(object.GetSerialNumber(), "SN1");
  EXPECT_EQ(object.GetModel(), "LP 9000 ");
  EXPECT_EQ(object.GetModelDescription(), "Dual port");
  EXPECT_EQ(object.GetNodeSymbolicName(), "node ");
  EXPECT_EQ(object.GetHardwareVersion(), "hw1");
  EXPECT_EQ(object.GetDriverVersion(), "8.2 ");
  EXPECT_EQ(object.GetOptionRomVersion(), "rom");
  EXPECT_EQ(object.GetFirmwareVersion(), "fw 2.0");
  EXPECT_EQ(object.GetDriverName(), "drv ");
  EXPECT_EQ(object.GetNodeWwnText(), "10:10:10:10:10:10:10:10");
  EXPECT_EQ(object.GetSubsystemIds(), 0xfe0010dfu);
  EXPECT_TRUE(object.ports.empty());
  EXPECT_EQ(a.calls[kCloseAdapter], 1);
}

TEST_F(AdapterTest, RefreshLeavesOutFailedPortsAndKeepsFailedStatisticsAtZero) {
  StandInAdapter& adapter = AddAdapter(a, "a0", 0x10, 3);
  adapter.ports[0].statistics.TxFrames = 500;
  adapter.ports[1].failAttributes = true;
  adapter.ports[2].failStatistics = true;
  adapter.ports[2].statistics.TxFrames = 700;
  Load();
  FcHbaAdapter object;
  object.index = 0;
  EXPECT_EQ(object.Refresh(), 1);
  ASSERT_EQ(object.ports.size(), 2u);
  EXPECT_EQ(object.ports[0].GetPortIndex(), 0);
  EXPECT_EQ(object.ports[0].GetTxFrames(), 500);
  EXPECT_EQ(object.ports[0].GetPortWwnText(), "11:11:11:11:11:11:11:11");
  EXPECT_EQ(object.ports[1].GetPortIndex(), 2);
  EXPECT_EQ(object.ports[1].GetTxFrames(), 0);
  EXPECT_EQ(object.GetNumberOfPorts(), 3u);
}

// A port count from the library is read up to a fixed bound of 256, whether the reads past the
// real ports fail or (without the port handlers) all succeed; a count past the bound gives 1.
TEST_F(AdapterTest, RefreshReadsPortsUpToTheBound) {
  struct Case {
    const char* what;
    uint32_t reportedPorts;
    uint32_t missing;
    int result;
    size_t ports;
  };
  const uint32_t kNoPortHandlers = (1u << kGetAdapterPortAttributes) | (1u << kGetPortStatistics);
  const Case kCases[] = {
      {"reads past the real ports fail", 0xFFFFFFFF, 0, 1, kStandInPorts},
      {"every read succeeds", 0xFFFFFFFF, kNoPortHandlers, 1, 256},
      {"count at the bound", 256, kNoPortHandlers, 0, 256},
      {"count one past the bound", 257, kNoPortHandlers, 1, 256},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    ResetDispatch();
    memset(&a, 0, sizeof(a));
    AddAdapter(a, "a0", 0x10, c.reportedPorts);
    a.missing = c.missing;
    Load();
    FcHbaAdapter object;
    object.index = 0;
    EXPECT_EQ(object.Refresh(), c.result);
    EXPECT_EQ(object.GetNumberOfPorts(), c.reportedPorts);
    ASSERT_EQ(object.ports.size(), c.ports);
    for (size_t p = 0; p < object.ports.size(); ++p) ASSERT_EQ(object.ports[p].GetPortIndex(), p);
    if (c.missing == 0) {
      EXPECT_EQ(object.ports.back().GetPortWwnText(), "14:14:14:14:14:14:14:14");
      EXPECT_EQ(a.calls[kGetAdapterPortAttributes], 256);
    }
    EXPECT_EQ(a.calls[kCloseAdapter], 1);
  }
}

// Every failing road returns 1 with the lock released and only what it got changed.
TEST_F(AdapterTest, RefreshFailures) {
  struct Case {
    const char* what;
    int index;
    std::function<void(StandInAdapter&)> setUp;
    const char* name;
    int closes;
  };
  const Case kCases[] = {
      {"no such index", 5, [](StandInAdapter&) {}, "Undefined", 0},
      {"open fails", 0, [](StandInAdapter& s) { s.failOpen = true; }, "a0", 0},
      {"attributes fail", 0, [](StandInAdapter& s) { s.failAttributes = true; }, "a0", 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    ResetDispatch();
    memset(&a, 0, sizeof(a));
    c.setUp(AddAdapter(a, "a0", 0x10, 1));
    Load();
    FcHbaAdapter object;
    object.index = c.index;
    EXPECT_EQ(object.Refresh(), 1);
    EXPECT_EQ(object.GetName(), c.name);
    EXPECT_EQ(object.GetModel(), "Undefined");
    EXPECT_TRUE(object.ports.empty());
    EXPECT_EQ(a.calls[kCloseAdapter], c.closes);
    EXPECT_EQ(pthread_mutex_trylock(&object.lock), 0);
    pthread_mutex_unlock(&object.lock);
  }
}

TEST_F(AdapterTest, RefreshReadsVendorTextsWithinTheirArrays) {
  StandInAdapter& adapter = AddAdapter(a, "a0", 0x10, 0);
  memset(adapter.attributes.Model, 'M', sizeof(adapter.attributes.Model));
  memset(adapter.attributes.DriverName, 'D', sizeof(adapter.attributes.DriverName));
  memset(adapter.attributes.FirmwareVersion, 'F', sizeof(adapter.attributes.FirmwareVersion));
  Load();
  FcHbaAdapter object;
  object.index = 0;
  EXPECT_EQ(object.Refresh(), 0);
  EXPECT_EQ(object.GetModel(), std::string(255, 'M'));
  EXPECT_EQ(object.GetDriverName(), std::string(255, 'D'));
  EXPECT_EQ(object.GetFirmwareVersion(), std::string(255, 'F'));
}

TEST_F(AdapterTest, MissingReadHandlersLeaveZeroedRecords) {
  StandInAdapter& adapter = AddAdapter(a, "a0", 0x10, 1);
  strcpy(adapter.attributes.Model, "never read");
  a.missing = 1u << kGetAdapterAttributes;
  Load();
  FcHbaAdapter object;
  object.index = 0;
  EXPECT_EQ(object.Refresh(), 0);
  EXPECT_EQ(object.GetModel(), "");
  EXPECT_EQ(object.GetNodeWwnText(), "00:00:00:00:00:00:00:00");
  EXPECT_EQ(object.GetNumberOfPorts(), 0u);

  ResetDispatch();
  a.missing = (1u << kGetAdapterPortAttributes) | (1u << kGetPortStatistics);
  Load();
  FcHbaAdapter second;
  second.index = 0;
  EXPECT_EQ(second.Refresh(), 0);
  ASSERT_EQ(second.ports.size(), 1u);
  EXPECT_EQ(second.ports[0].GetPortWwnText(), "00:00:00:00:00:00:00:00");
  EXPECT_EQ(second.ports[0].GetTxFrames(), 0);
}

TEST_F(AdapterTest, EnumeratorHandsOutEveryAdapterInOrder) {
  AddAdapter(a, "a0", 0x10, 1);
  AddAdapter(a, "a1", 0x20, 1).ports[0].failStatistics = true;
  FcHbaMRA enumerator;
  ASSERT_EQ(enumerator.adapterCount, 2u);
  int status = -1;
  FcHbaAdapter* first = enumerator.GetFirstAdapter(&status);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(status, AdapterOk);
  EXPECT_EQ(first->index, 0);
  EXPECT_EQ(first->GetName(), "a0");
  FcHbaAdapter* second = enumerator.GetNextAdapter(first, &status);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(status, AdapterRefreshFailed);
  EXPECT_EQ(second->GetName(), "a1");
  status = 42;
  EXPECT_EQ(enumerator.GetNextAdapter(second, &status), nullptr);
  EXPECT_EQ(status, 42);
  delete first;
  delete second;
  EXPECT_NE(libraryTable[0].state, LibraryLoaded);
}

// A large machine, sixteen adapters of four ports each, is read whole.
TEST_F(AdapterTest, EnumeratorReadsEveryAdapterAndPortOfALargeMachine) {
  for (int i = 0; i < 16; ++i)
    AddAdapter(a, "a" + std::to_string(i), static_cast<uint8_t>(0x10 + 8 * i), 4);
  FcHbaMRA enumerator;
  ASSERT_EQ(enumerator.adapterCount, 16u);
  std::vector<std::unique_ptr<FcHbaAdapter>> adapters;
  int status = -1;
  for (FcHbaAdapter* next = enumerator.GetFirstAdapter(&status); next != nullptr;
       next = enumerator.GetNextAdapter(next, &status)) {
    EXPECT_EQ(status, AdapterOk);
    adapters.emplace_back(next);
  }
  ASSERT_EQ(adapters.size(), 16u);
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(adapters[i]->GetName(), "a" + std::to_string(i));
    ASSERT_EQ(adapters[i]->ports.size(), 4u);
    for (int p = 0; p < 4; ++p) {
      char wwn[24];
      const int byte = 0x10 + 8 * i + 1 + p;
      snprintf(wwn, sizeof(wwn), "%02X:%02X:%02X:%02X:%02X:%02X:%02X:%02X", byte, byte, byte,
               byte, byte, byte, byte, byte);
      EXPECT_EQ(adapters[i]->ports[p].GetPortWwnText(), wwn);
    }
  }
}

TEST_F(AdapterTest, EnumeratorWithoutConfigurationHandsOutNothing) {
  AddAdapter(a, "a0", 0x10, 1);
  unlink("/etc/hba.conf");
  FcHbaMRA enumerator;
  EXPECT_EQ(enumerator.adapterCount, 0u);
  int status = -1;
  EXPECT_EQ(enumerator.GetFirstAdapter(&status), nullptr);
  EXPECT_EQ(status, AdapterOk);
  EXPECT_EQ(a.registerCalls, 0);
}

TEST_F(AdapterTest, EnumeratorReportsExhaustedMemory) {
  AddAdapter(a, "a0", 0x10, 1);
  FcHbaMRA enumerator;
  int status = -1;
  failAdapterAllocation = true;
  FcHbaAdapter* adapter = enumerator.GetFirstAdapter(&status);
  failAdapterAllocation = false;
  EXPECT_EQ(adapter, nullptr);
  EXPECT_EQ(status, AdapterNoMemory);
  EXPECT_EQ(a.calls[kOpenAdapter], 0);
}

}  // namespace
