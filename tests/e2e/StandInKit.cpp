#include "StandInKit.h"

#include <cstdint>

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

void PutLittleEndian(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t Crc32(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

struct ZipEntry {
  std::string name;  // a folder's ends in "/"
  std::string content;
  uint32_t mode;     // Unix mode bits, stored only when unixModes
};

// A zip archive of stored (uncompressed) entries. Without Unix modes the entries are marked as
// made on a system that has none, so that unzip makes their modes from the umask.
std::string ZipArchive(const std::vector<ZipEntry>& entries, bool unixModes) {
  std::string local, central;
  for (const ZipEntry& e : entries) {
    const bool folder = e.name.back() == '/';
    const uint32_t crc = Crc32(e.content);
    const uint32_t offset = static_cast<uint32_t>(local.size());
    std::string common;  // from "version needed" to the extra field's length
    PutLittleEndian(common, 10, 2);      // version needed to extract
    PutLittleEndian(common, 0, 2);       // flags
    PutLittleEndian(common, 0, 2);       // stored
    PutLittleEndian(common, 0, 2);       // time
    PutLittleEndian(common, 0x21, 2);    // date: 1980-01-01
    PutLittleEndian(common, crc, 4);
    PutLittleEndian(common, static_cast<uint32_t>(e.content.size()), 4);
    PutLittleEndian(common, static_cast<uint32_t>(e.content.size()), 4);
    PutLittleEndian(common, static_cast<uint32_t>(e.name.size()), 2);
    PutLittleEndian(common, 0, 2);       // extra field length
    PutLittleEndian(local, 0x04034b50, 4);
    local += common + e.name + e.content;
    PutLittleEndian(central, 0x02014b50, 4);
    PutLittleEndian(central, unixModes ? 0x0314 : 0x0014, 2);  // made by: Unix or MS-DOS, zip 2.0
    central += common;
    PutLittleEndian(central, 0, 2);  // comment length
    PutLittleEndian(central, 0, 2);  // disk number
    PutLittleEndian(central, 0, 2);  // internal attributes
    const uint32_t dosFolder = folder ? 0x10 : 0;
    const uint32_t type = folder ? 0040000 : 0100000;
    PutLittleEndian(central, unixModes ? ((type | e.mode) << 16) | dosFolder : dosFolder, 4);
    PutLittleEndian(central, offset, 4);
    central += e.name;
  }
  std::string end;
  PutLittleEndian(end, 0x06054b50, 4);
  PutLittleEndian(end, 0, 4);  // disk numbers
  PutLittleEndian(end, static_cast<uint32_t>(entries.size()), 2);
  PutLittleEndian(end, static_cast<uint32_t>(entries.size()), 2);
  PutLittleEndian(end, static_cast<uint32_t>(central.size()), 4);
  PutLittleEndian(end, static_cast<uint32_t>(local.size()), 4);
  PutLittleEndian(end, 0, 2);  // comment length
  return local + central + end;
}

std::string Leaf(const std::string& indent, const char* name, const std::string& value) {
  return indent + "<" + name + " value=\"" + value + "\"/>\n";
}
}  // namespace

const char* const kKitEntries[] = {"elxflashStandalone-t", "elxflashStandalone-t/lx",
                                   "elxflashStandalone-t/lx/elxflash.sh", "elxflashStandalone-t/lx/image.bin"};
const char* const kKitSideEntries[] = {"kit-notes", "kit-notes/readme.txt"};

void AddStandInKit(E2eRun& run, const StandInKit& kit) {
  const std::string script = kit.script.empty() ? kStandInScript : kit.script;
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
  if (kit.modes != KitModes::AsZipStores) {
    const bool open = kit.modes == KitModes::OpenToAll;
    run.files["elxflashStandalone-t.zip"] = ZipArchive({{std::string(kKitEntries[0]) + "/", "", 0777},
                                                        {std::string(kKitEntries[1]) + "/", "", 0777},
                                                        {kKitEntries[2], script, 0666},
                                                        {kKitEntries[3], "firmware image\n", 0666},
                                                        {std::string(kKitSideEntries[0]) + "/", "", 0777},
                                                        {kKitSideEntries[1], "notes\n", 0666}},
                                                       open);
    return;
  }
  run.files["kitsource/elxflashStandalone-t/lx/elxflash.sh"] = script;
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
