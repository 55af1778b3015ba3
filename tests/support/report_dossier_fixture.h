// A report subject's windows driven as a user drives them: the whole main window over a generated
// dossier, the master-data, report-engine and subject commands installed, and a report set "0" in
// the program folder holding the subject's layouts (the preview's set and the print set).
// Programs the follow-ups start are caught, never run. Each subject's fixture names its dossier,
// its commands and its layouts.
#pragma once

#include <QApplication>
#include <QWidget>

#include <cctype>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "demo/dossier_demo.h"
#include "framework/browse_services.h"
#include "masterdata/masterdata_commands.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/modal_seam.h"
#include "platform/gui/printer.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/core/page_store.h"
#include "reports/engine/core/report_export.h"
#include "reports/engine/report_engine_commands.h"
#include "reports/engine/visu_window.h"
#include "resources/command_ids.h"
#include "runtime/access_rights.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/program_printer.h"
#include "shell/registry.h"
#include "support/dossier_fixture.h"
#include "support/gui_test.h"
#include "shell/utility_commands.h"

namespace test_support {

struct StoredLayout {
  std::string code, name, file;
};

class ReportDossierTest : public DossierFixture {
 protected:
  // `code`: the dossier's code (its folder is the code in lower case under the test's root);
  // `commands`: the subject's commands, whose work is cleared after each test.
  ReportDossierTest(std::string code, std::vector<unsigned> commands)
      : code_(std::move(code)), commands_(std::move(commands)) {}

