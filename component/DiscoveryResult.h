// What discovery found: the distribution, the report's header texts and the devices with their
// firmware items. Plain records held by value.
#pragma once

#include <string>
#include <vector>

struct HostInfo {
  std::wstring osTag;  // "rhel4" ... "sles11", or empty
  std::wstring spare;
};

struct FwItem {
  std::wstring type;
  std::wstring firmware_id;
  std::wstring version;         // the version the package carries
  std::wstring active_version;  // the version installed on the adapter
  std::wstring action;          // "upgrade", "downgrade", "rewrite" or "unknown"
  std::wstring duration;
  std::wstring message;
  std::wstring shared;
};

struct Device {
  std::wstring device_id;
  std::wstring product_id;
  std::wstring busnumber;
  std::wstring unreported;
  std::wstring funcnumber;
  std::vector<FwItem> fwItems;
};

struct DiscoveryResult {
  HostInfo host;
  std::wstring type;
  std::wstring alt_name;
  std::wstring version;
  std::wstring takes_effect;
  std::vector<Device> devices;
};
