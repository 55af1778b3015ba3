// A temporary folder that lives as long as the object: made under /tmp at construction,
// removed with everything in it at destruction, so a failing assertion leaves nothing behind.
#pragma once

#include <stdlib.h>

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
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // The path of a file or folder inside it.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace test_support