  void SetUp() override {
    DossierFixture::SetUp();
    InstallMasterDataCommands();
    InstallReportEngineCommands();
    InstallCommands();
    DemoOptions options = Options();
    std::string lower = code_;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    options.folder = root_ + "/" + lower;
    options.code = code_;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
    folder_ = options.folder + "/";
    OpenThroughDialog(C10Path(folder_, code_));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), code_) << ShownTexts();
    SetProgramOption(3, 'N');
    for (int option : {5, 6, 7}) SetProgramOption(option, '0');
    SetProgramOption(8, 'N');
    SetProgramOption(9, 'N');
    SetProgramOption(12, 'O');
    MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 900});
    MainFrame->Show(gui::SW_SHOW);
    SetProcessLauncher([](const std::vector<std::string>&, const platform::LaunchOptions&) {
      platform::LaunchResult r;
      r.launched = true;
      return r;
    });
    MakeReportSet('0', ReportLayouts());
    gui::ProcessPendingMessages();
    gui::ModalSeam::Reset();
  }

  void TearDown() override {
    if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->Destroy();
    if (CommandWindow != nullptr) CommandWindow->CloseChildren();
    gui::ProcessPendingMessages();
    for (Table* t : {TableCE0, TableCE1})
      if (t != nullptr) t->CloseTable(true);
    for (unsigned id : commands_) SetCommandWork(id, {});
    for (unsigned id : {command_id::Visu, command_id::VisuMode1}) SetCommandWork(id, {});
    BrowseHooks() = BrowseServices{};
    SetProcessLauncher({});
    DeleteProgramPrinter();
    PrintRunFlag = false;
    reports::ExportFile().Reset();
    DossierFixture::TearDown();
  }

  // The subject's menu commands installed.
  virtual void InstallCommands() = 0;
  // The dossier generated (its folder and code are the fixture's).
  virtual DemoOptions Options() = 0;
  // The layouts of the report set "0".
  virtual std::vector<StoredLayout> ReportLayouts() const = 0;

  static std::string LayoutText(const std::string& file) {
    std::string raw, text;
    EXPECT_TRUE(platform::ReadWholeFile(std::string(MERLON_SOURCE_DIR) + "/src/resources/reports/" + file, raw));
    EXPECT_TRUE(platform::Utf8ToCp1252(raw, text, platform::Unassigned::kRefuse)) << file;
    return text;
  }

  // The report set `letter` in the program folder, made anew with these layouts.
  static void MakeReportSet(char letter, const std::vector<StoredLayout>& layouts) {
    for (Table* t : {TableCE0, TableCE1})
      if (t != nullptr) t->CloseTable(true);
    const std::string path = PathReportDefs(letter);
    ASSERT_EQ(CreateTableOfKind(TableKind::ReportDefs, path, true), 0);
    ::Table t;
    ASSERT_TRUE(t.OpenShared(path, "CE0CODE"));
    for (const StoredLayout& l : layouts) {
      ASSERT_TRUE(t.AppendBlank());
      ASSERT_TRUE(t.PutField(1, l.code.c_str()));
      ASSERT_TRUE(t.PutField(2, l.name.c_str()));
      ASSERT_TRUE(t.InsertRecord());
      ASSERT_TRUE(t.PutMemoText(11, LayoutText(l.file)));
      ASSERT_TRUE(t.Commit());
    }
    t.CloseTable(true);
  }

  // The choice dialog answered with layout `row` of the prefix.
  static void QueueChoice(int answer, int row = 0) {
    gui::ModalSeam::QueueDialogAnswer(answer, [=](gui::Window& w) {
      static_cast<gui::Dialog&>(w).SetItemSel(choice_ids::kLayouts, row);
    });
  }

  static void Run(unsigned command) {
    RunSubjectCommand(command);
    gui::ProcessPendingMessages();
  }
  static void Send(gui::Window* w, unsigned command) {
    gui::SendCommand(w->GetHandle(), command);
    gui::ProcessPendingMessages();
  }

  // The window of a registry slot (null when none is open).
  template <class W>
  static W* Slot(int position) {
    if (RegistryChar(position) != '1') return nullptr;
    return dynamic_cast<W*>(gui::Window::FromHandle(SlotHandle(position)));
  }

  static gui::MDIChild* Active() { return CommandWindow->GetActiveMDIChild(); }
  static int Children() { return static_cast<int>(CommandWindow->GetChildren().size()); }

  // The texts of a stored page's text records, joined by blanks.
  static std::string PageText(const TWVisuWindow* w, int page) {
    std::string text;
    const reports::PreviewPage* p = w->Context().store.Page(page);
    if (p == nullptr) return "<no page>";
    for (const reports::PageRecord& r : *p)
      if (r.kind >= 'X') text += (text.empty() ? "" : " ") + std::string(r.text);
    return text;
  }

  // The program's printer set up (20207) to print into the PDF `name` of the subject's artefacts,
  // removed first.
  static std::string SetUpPdfPrinter(const std::string& subject, const std::string& name) {
    const std::string pdf = ArtefactPath(subject, name + ".pdf");
    std::filesystem::remove(pdf);
    gui::ModalSeam::QueuePrintSetupAnswer(gui::IDOK, pdf);
    gui::SendCommand(CommandWindow->GetHandle(), 20207);
    gui::ProcessPendingMessages();
    return pdf;
  }

  // The program's printer as a user finds it where no printer is installed: the PDF-file printer,
  // which asks the file of each printout (chosen here on a machine that has a printer).
  static void UsePdfFilePrinter() {
    if (gui::MPrinter::HasSystemPrinter()) ProgramPrinter()->SelectPrinter(gui::kPdfPrinterName);
    EXPECT_TRUE(ProgramPrinter()->AsksFile()) << "the PDF-file printer is the default where no printer is installed";
  }

  // The export file a run offered at its end (the box "Fichier d'exportation"), by its suffix;
  // empty when none was offered.
  static std::string OfferedExport(const std::string& suffix) {
    for (const auto& shown : gui::ModalSeam::Shown()) {
      if (shown.caption != "Fichier d'exportation") continue;
      std::size_t at = 0;
      while (at < shown.text.size()) {
        std::size_t end = shown.text.find('\n', at);
        if (end == std::string::npos) end = shown.text.size();
        std::string line = shown.text.substr(at, end - at);
        line.erase(0, line.find_first_not_of(' '));
        if (line.size() > suffix.size() && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
          return line;
        at = end + 1;
      }
    }
    return {};
  }

  // "Visualiser" of a report form with the layout of row `row`, whose export is open: the preview
  // runs to the last line and closes, offering the file; the file offered with `suffix`.
  static std::string ExportThroughPreview(gui::Window* form, int row, const std::string& suffix) {
    gui::ModalSeam::Reset();
    QueueChoice(gui::IDOK, row);
    Send(form, 20035);
    if (CurrentPreviewWindow != nullptr) {
      CurrentPreviewWindow->CmAllPages();
      gui::ProcessPendingMessages();
    }
    if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->CmQuitVisu();
    gui::ProcessPendingMessages();
    return OfferedExport(suffix);
  }

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
