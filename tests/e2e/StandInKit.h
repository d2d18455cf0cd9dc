// A stand-in for the vendor's kit and a catalogue for it, placed in an end-to-end run's working
// folder. The kit is zipped by the run's setup as "elxflashStandalone-t.zip" holding
// "elxflashStandalone-t/lx/elxflash.sh"; the script appends its arguments to "kit-args.txt".
#pragma once

#include <string>
#include <vector>

#include "E2eHarness.h"

// How the kit's archive records its entries' modes.
enum class KitModes {
  AsZipStores,  // zipped by the run's setup from the files as the harness wrote them
  None,         // written as archivers on other systems do: no Unix modes at all
  OpenToAll,    // folders 0777 and files 0666, stored as Unix modes
};

struct StandInKit {
  std::string listing;            // printed by the listing call ("/q /fc")
  int flashExitCode = 0;          // the flash call's exit code
  bool killShellOnFlash = false;  // the flash call ends the shell that runs it with SIGKILL
  // The listing and the flash call each copy the program's console as it stands when they start
  // to "console-at-listing.txt" and "console-at-flash.txt" (the console is a file in these runs);
  // stand-ins for cat and unzip first on PATH do the same when the program reads a release file
  // ("console-at-cat.txt") and unzips the kit ("console-at-unzip.txt").
  bool copyConsole = false;
  std::string script;             // when not empty, the whole script in place of the stand-in's
  KitModes modes = KitModes::AsZipStores;
};

// The kit's folder, its script and a firmware image beside it, as the archives of KitModes::None
// and KitModes::OpenToAll hold them, relative to the working folder; those archives also hold a
// folder of notes beside the kit's folder, with one file in it.
extern const char* const kKitEntries[];
extern const char* const kKitSideEntries[];

struct CatalogueEntry {
  std::string device_id;
  std::string model;
  std::string firmware;
  std::string bios;  // empty: the entry has no boot item
  std::string duration;
};

// What the stand-in's flash call writes to its standard output, standard error and descriptor 3.
extern const char kToolOutput[];

void AddStandInKit(E2eRun& run, const StandInKit& kit);
std::string CatalogueXml(const std::vector<CatalogueEntry>& entries);

// The expected self-discovery report, leaf for leaf in the layout the program writes.
struct ReportItem {
  std::string type, version, active_version, action, duration, shared;
};
struct ReportDevice {
  std::string device_id, product_id;
  std::vector<ReportItem> items;
};
std::string ReportXml(const std::vector<ReportDevice>& devices);

// The console of a run up to the end of kit preparation.
extern const char kRunUpToKit[];
