// The program's entry point: one Emulex component, its options, and its run.
#include <sys/stat.h>

#include <csignal>
#include <iostream>

#include "EmulexComponent.h"
#include "RunLock.h"

int main(int argc, char** argv) {
  // Nothing the run creates (the log's folder and file, the lock, the report, the unpacked kit,
  // whatever the tools write) can be written by group or others, whatever umask the caller had;
  // a stricter one stays as it is.
  umask(umask(0) | S_IWGRP | S_IWOTH);
  // A write past a file-size limit (the log only grows) fails like one to a full disk instead of
  // ending the process; the tools the run starts inherit this, so the log's limit cannot cut a
  // flash short either.
  std::signal(SIGXFSZ, SIG_IGN);
  // Every tool the run starts, through whichever road, sees SIGCHLD at its default, as a shell
  // script that waits for its own helpers needs; a caller's ignored SIGCHLD survives exec.
  std::signal(SIGCHLD, SIG_DFL);
  CRunLock oneRunAtATime;  // released only when the process ends
  EmulexComp::CComponent component;
  switch (component.ParseCommandLine(argc, argv)) {
    case ParseResult::Failed:
      std::cout << "ERROR! : Failed to parse command line" << std::endl;
      return ComponentResult::Failed;
    case ParseResult::HelpShown:
      return ComponentResult::NothingDone;
    default:
      oneRunAtATime.Acquire(component.log);
      component.runLock = &oneRunAtATime;
      return component.Run();
  }
}
