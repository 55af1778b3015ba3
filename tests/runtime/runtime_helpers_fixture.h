// Shared set-up of the runtime helper tests: a started runtime, a program
// folder of its own per test, and blank session texts.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "runtime/access_rights.h"
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
    OpenWindowRegistry.assign(kOpenWindowRegistryLength, ' ');
    TheDossierRecord.Clear();
    for (std::string& slot : DossierSlots) slot.clear();
    PrintRunFlag = false;
    ClearRuntimeMessages();
  }
  void TearDown() override {
    FreeRuntime();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
};
