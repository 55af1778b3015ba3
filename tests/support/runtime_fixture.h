// A started runtime in a program folder of its own, with the program-wide state reset once
// here for every test that needs it: blank session texts and dossier record, no dossier
// slots, no pending message, and a fixed two-digit year window (2026) so that results do not
// depend on the day the tests run. The set-up is in runtime_fixture.cpp (the kit library
// merlon_test_kit).
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "support/temp_folder.h"

namespace test_support {

class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  const std::string& Dir() const { return folder_.path(); }
  std::string File(const std::string& name) const { return folder_ / name; }
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(File(name), std::ios::binary) << content;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  TempFolder folder_{"merlon-rt"};
};

}  // namespace test_support
