#include "FcHbaPciLookup.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const char kNotFound[] = "N/A";
// Commands and paths longer than this are not run: they would not have been whole.
const size_t kCommandLimit = 255;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list again;
  va_copy(again, arguments);
  int length = vsnprintf(nullptr, 0, format, arguments);
  va_end(arguments);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  vsnprintf(&text[0], text.size() + 1, format, again);
  va_end(again);
  return text;
}

// One word for the shell: single quotes around it, each single quote inside written as '\''.
std::string QuoteForShell(const std::string& word) {
  std::string quoted = word;
  for (size_t at = quoted.find('\''); at != std::string::npos; at = quoted.find('\'', at + 4))
    quoted.replace(at, 1, "'\\''");
  return "'" + quoted + "'";
}

// The output lines of a shell command, each without its line feed; none when it cannot start.
std::vector<std::string> ReadCommandLines(const std::string& command) {
  std::vector<std::string> lines;
  // What the process has printed reaches the console before the command starts: a console that
  // is not a terminal is buffered until it fills or the process ends.
  std::fflush(stdout);
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return lines;
  char* line = nullptr;
  size_t capacity = 0;
  ssize_t length;
  while ((length = getline(&line, &capacity, pipe)) > 0) {
    std::string text(line, static_cast<size_t>(length));
    if (!text.empty() && text.back() == '\n') text.pop_back();
    lines.push_back(text);
  }
  free(line);
  pclose(pipe);
  return lines;
}

// A command over two sysfs paths read from find, run with both paths quoted for the shell. It
// runs only when it is whole with the paths as find printed them, so the quoting does not
// shorten the paths the look-up accepts; a longer command matches nothing.
template <typename... Numbers>
std::vector<std::string> ReadPathCommand(const char* format, const std::string& first,
                                         const std::string& second, Numbers... numbers) {
  if (Format(format, first.c_str(), second.c_str(), numbers...).size() > kCommandLimit) return {};
  return ReadCommandLines(Format(format, QuoteForShell(first).c_str(),
                                 QuoteForShell(second).c_str(), numbers...));
}

bool Exists(const std::string& path) {
  struct stat status;
  return path.size() <= kCommandLimit && stat(path.c_str(), &status) == 0;
}

// True when each of the directory's two subsystem files holds one of the two identifiers.
bool SubsystemMatches(const std::string& directory, uint32_t subsystemVendor,
                      uint32_t subsystemDevice) {
  for (const char* file : {"/subsystem_device", "/vendor", "/device"})
    if (!Exists(directory + file)) return false;
  std::vector<std::string> count =
      ReadPathCommand("cat %s %s | grep -i -E '%.4x|%.4x' | wc -l",
                      directory + "/subsystem_vendor", directory + "/subsystem_device",
                      subsystemVendor, subsystemDevice);
  return !count.empty() && atoi(count[0].c_str()) == 2;
}

// The vendor and device identifiers of a matching directory, or "N/A" when they cannot be read.
std::string ReadPciIds(const std::string& directory) {
  std::vector<std::string> identifiers =
      ReadPathCommand("cat %s %s", directory + "/vendor", directory + "/device");
  if (identifiers.size() < 2) return kNotFound;
  long vendor = strtol(identifiers[0].c_str(), nullptr, 16);
  long device = strtol(identifiers[1].c_str(), nullptr, 16);
  return Format("%.4lx%.4lx", vendor, device);
}

}  // namespace

std::string FindSysfsPciId(uint8_t domain, uint8_t bus, uint8_t function,
                           uint32_t subsystemVendor, uint32_t subsystemDevice) {
  const std::string search = Format(
      "find /sys -name subsystem_vendor | grep -i -e '%.4x:%.2x:\\(\\w\\)*\\.%x'", domain, bus,
      function);
  for (const std::string& line : ReadCommandLines(search)) {
    size_t slash = line.rfind('/');
    if (slash == std::string::npos) continue;
    std::string directory = line.substr(0, slash);
    // The first matching directory decides, whether its identifiers can be read or not.
    if (SubsystemMatches(directory, subsystemVendor, subsystemDevice)) return ReadPciIds(directory);
  }
  return kNotFound;
}
