// Shared set-up of the window-layer tests: one Qt application per process,
// the modal seam in test mode and emptied before each test.
#pragma once

#include <gtest/gtest.h>

#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/modal_seam.h"

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gui::Application::EnsureQt();
    gui::ModalSeam::SetTestMode(true);
    gui::ModalSeam::Reset();
    gui::SetBeepHook([](unsigned) {});
    gui::ResetBeepCount();
  }
  void TearDown() override {
    gui::ProcessPendingMessages();
    gui::ModalSeam::Reset();
  }
};
