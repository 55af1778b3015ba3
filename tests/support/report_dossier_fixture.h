// A report subject's windows driven as a user drives them: the whole main window over a generated
// dossier, the master-data, report-engine and subject commands installed, and a report set "0" in
// the program folder holding the subject's layouts (the preview's set and the print set).
// Programs the follow-ups start are caught, never run. Each subject's fixture names its dossier,
// its commands and its layouts. The work is in report_dossier_fixture.cpp (merlon_report_test_kit).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/window.h"
#include "shell/registry.h"
#include "support/dossier_fixture.h"
#include "support/gui_test.h"

struct DemoOptions;
class TWVisuWindow;
namespace gui {
class MDIChild;
}

namespace test_support {

struct StoredLayout {
  std::string code, name, file;
};

class ReportDossierTest : public DossierFixture {
 public:
  // The program's printer set up (20207) to print into the PDF `name` of the subject's artefacts,
  // removed first (the report windows' tests of other fixtures use it too).
  static std::string SetUpPdfPrinter(const std::string& subject, const std::string& name);

 protected:
  // `code`: the dossier's code (its folder is the code in lower case under the test's root);
  // `commands`: the subject's commands, whose work is cleared after each test.
  ReportDossierTest(std::string code, std::vector<unsigned> commands)
      : code_(std::move(code)), commands_(std::move(commands)) {}

  void SetUp() override;
  void TearDown() override;

  // The subject's menu commands installed.
  virtual void InstallCommands() = 0;
  // The dossier generated (its folder and code are the fixture's).
  virtual DemoOptions Options() = 0;
  // The layouts of the report set "0".
  virtual std::vector<StoredLayout> ReportLayouts() const = 0;

  static std::string LayoutText(const std::string& file);

  // The report set `letter` in the program folder, made anew with these layouts.
  static void MakeReportSet(char letter, const std::vector<StoredLayout>& layouts);

  // The choice dialog answered with layout `row` of the prefix.
  static void QueueChoice(int answer, int row = 0);

  static void Run(unsigned command);
  static void Send(gui::Window* w, unsigned command);

  // The window of a registry slot (null when none is open).
  template <class W>
  static W* Slot(int position) {
    if (RegistryChar(position) != '1') return nullptr;
    return dynamic_cast<W*>(gui::Window::FromHandle(SlotHandle(position)));
  }

  static gui::MDIChild* Active();
  static int Children();

  // The texts of a stored page's text records, joined by blanks.
  static std::string PageText(const TWVisuWindow* w, int page);

  // The program's printer as a user finds it where no printer is installed: the PDF-file printer,
  // which asks the file of each printout (chosen here on a machine that has a printer).
  static void UsePdfFilePrinter();

  // The export file a run offered at its end (the box "Fichier d'exportation"), by its suffix;
  // empty when none was offered.
  static std::string OfferedExport(const std::string& suffix);

  // "Visualiser" of a report form with the layout of row `row`, whose export is open: the preview
  // runs to the last line and closes, offering the file; the file offered with `suffix`.
  static std::string ExportThroughPreview(gui::Window* form, int row, const std::string& suffix);

  // A report form's controls at the size it opens at, maximised, and at a large size: every
  // control inside the client area and within the box of the form's compact cells at its top left
  // (rows one line high, nothing stretched across the window), the `shortEdits` (codes, dates)
  // no wider than about a cell. Screenshots `shot` and `shot`-maximised in `subject`.
  template <class Form>
  static void ExpectCompactForm(Form* form, const std::vector<gui::Window*>& shortEdits, const std::string& subject,
                                const std::string& shot) {
    const gui::Rect opened = form->GetWindowRect();
    const int boxRight = 5 + form->GridColumns * form->CompactColumnWidth() + 2;
    const int boxBottom = form->TopOffset + form->GridRows * form->CompactRowHeight();
    for (int size = 0; size < 3; ++size) {
      if (size == 1) form->Show(gui::SW_SHOWMAXIMIZED);
      if (size == 2) {
        form->Show(gui::SW_RESTORE);
        form->MoveWindow(gui::Rect{0, 0, 1260, 820});
      }
      gui::ProcessPendingMessages();
      const gui::Rect client = form->GetClientRect();
      if (size == 1) {
        EXPECT_GT(client.h, 2 * boxBottom) << "the maximised form is not larger";
      }
      for (gui::Window* child : form->Children()) {
        // The form's background and toolbar (no id) are not its controls.
        if (!child->IsWindowVisible() || child->GetId() == 0) continue;
        const gui::Rect r = child->GetWindowRect();
        EXPECT_LE(r.Right(), client.w) << "size " << size << " control " << child->GetId();
        EXPECT_LE(r.Bottom(), client.h) << "size " << size << " control " << child->GetId();
        EXPECT_LE(r.Right(), boxRight) << "size " << size << " control " << child->GetId();
        EXPECT_LE(r.Bottom(), boxBottom) << "size " << size << " control " << child->GetId();
      }
      for (gui::Window* edit : shortEdits) {
        EXPECT_LT(edit->GetWindowRect().w, 16 * form->CompactColumnWidth() / 15)
            << "size " << size << " edit " << edit->GetId();
      }
      if (size == 0) Screenshot(form->OuterWidget(), subject, shot);
      if (size == 1) Screenshot(form->OuterWidget(), subject, shot + "-maximised");
    }
    form->MoveWindow(opened);
    gui::ProcessPendingMessages();
  }

  std::string folder_;

 private:
  std::string code_;
  std::vector<unsigned> commands_;
};

}  // namespace test_support
