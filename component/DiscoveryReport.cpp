// The self-discovery report: the discovery result as an XML file of value-carrying leaves.
#include "DiscoveryReport.h"

#include <fcntl.h>
#include <libxml/tree.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <random>

#include "BaseCmp.h"

namespace {
const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

// The Char production of XML 1.0.
bool IsXmlChar(unsigned long code) {
  return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
         (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// The length of the UTF-8 sequence at `at` and the code it carries; 0 when the byte there does
// not start a whole sequence (a stray continuation byte, a cut or overlong sequence, a code
// above U+10FFFF). Surrogates decode like other codes, for the caller to refuse.
size_t DecodeUtf8(const std::string& bytes, size_t at, unsigned long& code) {
  static const unsigned long kLowestCode[] = {0, 0, 0x80, 0x800, 0x10000};
  const unsigned char lead = static_cast<unsigned char>(bytes[at]);
  const size_t length = lead < 0x80 ? 1 : lead < 0xC0 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 0;
  if (length == 0 || bytes.size() - at < length) return 0;
  code = length == 1 ? lead : lead & (0x7Fu >> length);
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(bytes[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  return code < kLowestCode[length] || code > 0x10FFFF ? 0 : length;
}

// Appends <name value="..."/> to parent; false when libxml2 could not make the node.
bool AddLeaf(xmlNode* parent, const char* name, const std::wstring& value) {
  xmlNode* leaf = xmlNewChild(parent, nullptr, X(name), nullptr);
  if (leaf == nullptr) return false;
  const std::string bytes = ReportValueBytes(value);
  return xmlNewProp(leaf, X("value"), X(bytes.c_str())) != nullptr;
}

struct Leaf {
  const char* name;
  const std::wstring& value;
};

// Appends the leaves in order; false at the first that libxml2 could not make.
bool AddLeaves(xmlNode* parent, std::initializer_list<Leaf> leaves) {
  for (const Leaf& leaf : leaves)
    if (!AddLeaf(parent, leaf.name, leaf.value)) return false;
  return true;
}

bool BuildReport(xmlDoc* doc, const DiscoveryResult& result) {
  xmlNode* root = xmlNewNode(nullptr, X("qv_rom_discovery"));
  if (root == nullptr) return false;
  xmlDocSetRootElement(doc, root);
  if (xmlNewProp(root, X("version"), X("2.0.0.0")) == nullptr) return false;
  if (!AddLeaves(root, {{"type", result.type},
                        {"alt_name", result.alt_name},
                        {"version", result.version},
                        {"takes_effect", result.takes_effect}}))
    return false;
  xmlNode* devices = xmlNewChild(root, nullptr, X("devices"), nullptr);
  if (devices == nullptr) return false;
  for (const Device& device : result.devices) {
    xmlNode* node = xmlNewChild(devices, nullptr, X("device"), nullptr);
    if (node == nullptr || !AddLeaves(node, {{"device_id", device.device_id},
                                             {"product_id", device.product_id},
                                             {"busnumber", device.busnumber},
                                             {"funcnumber", device.funcnumber}}))
      return false;
    for (const FwItem& item : device.fwItems) {
      xmlNode* fw = xmlNewChild(node, nullptr, X("fw_item"), nullptr);
      if (fw == nullptr || !AddLeaves(fw, {{"type", item.type},
                                           {"firmware_id", item.firmware_id},
                                           {"version", item.version},
                                           {"active_version", item.active_version},
                                           {"action", item.action},
                                           {"duration", item.duration},
                                           {"message", item.message},
                                           {"shared", item.shared}}))
        return false;
    }
  }
  return true;
}

// True when users other than this one can change what the folder holds: through its group or
// other write bits, as its owner, or through an access list. The folder is opened with O_PATH,
// which fgetxattr does not take, so the list is read through the folder's entry in /proc/self/fd,
// which leads to the folder itself whatever became of its path. A list that cannot be read counts
// as none, as it always did: its mask shows in the group bits, so no writer it admits goes unseen.
bool OthersCanWrite(int folder) {
  struct stat info;
  if (fstat(folder, &info) != 0) return true;
  char entry[32];
  std::snprintf(entry, sizeof entry, "/proc/self/fd/%d", folder);
  return info.st_uid != geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0 ||
         getxattr(entry, "system.posix_acl_access", nullptr, 0) > 0;
}

// Writes the formatted document to the file opened as `fd` and closes it; false unless every
// byte reached it.
bool DumpFormatted(xmlDoc* doc, int fd) {
  FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    close(fd);
    return false;
  }
  const bool written = xmlDocFormatDump(file, doc, 1) >= 0;
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

// The mode and group that a report replacing `name` in the folder keeps: those of a plain file of
// this user's own with a single link, less the set-id, sticky and group and other write bits, since
// nothing the run creates can be written by others. False for anything else (nothing there, a
// link, a hard link, another user's file), which gets the mode of a new report.
bool KeptModeAndGroup(int folder, const std::string& name, mode_t& mode, gid_t& group) {
  struct stat info;
  if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
      info.st_uid != geteuid() || info.st_nlink != 1)
    return false;
  mode = info.st_mode & (S_IRWXU | S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH);
  group = info.st_gid;
  return true;
}

// The temporary file's name in its folder while it is the run's own, for RemoveTemporaryAndEnd.
// Set and cleared only while the ending signals are blocked, so the handler never sees a name half
// written, nor one that a rename or a removal has already given up.
const int kEndingSignals[] = {SIGHUP, SIGINT, SIGTERM};
const char kTemporaryPrefix[] = ".fchba-report.";  // and eight hexadecimal digits
volatile sig_atomic_t g_temporaryFolder = -1;
char g_temporaryName[sizeof kTemporaryPrefix + 8];

// Removes the temporary file, then ends the run by the signal, as its default action would.
extern "C" void RemoveTemporaryAndEnd(int signal) {
  if (g_temporaryFolder >= 0) (void)unlinkat(g_temporaryFolder, g_temporaryName, 0);
  g_temporaryFolder = -1;
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  sigaction(signal, &standard, nullptr);
  raise(signal);  // blocked in here; delivered, and fatal, once the handler returns
}

// A new file of the run's own in a folder, under a short name of its own, so that any name the
// folder takes can be saved. While the object lives, SIGHUP, SIGINT and SIGTERM remove the file
// before they end the run; a signal that the caller ignores or handles is left as it is. It is
// removed too when the object goes without renaming it. One at a time.
class TemporaryFile {
 public:
  TemporaryFile() {
    sigemptyset(&ending_);
    for (int signal : kEndingSignals) sigaddset(&ending_, signal);
    Hold();
    struct sigaction removal {};
    removal.sa_handler = RemoveTemporaryAndEnd;
    removal.sa_mask = ending_;
    for (size_t i = 0; i < kCount; ++i) {
      installed_[i] = sigaction(kEndingSignals[i], nullptr, &previous_[i]) == 0 &&
                      (previous_[i].sa_flags & SA_SIGINFO) == 0 && previous_[i].sa_handler == SIG_DFL &&
                      sigaction(kEndingSignals[i], &removal, nullptr) == 0;
    }
    Release();
  }
  ~TemporaryFile() {
    Hold();
    if (g_temporaryFolder >= 0) (void)unlinkat(g_temporaryFolder, g_temporaryName, 0);
    g_temporaryFolder = -1;
    for (size_t i = 0; i < kCount; ++i)
      if (installed_[i]) sigaction(kEndingSignals[i], &previous_[i], nullptr);
    Release();  // a signal that came meanwhile now takes its own course
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // The file, open for writing; -1 when none could be made.
  int Create(int folder, mode_t mode) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      char name[sizeof g_temporaryName];
      std::snprintf(name, sizeof name, "%s%08x", kTemporaryPrefix, static_cast<unsigned>(random()));
      Hold();
      const int fd = openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      const int error = errno;
      if (fd >= 0) {
        std::memcpy(g_temporaryName, name, sizeof name);
        g_temporaryFolder = folder;
      }
      Release();
      if (fd >= 0 || error != EEXIST) return fd;
    }
    return -1;
  }

  // Renames the file onto `name` in its folder; false when it could not be.
  bool RenameOnto(const std::string& name) {
    Hold();
    const bool renamed = renameat(g_temporaryFolder, g_temporaryName, g_temporaryFolder, name.c_str()) == 0;
    if (renamed) g_temporaryFolder = -1;
    Release();
    return renamed;
  }

 private:
  void Hold() { pthread_sigmask(SIG_BLOCK, &ending_, &unheld_); }
  void Release() { pthread_sigmask(SIG_SETMASK, &unheld_, nullptr); }

  static constexpr size_t kCount = sizeof kEndingSignals / sizeof kEndingSignals[0];
  sigset_t ending_;
  sigset_t unheld_;
  struct sigaction previous_[kCount];
  bool installed_[kCount] = {};
};

// Writes the formatted document to a new file of the run's own in the folder and renames it onto
// `name`. It keeps the mode and group of this user's own report that it replaces (a group that
// cannot be given to it takes the group bits along); it is then made for its owner alone, so that
// no one else opens it before that mode is set.
bool ReplaceWithNewFile(xmlDoc* doc, int folder, const std::string& name) {
  mode_t mode = 0;
  gid_t group = 0;
  const bool keep = KeptModeAndGroup(folder, name, mode, group);
  TemporaryFile temporary;
  const int fd = temporary.Create(folder, keep ? S_IRUSR | S_IWUSR : 0666);
  if (fd < 0) return false;
  if (keep && fchown(fd, static_cast<uid_t>(-1), group) != 0) mode &= ~static_cast<mode_t>(S_IRWXG);
  if (keep && fchmod(fd, mode) != 0) {
    close(fd);
    return false;
  }
  return DumpFormatted(doc, fd) && temporary.RenameOnto(name);
}

// Writes the formatted document to the file at exactly `path`, replacing it. libxml2's own
// file saving reads the name as a URI ("%41" becomes "A", "-" the standard output, "file://"
// is cut off), which would leave the report somewhere the caller does not look. In a folder
// that only this user can write, the path is opened as it stands, a link that this user made
// or a device such as /dev/stdout included. In a folder that others can write as well (/tmp),
// whatever stands at the path may be theirs (a link to one of our files, a hard link, a file they
// keep open), so the report is written to a new file of its own there and renamed over the path.
// The folder is opened without reading it: root may write and search it but not list it.
bool SaveFormatted(xmlDoc* doc, const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folderPath = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return false;
  const int folder = open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return false;
  bool saved = false;
  if (!OthersCanWrite(folder)) {
    const int fd = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    saved = fd >= 0 && DumpFormatted(doc, fd);
  } else {
    saved = ReplaceWithNewFile(doc, folder, name);
  }
  close(folder);
  return saved;
}
}  // namespace

// Checked on the bytes, after the narrowing: what is checked is what reaches the file. A
// character refused whole (a control code, a surrogate) gives one '?', a byte of no whole
// sequence one '?' of its own.
std::string ReportValueBytes(const std::wstring& text) {
  const std::string bytes = NarrowBytes(text);
  std::string out;
  out.reserve(bytes.size());
  for (size_t at = 0; at < bytes.size();) {
    unsigned long code = 0;
    const size_t length = DecodeUtf8(bytes, at, code);
    if (length == 0) {
      out += '?';
      ++at;
      continue;
    }
    if (IsXmlChar(code)) {
      out.append(bytes, at, length);
    } else {
      out += '?';
    }
    at += length;
  }
  return out;
}

bool CBaseCmp::WriteDiscoveryXml() {
  xmlDoc* doc = xmlNewDoc(nullptr);
  if (doc == nullptr) return false;
  bool saved = BuildReport(doc, result) && SaveFormatted(doc, outputPath);
  xmlFreeDoc(doc);
  return saved;
}
