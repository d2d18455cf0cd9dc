#include "VendorTestSupport.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "E2eHarness.h"

const char kStandInExtraOutput[] = "stand-in stderr\nstand-in fd3\n";

void WriteStandInTool(const ScratchFolder& folder, const std::string& name, const std::string& listing,
                      int exitCode) {
  folder.Write(name + ".listing", listing);
  const std::string end = exitCode < 0 ? "kill -" + std::to_string(-exitCode) + " $$\n" : "exit " + std::to_string(exitCode) + "\n";
  folder.Write(name,
               "#!/bin/sh\n"
               "printf '%s\\n' \"$*\" >> '" + folder.File(name + ".args") + "'\n"
               "cat '" + folder.File(name + ".listing") + "'\n"
               "echo 'stand-in stderr' >&2\n"
               "{ echo 'stand-in fd3' >&3; } 2>/dev/null\n" + end);
}

void UnderEachChildSignal(const std::function<void()>& body) {
  struct Disposition {
    const char* what;
    void (*handler)(int);
    int flags;
  };
  const Disposition kDispositions[] = {
      {"SIGCHLD default", SIG_DFL, 0}, {"SIGCHLD ignored", SIG_IGN, 0}, {"SIGCHLD with SA_NOCLDWAIT", SIG_DFL, SA_NOCLDWAIT}};
  for (const Disposition& d : kDispositions) {
    SCOPED_TRACE(d.what);
    struct sigaction action {}, previous {}, after {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = d.handler;
    action.sa_flags = d.flags;
    ASSERT_EQ(sigaction(SIGCHLD, &action, &previous), 0);
    body();
    sigaction(SIGCHLD, &previous, &after);
    EXPECT_EQ(after.sa_handler, d.handler);
    EXPECT_EQ(after.sa_flags & SA_NOCLDWAIT, d.flags);
  }
}

std::string StandInArguments(const ScratchFolder& folder, const std::string& name) {
  return ReadFileBytes(folder.File(name + ".args"));
}

void PrepareToolLogFolder() {
  DIR* sys = opendir("/sys");
  ASSERT_NE(sys, nullptr);
  int entries = 0;
  while (const dirent* entry = readdir(sys))
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) ++entries;
  closedir(sys);
  ASSERT_EQ(entries, 0) << "not inside the test sandbox: /var/zmt is left alone";
  ASSERT_EQ(std::system("mkdir -p /var/zmt"), 0);
}

void ExpectFlashStartsNothingWithoutToolLog(const std::string& tool, const std::string& shown,
                                            const std::function<int(const std::string& logPath)>& flash) {
  ASSERT_NO_FATAL_FAILURE(PrepareToolLogFolder());
  ASSERT_EQ(mkdir(kToolLogPath, 0755), 0) << std::strerror(errno);
  for (const std::string shell : {"/bin/dash", "/bin/bash"}) {
    SCOPED_TRACE("/bin/sh is " + shell);
    ASSERT_EQ(mount(shell.c_str(), "/bin/sh", nullptr, MS_BIND, nullptr), 0) << std::strerror(errno);
    {
      ScratchFolder folder;
      WriteStandInTool(folder, tool, "flashing\n", 0);
      EXPECT_EQ(flash(folder.File("log")), 7);
      EXPECT_EQ(ReadFileBytes(folder.File("log")), "Executing flash engine: " + shown + "\nFlash Engine exit code: 2\n");
      bool ran = true;
      (void)ReadFileBytes(folder.File(tool + ".args"), &ran);
      EXPECT_FALSE(ran);
      struct stat info;
      ASSERT_EQ(stat(folder.File(tool).c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 0111, 0u);  // not even made executable
    }
    ASSERT_EQ(umount("/bin/sh"), 0) << std::strerror(errno);
  }
}

void ExpectOneItemDevice(const Device& device, const std::wstring& deviceId, const std::wstring& productId,
                         const FwItem& item) {
  EXPECT_EQ(device.device_id, deviceId);
  EXPECT_EQ(device.product_id, productId);
  EXPECT_EQ(device.busnumber + device.unreported + device.funcnumber, L"");
  ASSERT_EQ(device.fwItems.size(), 1u);
  const FwItem& actual = device.fwItems[0];
  EXPECT_EQ(actual.type, item.type);
  EXPECT_EQ(actual.firmware_id, item.firmware_id);
  EXPECT_EQ(actual.version, item.version);
  EXPECT_EQ(actual.active_version, item.active_version);
  EXPECT_EQ(actual.action, item.action);
  EXPECT_EQ(actual.duration, item.duration);
  EXPECT_EQ(actual.message, item.message);
  EXPECT_EQ(actual.shared, item.shared);
}

FwItem CollectedItem(const wchar_t* type, const wchar_t* version, const wchar_t* activeVersion,
                     const wchar_t* action, const wchar_t* duration) {
  FwItem item;
  item.type = type;
  item.version = version;
  item.active_version = activeVersion;
  item.action = action;
  item.duration = duration;
  item.shared = L"no";
  return item;
}
