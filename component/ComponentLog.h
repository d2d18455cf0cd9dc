// The component's one channel for progress and results. Every item goes to the console unless
// quiet and is appended to the log file, which is opened and closed again for each item so that
// the vendor tools can append to the same file while the component waits for them. An item that
// does not reach the file in full is reported on the console; the caller never sees an error.
#pragma once

#include <string>

class CComponentLog {
 public:
  // The program's log: prepares "/var/zmt" and "/var/zmt/Component.log" through the shell, and
  // leaves both this user's and writable by it alone, whoever had them before, so that no other
  // user can put a link there or write into the file.
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

  // Call once this run alone works on the log (it holds the run lock). A log file that other
  // users could write when the run began is replaced by a copy of itself, so that a descriptor
  // one of them opened on it then no longer reaches the log. The earlier lines stay.
  void ReplaceFileOpenToOthers();

  // The log file opened for appending as the shell's ">>" opens it, or -1 when it cannot be or
  // may not be: another user's link (it may point anywhere), another user's FIFO, socket or
  // device (it may hang the run or lead anywhere), or a plain file with a second hard link (the
  // bytes would reach a file of another name as well). A link of this user's is followed
  // wherever it points, to /dev/null for example; a FIFO without a reader is never waited for.
  static int OpenForAppending(const std::string& logPath);

 private:
  void Prepare(const std::string& folder, const std::string& makeFolder, const std::string& makeFile);
  // Appends bytes to the log file; false unless every byte reached it (open, write and close all
  // succeeded). An item that fails costs one error line on the console, even when quiet.
  bool AppendToFile(const std::string& bytes);

  std::string path;
  bool quiet;
  bool noFile;
  bool openToOthersAtStart = false;  // other users could write the file when the run began
};
