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

// While it lives, the process's standard output is a non-blocking pipe that starts full, as a
// console whose reader has stopped reading; the test reads it with Drain().
class FullConsole {
 public:
  FullConsole();   // aborts when the pipe cannot be made
  ~FullConsole();  // puts the standard output back and clears std::cout's state
  FullConsole(const FullConsole&) = delete;
  FullConsole& operator=(const FullConsole&) = delete;

  // Reads everything that stands in the pipe, which is then empty again.
  std::string Drain();

 private:
  int ends_[2] = {-1, -1};
  int savedOut_ = -1;
};

// A plain component whose log is written to logPath instead of the program's log.
class TestComponent : public CBaseCmp {
 public:
  explicit TestComponent(const std::string& logPath) : CBaseCmp(logPath) {}
};

// A new inventory record; the caller (or the list it is pushed into) owns it.
FcHbaInfoRecord* NewRecord(const char* pciIds, const char* subsystemIds, const char* portWwn = "",
                           const char* optionRomVersion = "");
