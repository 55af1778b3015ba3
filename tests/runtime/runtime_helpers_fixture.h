// Shared set-up of the runtime tests: a started runtime with a program folder of its own,
// blank session texts and a fixed two-digit year window (2026), so that results do not
// depend on the day the tests run.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/access_rights.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"

class RuntimeHelpersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/merlon-rtb-XXXXXX";
    char* made = mkdtemp(pattern);
    ASSERT_NE(made, nullptr);
    folder_ = std::string(made) + "/";
    SetProgramFolder(folder_);
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
    SetDateWindowYear(0);
    FreeRuntime();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  const std::string& Folder() const { return folder_; }
  std::string File(const std::string& name) const { return folder_ + name; }
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(File(name), std::ios::binary) << content;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

 private:
  std::string folder_;
};
