// In-process test support for the component: a temporary working folder that the test runs in
// (the catalogue is read from the working folder), a component whose log lives there, and
// inventory records as the adapter collection hands them over.
#pragma once

#include <string>

#include "BaseCmp.h"

class ScratchFolder {
 public:
  ScratchFolder();   // makes a fresh folder and enters it
  ~ScratchFolder();  // goes back and removes it
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string File(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
  std::string previous_;
};

// A plain component whose log is written to logPath instead of the program's log.
class TestComponent : public CBaseCmp {
 public:
  explicit TestComponent(const std::string& logPath) : CBaseCmp(logPath) {}
};

// A new inventory record; the caller (or the list it is pushed into) owns it.
FcHbaInfoRecord* NewRecord(const char* pciIds, const char* subsystemIds, const char* portWwn = "",
                           const char* optionRomVersion = "");
