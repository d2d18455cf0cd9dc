#include "ComponentLog.h"

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
  (void)RunShell(touch);
}

CComponentLog::CComponentLog(const std::string& logPath) : path(logPath), quiet(false), noFile(false) {
  PrepareFile();
}

void CComponentLog::PrepareFile() {
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0)
    (void)RunShell("mkdir -p " + ShellQuote(path.substr(0, slash)));
  (void)RunShell("touch " + ShellQuote(path));
}

bool CComponentLog::AppendToFile(const std::string& bytes) {
  std::ofstream file(path, std::ios::out | std::ios::app | std::ios::binary);
  file << bytes;  // a stream that failed to open takes nothing and stays failed
  // The bytes sit in the stream's buffer until the close writes them out, so a full file system
  // or a device that takes nothing often shows only here.
  file.close();
  return !file.fail();
}

CComponentLog& CComponentLog::operator<<(const std::string& text) {
  if (!quiet) WriteToConsole(text);
  if (!noFile && !AppendToFile(text)) {
    WriteToConsole(kLogError);
    WriteToConsole("\n");
    FlushConsole();
  }
  return *this;
}

CComponentLog& CComponentLog::operator<<(int value) {
  return *this << std::to_string(value);
}

CComponentLog& CComponentLog::operator<<(const std::wstring& text) {
  return *this << NarrowForOutput(text);
}
