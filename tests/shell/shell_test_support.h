// Shared set-up of the shell tests: a program folder of its own per test
// (so the program INI starts empty), the modal seam in test mode, beeps
// counted, the shell's services emptied.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/cursor.h"
#include "platform/gui/mdi.h"
#include "platform/gui/modal_seam.h"
#include "runtime/access_rights.h"
#include "runtime/inifiles.h"
#include "shell/mdi_client.h"
#include "controls/control_env.h"
#include "data/error_report.h"
#include "data/locks.h"
#include "runtime/runtime_hooks.h"
#include "shell/application.h"
#include "shell/utility_commands.h"
#include "support/gui_test.h"
#include "support/temp_folder.h"

// A child window that counts the close questions and answers as told.
class AskedChild : public gui::MDIChild {
 public:
  AskedChild(gui::MDIClient* client, const std::string& caption, bool agree = true)
      : gui::MDIChild(client, caption), agree_(agree) {}
  bool CanClose() override {
    ++asked_;
    return agree_;
  }
  bool agree_;
  int asked_ = 0;
};

class ShellTest : public test_support::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    SetProgramFolder(folder_);
    Services() = ShellServices{};
    PrintRunFlag = false;
    SetDossierState(' ');
    DossierCode.clear();
  }
  void TearDown() override {
    GuiTest::TearDown();
    gui::SetArrowCursor();
    Services() = ShellServices{};
    PrintRunFlag = false;
    SetDossierState(' ');
  }

  // The program INI's value of a key ("" when absent).
  std::string Ini(const char* key) { return IniGetString(key, ""); }
  void SetIni(const char* key, const char* value) { IniSetString(key, value); }
  std::string File(const std::string& name) const { return folder_ + "/" + name; }
  void Touch(const std::string& name) const { std::ofstream(File(name)) << "x\n"; }

  test_support::TempFolder temp_{"merlon-shell"};
  const std::string folder_ = temp_.path();
};

// The whole program started as its entry routine starts it, with a share
// folder of its own and external programs recorded instead of started.
class ProgramStartTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    share_ = folder_ + "-share";
    std::filesystem::create_directories(share_);
    std::ofstream(share_ + "/CRefEML.txt", std::ios::binary) << "shipped template";
    std::ofstream(share_ + "/CSAUVE9.BAT", std::ios::binary) << "shipped batch";
    setenv("MERLON_SHARE", share_.c_str(), 1);
    SetProcessLauncher([this](const std::vector<std::string>& argv, const platform::LaunchOptions& o) {
      launched_.push_back(argv);
      launchedIn_.push_back(o.workingDirectory);
      platform::LaunchResult r;
      r.launched = launchWorks_;
      r.error = launchWorks_ ? 0 : 2;
      r.exitStatus = launchExit_;
      return r;
    });
  }
  void TearDown() override {
    app_.reset();
    SetProcessLauncher({});
    SetLockNoticeHook(nullptr);
    SetRuntimeMessageHook(nullptr);
    SetRuntimeBeepHook(nullptr);
    SetDbCommandPoster(nullptr);
    unsetenv("MERLON_SHARE");
    std::filesystem::remove_all(share_);
    ShellTest::TearDown();
  }
  // Builds the application and its frame; the client's start-up runs when
  // the frame is created, its posted messages are then delivered.
  void Start() {
    static char arg0[] = "merlon";
    static char* argv[] = {arg0, nullptr};
    app_ = std::make_unique<Merlon>(1, argv, true);
    app_->InitMainWindow();
    ASSERT_NE(MainFrame, nullptr);
    frame_ = MainFrame;
    ASSERT_TRUE(frame_->Create());
    client_ = dynamic_cast<CMDIClient*>(frame_->GetClient());
    ASSERT_NE(client_, nullptr);
    frame_->Show(gui::SW_SHOWNORMAL);
    gui::ProcessPendingMessages();
  }
  bool FrameAlive() const { return frame_ != nullptr && frame_->IsCreated(); }

  std::string share_;
  std::unique_ptr<Merlon> app_;
  CDecoratedMDIFrame* frame_ = nullptr;
  CMDIClient* client_ = nullptr;
  std::vector<std::vector<std::string>> launched_;
  std::vector<std::string> launchedIn_;
  bool launchWorks_ = true;
  int launchExit_ = -1;  // what a started program ended with (-1: still running)
};
