// The vendor-neutral firmware update component: options, run sequence and the defaults of the
// operations that the vendor variants override. Built once on main's stack; never copied.
#pragma once

#include <string>

#include "ComponentLog.h"
#include "DiscoveryResult.h"
#include "FcHbaInfoList.h"
#include "ReferenceCatalogue.h"

class CRunLock;

namespace ComponentResult {
enum { UpdateSucceeded = 1, NothingDone = 3, Failed = 7 };
}

namespace ParseResult {
enum { Failed = 0, Proceed = 1, HelpShown = 2 };
}

namespace RequiredActionKind {
enum { None = 0, Upgrade = 1, Rewrite = 2, Downgrade = 4 };
}

class CBaseCmp {
 public:
  CBaseCmp();
  virtual ~CBaseCmp();
  CBaseCmp(const CBaseCmp&) = delete;
  CBaseCmp& operator=(const CBaseCmp&) = delete;

  // The virtual operations, in slot order after the destructor.
  virtual bool Discover();
  virtual std::wstring NormalizeVersion(const std::wstring& version);
  virtual void CollectFirmware();  // sets collectionFailed when the tool's report is unread
  virtual int PrepareKit();  // 0 when the kit is ready
  virtual int Flash();       // the process result
  virtual bool WriteDiscoveryXml();
  virtual int FindReference(const std::wstring& key);  // index into catalogue.devices, or -1

  // A ParseResult: Proceed, HelpShown after the usage, Failed after "/d" without a path.
  int ParseCommandLine(int argc, char** argv);
  static void Usage();
  int Run();
  int RequiredAction();
  bool HasDevices();

  // Detects the running distribution into result.host.osTag.
  void DetectOS();
  // Compares the package's version with the installed one: 1 newer, -1 older, 0 the same.
  int CompareVersions(const std::wstring& packageVersion, const std::wstring& installedVersion);
  // The catalogue key of the i-th inventory record: four groups of four hex digits joined by ".".
  std::wstring GetDeviceId(int i);
  // A copy with every character through the C library's towupper (the C locale: A to Z only).
  static std::wstring ToUpper(const std::wstring& text);

 protected:
  // For in-process tests: a component whose log is written at another path.
  explicit CBaseCmp(const std::string& logPath);

 public:
  CComponentLog log;
  bool silent;
  bool discover;
  bool force;
  FcHbaInfoList hbaList;
  CReferenceCatalogue catalogue;
  DiscoveryResult result;
  std::string outputPath;
  // The program's run lock, which its flash steps must hold; null where no lock was asked for
  // (a component driven in-process), and then the flash steps need none.
  CRunLock* runLock = nullptr;

 protected:
  // Set by a CollectFirmware that could not read what its vendor's tool reports (the failure is
  // logged where it is found); the discovery then fails instead of building items from nothing.
  bool collectionFailed = false;
};
