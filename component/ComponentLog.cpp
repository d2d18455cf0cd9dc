#include "ComponentLog.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cwchar>
#include <fstream>
#include <iostream>

#include "CommandRunner.h"
#include "ShellQuote.h"

namespace {
const char kLogPath[] = "/var/zmt/Component.log";
const char kLogFolder[] = "/var/zmt";
const char kLogError[] = "ERROR : Unable to write to log file";

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
  std::string mkdir = std::string("mkdir -p ") + kLogFolder;
  std::string touch = std::string("touch ") + kLogPath;
  (void)RunShell(mkdir);
  // A folder that others can write (an earlier run under a loose umask left it so) would let
  // them put a link at the log's or the lock's path; from here on only its owner writes it.
  struct stat folder;
  if (lstat(kLogFolder, &folder) == 0 && S_ISDIR(folder.st_mode) && folder.st_uid == geteuid() &&
      (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    (void)chmod(kLogFolder, folder.st_mode & 07777 & ~mode_t(S_IWGRP | S_IWOTH));
  if (PathIsOurs(path)) (void)RunShell(touch);
}

CComponentLog::CComponentLog(const std::string& logPath) : path(logPath), quiet(false), noFile(false) {
  PrepareFile();
}

void CComponentLog::PrepareFile() {
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0)
    (void)RunShell("mkdir -p " + ShellQuote(path.substr(0, slash)));
  if (PathIsOurs(path)) (void)RunShell("touch " + ShellQuote(path));
}

bool CComponentLog::PathIsOurs(const std::string& logPath) {
  struct stat info;
  return lstat(logPath.c_str(), &info) != 0 || !S_ISLNK(info.st_mode) || info.st_uid == geteuid();
}

bool CComponentLog::AppendToFile(const std::string& bytes) {
  if (!PathIsOurs(path)) return false;
  std::ofstream file(path, std::ios::out | std::ios::app | std::ios::binary);
  file << bytes;  // a stream that failed to open takes nothing and stays failed
  // The bytes sit in the stream's buffer until the close writes them out, so a full file system
  // or a device that takes nothing often shows only here.
  file.close();
  return !file.fail();
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
