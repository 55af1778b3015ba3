// Set-up of the list-window tests: a program folder of its own, a started
// runtime with the shared fonts, the modal seam in test mode, beeps counted,
// an empty open-window registry, and an MDI frame to hold the lists.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "framework/browse.h"
#include "platform/gui/application.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/command.h"
#include "platform/gui/mdi.h"
#include "platform/gui/modal_seam.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"

class BrowseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/merlon-browse-XXXXXX";
    char* made = mkdtemp(tmpl);
    ASSERT_NE(made, nullptr);
    dir_ = made;
    SetProgramFolder(dir_ + "/");
    ASSERT_TRUE(InitRuntime());
    gui::Application::EnsureQt();
    ASSERT_TRUE(MakeSharedGraphics(96));
    gui::ModalSeam::SetTestMode(true);
    gui::ModalSeam::Reset();
    gui::SetBeepHook([](unsigned) {});
    gui::ResetBeepCount();
    OpenWindowRegistry.assign(kOpenWindowRegistryLength, ' ');
    TheDossierRecord.Clear();
    PrintRunFlag = false;
    PendingRowCount = 0;
    BrowseTickSource = [this] { return now_; };
    client_ = new gui::MDIClient();
    frame_ = std::make_unique<gui::MDIFrame>("Merlon", client_);
    frame_->MoveWindow(gui::Rect{0, 0, 1100, 800});
    ASSERT_TRUE(frame_->Create());
    frame_->Show(gui::SW_SHOW);
  }
  void TearDown() override {
    gui::ProcessPendingMessages();
    frame_.reset();
    gui::ModalSeam::Reset();
    BrowseTickSource = nullptr;
    FreeSharedGraphics();
    FreeRuntime();
    std::filesystem::remove_all(dir_);
  }

  // Creates and shows a list at a fixed size; the first EvSize fills it.
  template <class T>
  T* Show(T* list, int width = 640, int height = 420) {
    list->MoveWindow(gui::Rect{0, 0, width, height});
    EXPECT_TRUE(list->Create());
    list->Show(gui::SW_SHOWNORMAL);
    gui::ProcessPendingMessages();
    return list;
  }
  static void Key(CMDIBrowse* list, int vk) {
    list->EvKeyDown(vk, 1, 0);
    gui::ProcessPendingMessages();
  }
  static gui::Point RowPoint(int row) {
    return gui::Point{40, row * CMDIBrowse::RowHeightPixels() + CMDIBrowse::RowHeightPixels() / 2};
  }
  std::string ArtefactPath(const std::string& name) const {
    std::filesystem::path p = std::filesystem::path(MERLON_BINARY_DIR) / "test-artefacts";
    std::filesystem::create_directories(p);
    return (p / name).string();
  }

  std::string dir_;
  std::uint32_t now_ = 100000;
  gui::MDIClient* client_ = nullptr;
  std::unique_ptr<gui::MDIFrame> frame_;
};
