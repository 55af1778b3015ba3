// A session test with the window layer up: modal windows go through the seam in test mode
// (recorded, not shown) and beeps are counted.
#pragma once

#include "dossier_test_util.h"
#include "support/gui_test.h"

namespace dossier_test {

class ModalSessionTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    if (HasFatalFailure()) return;
    test_support::EnterGuiTestMode(&beeps_);
  }
  void TearDown() override {
    test_support::LeaveGuiTestMode();
    SessionTest::TearDown();
  }
  int beeps_ = 0;
};

}  // namespace dossier_test
