// A started runtime in a program folder of its own, with the program-wide state reset once
// here for every test that needs it: blank session texts and dossier record, no dossier
// slots, no pending message, and a fixed two-digit year window (2026) so that results do not
// depend on the day the tests run.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "runtime/access_rights.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "support/temp_folder.h"

namespace test_support {

class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.path().empty());
    SetProgramFolder(folder_.path() + "/");
    ASSERT_TRUE(InitRuntime());
    SetDateWindowYear(2026);
    OpenWindowRegistry.assign(kOpenWindowRegistryLength, ' ');
    TheDossierRecord.Clear();
    for (std::string& slot : DossierSlots) slot.clear();
    PrintRunFlag = false;
    ClearRuntimeMessages();
  }
  void TearDown() override {
    SetRuntimeBeepHook(nullptr);
    SetRuntimeMessageHook(nullptr);
    SetDateWindowYear(0);
    FreeRuntime();
  }

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
