// The component's one channel for progress and results. Every item goes to the console unless
// quiet and is appended to the log file, which is opened and closed again for each item so that
// the vendor tools can append to the same file while the component waits for them. An item that
// does not reach the file in full is reported on the console; the caller never sees an error.
#pragma once

#include <string>

class CComponentLog {
 public:
  // The program's log: prepares "/var/zmt" and "/var/zmt/Component.log" through the shell.
  CComponentLog();
  // A log at another path, for in-process tests; the folder and file are prepared the same way.
  explicit CComponentLog(const std::string& logPath);
  CComponentLog(const CComponentLog&) = delete;
  CComponentLog& operator=(const CComponentLog&) = delete;

  void SetQuiet(bool value) { quiet = value; }
  bool IsQuiet() const { return quiet; }

  CComponentLog& operator<<(const std::string& text);
  CComponentLog& operator<<(const char* text) { return *this << std::string(text ? text : ""); }
  CComponentLog& operator<<(int value);
  CComponentLog& operator<<(const std::wstring& text);

 private:
  void PrepareFile();
  // Appends bytes to the log file; false unless every byte reached it (open, write, flush and
  // close all succeeded). An item that fails costs one error line on the console, even when quiet.
  bool AppendToFile(const std::string& bytes);

  std::string path;
  bool quiet;
  bool noFile;
};
