// A session test with the window layer up: modal windows go through the seam in test mode
// (recorded, not shown) and beeps are counted.
#pragma once

#include "dossier_test_util.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/modal_seam.h"

namespace dossier_test {

class ModalSessionTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    if (HasFatalFailure()) return;
    gui::Application::EnsureQt();
    gui::ModalSeam::SetTestMode(true);
    gui::ModalSeam::Reset();
    gui::SetBeepHook([this](unsigned) { ++beeps_; });
  }
  void TearDown() override {
    gui::ModalSeam::Reset();
    gui::SetBeepHook({});
    SessionTest::TearDown();
  }
  int beeps_ = 0;
};

}  // namespace dossier_test
