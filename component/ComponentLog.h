// The component's one channel for progress and results. Every item goes to the console unless
// quiet and is appended to the log file, which is opened and closed again for each item so that
// the vendor tools can append to the same file while the component waits for them. An item that
// does not reach the file in full is reported on the console; the caller never sees an error.
#pragma once

#include <string>

class CComponentLog {
 public:
  // The program's log: prepares "/var/zmt" and "/var/zmt/Component.log" through the shell, and
  // leaves the folder writable by its owner only, so that no other user can put a link there.
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

  // The two halves of an item, for a text that must reach the console and the file at different
  // moments: Show writes it to the console unless quiet, Record appends it to the file alone.
  void Show(const std::string& text);
  void Record(const std::string& text);

  // False when the log's path is a symbolic link that another user owns: such a link may point
  // anywhere, so neither the log nor the tools' redirections into it follow it. Any other path,
  // a link of this user's among them, is opened as it stands.
  static bool PathIsOurs(const std::string& logPath);

 private:
  void PrepareFile();
  // Appends bytes to the log file; false unless every byte reached it (open, write, flush and
  // close all succeeded). An item that fails costs one error line on the console, even when quiet.
  bool AppendToFile(const std::string& bytes);

  std::string path;
  bool quiet;
  bool noFile;
};
