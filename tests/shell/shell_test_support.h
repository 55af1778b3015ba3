// Shared set-up of the shell tests: a program folder of its own per test
// (so the program INI starts empty), the modal seam in test mode, beeps
// counted, the shell's services emptied.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/cursor.h"
#include "platform/gui/modal_seam.h"
#include "runtime/access_rights.h"
#include "runtime/inifiles.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/merlon-shell-XXXXXX";
    folder_ = mkdtemp(tmpl);
    SetProgramFolder(folder_);
    gui::Application::EnsureQt();
    gui::ModalSeam::SetTestMode(true);
    gui::ModalSeam::Reset();
    gui::SetBeepHook([](unsigned) {});
    gui::ResetBeepCount();
    Services() = ShellServices{};
    PrintRunFlag = false;
    SetDossierState(' ');
    DossierCode.clear();
  }
  void TearDown() override {
    gui::ProcessPendingMessages();
    gui::ModalSeam::Reset();
    gui::SetArrowCursor();
    Services() = ShellServices{};
    PrintRunFlag = false;
    SetDossierState(' ');
    std::filesystem::remove_all(folder_);
  }

  // The program INI's value of a key ("" when absent).
  std::string Ini(const char* key) { return IniGetString(key, ""); }
  void SetIni(const char* key, const char* value) { IniSetString(key, value); }
  std::string File(const std::string& name) const { return folder_ + "/" + name; }
  void Touch(const std::string& name) const { std::ofstream(File(name)) << "x\n"; }

  std::string folder_;
};
