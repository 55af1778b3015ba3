// A temporary folder per test, removed at the end.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

class RuntimeTempDir {
 public:
  RuntimeTempDir() {
    char tmpl[] = "/tmp/merlon-runtime-XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~RuntimeTempDir() { std::filesystem::remove_all(path_); }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(File(name), std::ios::binary) << content;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

 private:
  std::string path_;
};
