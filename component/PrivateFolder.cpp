#include "PrivateFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace {
const mode_t kOthersWrite = S_IWGRP | S_IWOTH;

// The names in the folder open as `fd`, without "." and ".."; the descriptor stays open.
bool ListNames(int fd, std::vector<std::string>& names) {
  const int listed = dup(fd);
  if (listed < 0) return false;
  DIR* folder = fdopendir(listed);
  if (folder == nullptr) {
    close(listed);
    return false;
  }
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(folder);
  return true;
}

int OpenFolderAt(int at, const std::string& name) {
  return openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Removes the entry with everything below it; a link is removed, never followed.
bool RemoveTree(int at, const std::string& name) {
  struct stat info;
  if (fstatat(at, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  if (!S_ISDIR(info.st_mode)) return unlinkat(at, name.c_str(), 0) == 0;
  const int fd = OpenFolderAt(at, name);
  if (fd < 0) return false;
  std::vector<std::string> names;
  bool removed = ListNames(fd, names);
  for (const std::string& child : names) removed = RemoveTree(fd, child) && removed;
  close(fd);
  return unlinkat(at, name.c_str(), AT_REMOVEDIR) == 0 && removed;
}

// Takes group and other write from every entry below the folder open as `fd`; links have no
// modes of their own and are passed over.
bool NarrowTree(int fd) {
  std::vector<std::string> names;
  bool narrowed = ListNames(fd, names);
  for (const std::string& name : names) {
    struct stat info;
    if (fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      narrowed = false;
      continue;
    }
    if (S_ISLNK(info.st_mode)) continue;
    const mode_t mode = info.st_mode & 07777 & ~kOthersWrite;
    if (S_ISDIR(info.st_mode)) {
      const int child = OpenFolderAt(fd, name);
      narrowed = child >= 0 && NarrowTree(child) && (mode == (info.st_mode & 07777) || fchmod(child, mode) == 0) &&
                 narrowed;
      if (child >= 0) close(child);
    } else if (mode != (info.st_mode & 07777)) {
      // Not a link (looked at above), and nobody but this user can change what the name is.
      narrowed = fchmodat(fd, name.c_str(), mode, 0) == 0 && narrowed;
    }
  }
  return narrowed;
}

// A new folder in the folder open as `fd`, named like none of `names`, opened; -1 when none.
int MakeFolderBeside(int fd, const std::vector<std::string>& names) {
  for (int n = 0; n < 1000; ++n) {
    const std::string name = ".replaced-" + std::to_string(n);
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    if (mkdirat(fd, name.c_str(), 0700) == 0) return OpenFolderAt(fd, name);
    if (errno != EEXIST) return -1;
  }
  return -1;
}
}  // namespace

PrivateFolder::PrivateFolder(const std::string& parent, const std::string& prefix) : parent_(parent) {
  std::string pattern = parent + "/" + prefix + "XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) return;
  name_ = pattern.substr(parent.size() + 1);
  path_ = pattern;
}

PrivateFolder::~PrivateFolder() {
  if (name_.empty()) return;
  const int parentFd = open(parent_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parentFd < 0) return;
  (void)RemoveTree(parentFd, name_);
  close(parentFd);
}

bool PrivateFolder::NarrowModes() const {
  if (!Made()) return false;
  const int fd = open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  const bool narrowed = NarrowTree(fd);
  close(fd);
  return narrowed;
}

// An entry that replaces an earlier one trades places with it in one step, where the file system
// can: the parent never lacks the name, and the earlier entry is left in this folder to be removed.
// Elsewhere the earlier entry is moved out of the way first, into a folder of its own in here.
bool PrivateFolder::PutEntriesInPlace() const {
  if (!Made()) return false;
  const int parentFd = open(parent_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int folderFd = open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  std::vector<std::string> names;
  bool placed = parentFd >= 0 && folderFd >= 0 && ListNames(folderFd, names);
  int replacedFd = -1;
  for (size_t i = 0; placed && i < names.size(); ++i) {
    const char* name = names[i].c_str();
    struct stat earlier;
    if (fstatat(parentFd, name, &earlier, AT_SYMLINK_NOFOLLOW) != 0) {
      placed = renameat(folderFd, name, parentFd, name) == 0;
      continue;
    }
    if (renameat2(folderFd, name, parentFd, name, RENAME_EXCHANGE) == 0) continue;
    if (replacedFd < 0) replacedFd = MakeFolderBeside(folderFd, names);
    placed = replacedFd >= 0 && renameat(parentFd, name, replacedFd, name) == 0 &&
             renameat(folderFd, name, parentFd, name) == 0;
  }
  for (int fd : {parentFd, folderFd, replacedFd})
    if (fd >= 0) close(fd);
  return placed;
}

void PrivateFolder::RemoveLeftovers(const std::string& parent, const std::string& prefix) {
  const int parentFd = open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parentFd < 0) return;
  std::vector<std::string> names;
  (void)ListNames(parentFd, names);
  for (const std::string& name : names) {
    struct stat info;
    if (name.compare(0, prefix.size(), prefix) == 0 &&
        fstatat(parentFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode) &&
        info.st_uid == geteuid())
      (void)RemoveTree(parentFd, name);
  }
  close(parentFd);
}
