// The dossier opened as the user opens it ("Ouvrir dossier", the questions answered in turn), and
// the boxes it showed: the kit of the tests of what an opening finds beside a dossier.
#pragma once

#include <string>
#include <vector>

#include "dossier_test_util.h"
#include "support/dossier_fixture.h"
#include "support/gui_test.h"

class DossierOpeningTest : public DossierOpenTest {
 protected:
  void TearDown() override {
    Close();
    DossierOpenTest::TearDown();
  }
  void Open(const std::string& folder, const std::string& code, std::vector<int> answers = {}) {
    gui::ModalSeam::Reset();
    OpenThroughDialog(C10Path(folder, code), [answers] {
      for (int a : answers) gui::ModalSeam::QueueMessageBoxAnswer(a);
    });
  }
  bool IsOpen(const std::string& folder) const { return DossierFolder == folder && DossierLockTable->isOpen; }
  void Close() {
    CloseAllTables();
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
  }
  // The first message box shown that holds `text`, pictured as <name>.png; its text.
  static std::string Pictured(const std::string& text, const std::string& name) {
    for (const gui::ShownModal& s : gui::ModalSeam::Shown())
      if (s.kind == gui::ModalKind::MessageBox && s.text.find(text) != std::string::npos) {
        test_support::ScreenshotMessage(s, "dossier", name);
        return s.text;
      }
    ADD_FAILURE() << "no box with: " << text << "\n" << ShownTexts();
    return "";
  }
};
