#include "ComponentLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cwchar>
#include <iostream>

#include "CommandRunner.h"
#include "ShellQuote.h"

namespace {
const char kLogPath[] = "/var/zmt/Component.log";
const char kLogFolder[] = "/var/zmt";
const char kLogError[] = "ERROR : Unable to write to log file";
// The mode bits a log file keeps when it is taken over: no set-id or sticky bit.
const mode_t kLogFileModes = 0777;

// True when the bytes may be written through what stands at the path: a link of this user's
// (it chose where it points), a plain file of one name, or anything else of this user's.
bool MayWriteThrough(const struct stat& info) {
  if (S_ISREG(info.st_mode)) return info.st_nlink == 1;
  return info.st_uid == geteuid();
}

// The mode bits of `keep` that `mode` has, less group and other write.
mode_t NarrowedMode(mode_t mode, mode_t keep) { return mode & keep & ~mode_t(S_IWGRP | S_IWOTH); }

// Makes the open file or folder this user's and writable by it alone, keeping the mode bits in
// `keep` otherwise (and the group, which can then no longer write it); true when another user
// could write it, or owned it, before.
bool TakeOver(int fd, const struct stat& info, mode_t keep) {
  const bool othersCould = info.st_uid != geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  if (!othersCould) return false;
  if (info.st_uid != geteuid()) (void)fchown(fd, geteuid(), static_cast<gid_t>(-1));
  (void)fchmod(fd, NarrowedMode(info.st_mode, keep));
  return true;
}

bool WriteAll(int fd, const char* bytes, size_t size) {
  for (size_t done = 0; done < size;) {
    const ssize_t wrote = write(fd, bytes + done, size - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<size_t>(wrote);
  }
  return true;
}

bool CopyAll(int from, int to) {
  char piece[64 * 1024];
  for (;;) {
    const ssize_t got = read(from, piece, sizeof piece);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got == 0;
    if (!WriteAll(to, piece, static_cast<size_t>(got))) return false;
  }
}

// Wide text as bytes in the C locale: what the C library's conversion cannot represent is
// written as '?', so the rest of the text still reaches the console and the file.
std::string NarrowForOutput(const std::wstring& text) {
  std::string out;
  std::mbstate_t state{};
  char buffer[MB_LEN_MAX];
  for (wchar_t c : text) {
    size_t n = std::wcrtomb(buffer, c, &state);
    if (n == static_cast<size_t>(-1)) {
      out += '?';
      state = std::mbstate_t{};
    } else {
      out.append(buffer, n);
    }
  }
  return out;
}
// A console that refuses a write loses that write only: the stream is not left failed, which
// would silently drop every later item, the log's error lines among them.
void WriteToConsole(const std::string& text) {
  std::cout << text;
  if (!std::cout) std::cout.clear();
}
}  // namespace

CComponentLog::CComponentLog() : path(kLogPath), quiet(false), noFile(false) {
  Prepare(kLogFolder, std::string("mkdir -p ") + kLogFolder, std::string("touch ") + kLogPath);
}

CComponentLog::CComponentLog(const std::string& logPath) : path(logPath), quiet(false), noFile(false) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  Prepare(folder, "mkdir -p " + ShellQuote(folder), "touch " + ShellQuote(path));
}

// An earlier version, run under a loose umask, may have left the folder and the file open to all,
// and another user may have made them meanwhile: both become this user's and writable by it
// alone before anything is written, and what another user put at the file's path is not touched.
void CComponentLog::Prepare(const std::string& folder, const std::string& makeFolder, const std::string& makeFile) {
  (void)RunShell(makeFolder);
  const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folderFd >= 0) {
    struct stat info;
    if (fstat(folderFd, &info) == 0) (void)TakeOver(folderFd, info, 07777);
    close(folderFd);
  }
  struct stat atPath;
  if (lstat(path.c_str(), &atPath) != 0 || MayWriteThrough(atPath)) (void)RunShell(makeFile);
  // Only a plain file of one name is taken over; anything else at the path is left as it is.
  if (lstat(path.c_str(), &atPath) != 0 || !S_ISREG(atPath.st_mode) || atPath.st_nlink != 1) return;
  const int fileFd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fileFd < 0) return;
  struct stat info;
  if (fstat(fileFd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1)
    openToOthersAtStart = TakeOver(fileFd, info, kLogFileModes);
  close(fileFd);
}

int CComponentLog::OpenForAppending(const std::string& logPath) {
  struct stat before;
  const bool exists = lstat(logPath.c_str(), &before) == 0;
  if (exists && !MayWriteThrough(before)) return -1;
  const bool link = exists && S_ISLNK(before.st_mode);
  const int flags = O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (link ? 0 : O_NOFOLLOW);
  const int fd = open(logPath.c_str(), flags, 0666);
  if (fd < 0) return -1;
  // What was opened is what was looked at: nothing else can have taken its place unseen.
  struct stat opened;
  if (fstat(fd, &opened) != 0 || (!link && !MayWriteThrough(opened))) {
    close(fd);
    return -1;
  }
  // Only a FIFO, a socket or a device would take the flag into account when written.
  if (!S_ISREG(opened.st_mode)) (void)fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool CComponentLog::AppendToFile(const std::string& bytes) {
  const int fd = OpenForAppending(path);
  if (fd < 0) return false;
  bool whole = WriteAll(fd, bytes.data(), bytes.size());
  if (close(fd) != 0) whole = false;  // a file system may report a failed write only here
  return whole;
}

void CComponentLog::ReplaceFileOpenToOthers() {
  if (!openToOthersAtStart) return;
  openToOthersAtStart = false;
  const int from = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (from < 0) return;
  struct stat info;
  const size_t name = path.find_last_of('/') + 1;  // 0 for a path without a folder
  std::string copy = path.substr(0, name) + "." + path.substr(name) + ".XXXXXX";
  int to = -1;
  if (fstat(from, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1)
    to = mkostemp(&copy[0], O_CLOEXEC);
  if (to >= 0) {
    bool copied = CopyAll(from, to) && fchown(to, geteuid(), info.st_gid) == 0 &&
                  fchmod(to, NarrowedMode(info.st_mode, kLogFileModes)) == 0;
    if (close(to) != 0) copied = false;
    if (!copied || rename(copy.c_str(), path.c_str()) != 0) (void)unlink(copy.c_str());
  }
  close(from);
}

CComponentLog& CComponentLog::operator<<(const std::string& text) {
  Show(text);
  Record(text);
  return *this;
}

void CComponentLog::Show(const std::string& text) {
  if (!quiet) WriteToConsole(text);
}

void CComponentLog::Record(const std::string& text) {
  if (!noFile && !AppendToFile(text)) {
    WriteToConsole(kLogError);
    WriteToConsole("\n");
    FlushConsole();
  }
}

CComponentLog& CComponentLog::operator<<(int value) {
  return *this << std::to_string(value);
}

CComponentLog& CComponentLog::operator<<(const std::wstring& text) {
  return *this << NarrowForOutput(text);
}
