// A temporary folder that lives as long as the object: made under /tmp at construction,
// removed with everything in it at destruction, so a failing assertion leaves nothing behind.
// The program under test changes the working folder to the dossier it opens: a folder removed while
// it is the working folder (or holds it) first gives the working folder back to the one the test
// program started in, so that a later test of the same process (a script, a relative path) does not
// run in a folder that is gone ("getcwd() failed").
//
// A path taken from a folder that is not made (a member declared after the paths built from
// it, or mkdtemp refused) stops the test at once: a blank or garbage folder would put the
// test's files in the working folder, which is the source tree.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace test_support {

class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "merlon") {
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    const char* made = ::mkdtemp(pattern.data());
    path_ = made != nullptr ? made : "";
    self_ = this;
    StartFolder();
  }
  ~TempFolder() {
    std::error_code ec;
    if (self_ == this && !path_.empty()) {
      LeaveIfInside();
      std::filesystem::remove_all(path_, ec);
    }
    // A volatile store, so that the compiler keeps it: a fixture made later at the same
    // address must not find the mark of this one.
    *static_cast<const TempFolder* volatile*>(&self_) = nullptr;
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const {
    Made();
    return path_;
  }
  // The path of a file or folder inside it.
  std::string operator/(const std::string& name) const { return path() + "/" + name; }

 private:
  // The working folder when the process made its first temporary folder.
  static const std::string& StartFolder() {
    static const std::string start = [] {
      std::error_code ec;
      const std::filesystem::path here = std::filesystem::current_path(ec);
      return ec ? std::string("/tmp") : here.string();
    }();
    return start;
  }
  void LeaveIfInside() const {
    std::error_code ec;
    const std::string here = std::filesystem::current_path(ec).string();
    if (ec || (here != path_ && here.rfind(path_ + "/", 0) != 0)) return;
    std::filesystem::current_path(StartFolder(), ec);
    if (ec) std::filesystem::current_path("/tmp", ec);
  }
  // `self_` is checked before `path_` is read: before construction the string is no string.
  void Made() const {
    if (self_ == this && path_.rfind("/tmp/", 0) == 0) return;
    std::fputs("TempFolder: a path was taken from a folder that is not made (declared after its users?)\n",
               stderr);
    std::abort();
  }

  const TempFolder* self_ = nullptr;
  std::string path_;
};

}  // namespace test_support
