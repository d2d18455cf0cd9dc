#include "StandInKit.h"

const char kToolOutput[] = "tool says hello\ntool complains\ntool writes to 3\n";
const char kRunUpToKit[] =
    "---------------------------------------------------\n"
    "Loading references...done.\n"
    "Performing discovery...\n"
    "Preparing the Emulex Kit...done\n";

namespace {
// The flash call ends the process that system() waits for: the shell that ran the script, or
// the script itself when the shell ran it in its own place.
const char kStandInScript[] =
    "#!/bin/sh\n"
    "echo \"$*\" >> kit-args.txt\n"
    "if [ \"$*\" = \"/q /fc\" ]; then call=listing; else call=flash; fi\n"
    "[ -z \"${FCHBA_CONSOLE:-}\" ] || cat \"$FCHBA_CONSOLE\" > console-at-$call.txt\n"
    "if [ $call = listing ]; then cat kit-listing.txt; exit 0; fi\n"
    "echo 'tool says hello'\n"
    "echo 'tool complains' >&2\n"
    "echo 'tool writes to 3' >&3\n"
    "if [ -f kit-kill-shell ]; then\n"
    "  case \"$(cat /proc/$PPID/comm)\" in\n"
    "    sh|dash|bash) kill -9 $PPID ;;\n"
    "    *) kill -9 $$ ;;\n"
    "  esac\n"
    "fi\n"
    "exit $(cat kit-exit-code.txt)\n";

// Put first on PATH as "cat" and "unzip": copies the console as it stands to
// console-at-<name>.txt when the program reads a release file or unzips, then runs the real
// command from the rest of PATH.
const char kConsoleCopyingCommand[] =
    "#!/bin/sh\n"
    "PATH=${PATH#*:}\n"
    "name=${0##*/}\n"
    "case \"$name $*\" in\n"
    "  'cat /etc/redhat-release' | 'cat /etc/SuSE-release' | 'unzip '*)\n"
    "    cat \"$FCHBA_CONSOLE\" > console-at-$name.txt ;;\n"
    "esac\n"
    "exec \"$name\" \"$@\"\n";

std::string Leaf(const std::string& indent, const char* name, const std::string& value) {
  return indent + "<" + name + " value=\"" + value + "\"/>\n";
}
}  // namespace

void AddStandInKit(E2eRun& run, const StandInKit& kit) {
  run.files["kitsource/elxflashStandalone-t/lx/elxflash.sh"] = kit.script.empty() ? kStandInScript : kit.script;
  run.files["kit-listing.txt"] = kit.listing;
  run.files["kit-exit-code.txt"] = std::to_string(kit.flashExitCode) + "\n";
  if (kit.killShellOnFlash) run.files["kit-kill-shell"] = "";
  if (kit.copyConsole) {
    run.files["standin/cat"] = run.files["standin/unzip"] = kConsoleCopyingCommand;
    run.setup.push_back("chmod +x standin/cat standin/unzip");
    run.setup.push_back("export PATH=\"$PWD/standin:$PATH\"");
    // The setup shell becomes the program, so its descriptor 1 is the program's console.
    run.setup.push_back("export FCHBA_CONSOLE=/proc/$$/fd/1");
  }
  run.setup.push_back("(cd kitsource && zip -qr ../elxflashStandalone-t.zip elxflashStandalone-t) && rm -rf kitsource");
}

std::string CatalogueXml(const std::vector<CatalogueEntry>& entries) {
  std::string xml = "<?xml version=\"1.0\"?>\n<tarvo_fchba_reference>\n  <devices>\n";
  const std::string in = "      ";
  for (const CatalogueEntry& e : entries) {
    xml += "    <device>\n";
    xml += Leaf(in, "type", "Firmware") + Leaf(in, "device_id", e.device_id) + Leaf(in, "model", e.model) +
           Leaf(in, "firmware", e.firmware) + Leaf(in, "bios", e.bios) + Leaf(in, "duration", e.duration);
    xml += "    </device>\n";
  }
  return xml + "  </devices>\n</tarvo_fchba_reference>\n";
}

std::string ReportXml(const std::vector<ReportDevice>& devices) {
  std::string xml =
      "<?xml version=\"1.0\"?>\n"
      "<qv_rom_discovery version=\"2.0.0.0\">\n"
      "  <type value=\"\"/>\n"
      "  <alt_name value=\"\"/>\n"
      "  <version value=\"\"/>\n"
      "  <takes_effect value=\"\"/>\n";
  if (devices.empty()) return xml + "  <devices/>\n</qv_rom_discovery>\n";
  xml += "  <devices>\n";
  for (const ReportDevice& d : devices) {
    xml += "    <device>\n";
    xml += Leaf("      ", "device_id", d.device_id) + Leaf("      ", "product_id", d.product_id) +
           Leaf("      ", "busnumber", "") + Leaf("      ", "funcnumber", "");
    for (const ReportItem& item : d.items) {
      const std::string in = "        ";
      xml += "      <fw_item>\n";
      xml += Leaf(in, "type", item.type) + Leaf(in, "firmware_id", "") + Leaf(in, "version", item.version) +
             Leaf(in, "active_version", item.active_version) + Leaf(in, "action", item.action) +
             Leaf(in, "duration", item.duration) + Leaf(in, "message", "") + Leaf(in, "shared", item.shared);
      xml += "      </fw_item>\n";
    }
    xml += "    </device>\n";
  }
  return xml + "  </devices>\n</qv_rom_discovery>\n";
}
