// The program's entry point: one Emulex component, its options, and its run.
#include <iostream>

#include "EmulexComponent.h"

int main(int argc, char** argv) {
  EmulexComp::CComponent component;
  switch (component.ParseCommandLine(argc, argv)) {
    case ParseResult::Failed:
      std::cout << "ERROR! : Failed to parse command line" << std::endl;
      return ComponentResult::Failed;
    case ParseResult::HelpShown:
      return ComponentResult::NothingDone;
    default:
      return component.Run();
  }
}
