// A folder that only this user can enter, made inside a parent folder for work that no other user
// may reach half done: what it holds is put in place by rename, so it is made on the parent's file
// system. The destructor removes it with everything left in it. Links are never followed.
#pragma once

#include <string>
#include <vector>

class PrivateFolder {
 public:
  // Makes "<parent>/<prefix>XXXXXX", mode 0700; Made() tells whether that worked.
  PrivateFolder(const std::string& parent, const std::string& prefix);
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  bool Made() const { return !path_.empty(); }
  // The folder's path: the parent's, "/" and its own name. It holds nothing but what is put in.
  const std::string& Path() const { return path_; }

  // Takes group and other write away from everything below the folder, whatever modes it was
  // given; false when something could not be narrowed.
  bool NarrowModes() const;
  // Moves each entry of the folder to the parent under the same name. What stood there under
  // that name is moved into this folder whole and removed with it, never merged with the new
  // entry. False at the first entry that could not be put in place.
  bool PutEntriesInPlace() const;

  // Removes what earlier work left in the parent: every folder of this user's whose name starts
  // with the prefix (a run that was killed before its destructor ran).
  static void RemoveLeftovers(const std::string& parent, const std::string& prefix);

 private:
  std::string parent_;
  std::string path_;
  std::string name_;
};
