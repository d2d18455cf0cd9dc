// The Emulex variant of the component, the one that the program runs. It unpacks the vendor's
// kit "elxflashStandalone*.zip" in the working folder, finds the adapters in the kit tool's
// listing and flashes them through the same tool; the adapter inventory stays unused.
#pragma once

#include <string>
#include <vector>

#include "BaseCmp.h"

namespace EmulexComp {

class CComponent : public CBaseCmp {
 public:
  CComponent();
  ~CComponent() override;

  // Unpacks the kit and lists the adapters; false only when the kit could not be prepared.
  bool Discover() override;
  // The version up to its first blank.
  std::wstring NormalizeVersion(const std::wstring& version) override;
  // Unzips the kit, leaves it writable by its owner only and makes its script executable; 0 when
  // the kit is ready, 1 when it was not unpacked whole or its script cannot be told apart.
  int PrepareKit() override;
  // Runs the kit's flash command and turns its exit code into the process result.
  int Flash() override;

  // An identifier with "0" put in front until it has four characters.
  static std::string PadTo4(const std::string& id);

 protected:
  explicit CComponent(const std::string& logPath);

 private:
  // Adds the device that one matched listing line describes, when the catalogue knows its key.
  void AddListedDevice(const std::vector<std::string>& groups);
  int CompareInTwoSteps(const std::wstring& packageVersion, const std::wstring& installedVersion);
};

}  // namespace EmulexComp
