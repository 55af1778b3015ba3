// The ledger report windows driven as a user drives them: the whole main window over a
// generated dossier "LG" whose financial year runs from July to June, the master-data, report
// engine and ledger commands installed, and a report set "0" in the program folder holding the
// program's standard layouts of the four reports (the preview's set and the print set).
#pragma once

#include <QApplication>
#include <QWidget>

#include <filesystem>
#include <string>
#include <vector>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "demo/dossier_demo.h"
#include "framework/browse_services.h"
#include "framework/lookup_dialog.h"
#include "masterdata/masterdata_commands.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/modal_seam.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/core/page_store.h"
#include "reports/engine/core/report_export.h"
#include "reports/engine/report_engine_commands.h"
#include "reports/engine/visu_window.h"
#include "reports/ledgers/ledger_commands.h"
#include "reports/ledgers/ledger_forms.h"
#include "reports/ledgers/ledger_windows.h"
#include "runtime/access_rights.h"
#include "runtime/inifiles.h"
#include "runtime/session_registry.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/program_printer.h"
#include "shell/registry.h"
#include "support/dossier_fixture.h"
#include "support/python.h"

namespace ledgers_window_test {

struct StoredLayout {
  std::string code, name, file;
};

class LedgerWindowTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallMasterDataCommands();
    InstallReportEngineCommands();
    InstallLedgerCommands();
    DemoOptions options = Options();
    options.folder = root_ + "/lg";
    options.code = "LG";
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
    folder_ = options.folder + "/";
    OpenThroughDialog(C10Path(folder_, "LG"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "LG") << test_support::ShownTexts();
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
    MakeReportSet('0', Layouts());
    gui::ProcessPendingMessages();
    gui::ModalSeam::Reset();
  }

  void TearDown() override {
    if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->Destroy();
    if (CommandWindow != nullptr) CommandWindow->CloseChildren();
    gui::ProcessPendingMessages();
    for (Table* t : {TableCE0, TableCE1})
      if (t != nullptr) t->CloseTable(true);
    for (unsigned id : {20501u, 20502u, 20503u, 20505u, 20991u, 20992u}) SetCommandWork(id, {});
    BrowseHooks() = BrowseServices{};
    SetProcessLauncher({});
    DeleteProgramPrinter();
    PrintRunFlag = false;
    reports::ExportFile().Reset();
    DossierFixture::TearDown();
  }

  // The dossier: 1,500 lines over a year from July to June, in euros only.
  virtual DemoOptions Options() {
    DemoOptions options;
    options.lines = 1500;
    options.firstDay = Ymd{2025, 7, 1};
    options.lastDay = Ymd{2026, 6, 30};
    return options;
  }

  static std::vector<StoredLayout> Layouts() {
    return {{"EC-1STD", "Relev\xE9 standard", "C-Etat-EC-1STD.txt"},
            {"ECA-1STD", "Relev\xE9 analytique", "C-Etat-ECA-1STD.txt"},
            {"EG-1STD", "Grand livre standard", "C-Etat-EG-1STD.txt"},
            {"EGA-1STD", "Grand livre analytique", "C-Etat-EGA-1STD.txt"},
            {"EJ-1STD", "Journal standard", "C-Etat-EJ-1STD.txt"},
            {"EJR-STD", "Journal r\xE9" "capitulatif", "C-Etat-EJR-STD.txt"},
            {"ER-1STD", "R\xE9" "capitulatif standard", "C-Etat-ER-1STD.txt"}};
  }

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

  // The choice dialog answered: the first layout of the prefix (or `row`).
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

  // Types a text into an edit and presses Enter there (its notification command).
  static void Enter(MEdit* edit, const std::string& text) {
    edit->SetText(text);
    gui::PostCommand(edit->Parent()->GetHandle(), static_cast<unsigned>(edit->EnterAction()));
    gui::ProcessPendingMessages();
  }

  std::string folder_;
};

}  // namespace ledgers_window_test
