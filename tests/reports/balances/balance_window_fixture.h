// The trial balances' window and form driven as a user drives them: the whole main window over a
// generated dossier "BW" (a year from July to June, its first months validated with an opening
// entry, matched invoices, one axis of sections), the master-data, report-engine and balance
// commands installed, and a report set "0" in the program folder holding the program's trial
// balance layouts.
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
#include "masterdata/masterdata_commands.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/modal_seam.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "reports/balances/balance_commands.h"
#include "reports/balances/balance_forms.h"
#include "reports/balances/balance_windows.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/core/page_store.h"
#include "reports/engine/core/report_export.h"
#include "reports/engine/report_engine_commands.h"
#include "reports/engine/visu_window.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/program_printer.h"
#include "shell/registry.h"
#include "support/dossier_fixture.h"

namespace balances_window_test {

struct StoredLayout {
  std::string code, name, file;
};

class BalanceWindowTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallMasterDataCommands();
    InstallReportEngineCommands();
    InstallBalanceCommands();
    DemoOptions options;
    options.lines = 1500;
    options.firstDay = Ymd{2025, 7, 1};
    options.lastDay = Ymd{2026, 6, 30};
    options.analyticMode = '1';
    options.closedMonths = 4;
    options.matchings = true;
    options.folder = root_ + "/bw";
    options.code = "BW";
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
    folder_ = options.folder + "/";
    OpenThroughDialog(C10Path(folder_, "BW"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "BW") << test_support::ShownTexts();
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
    for (unsigned id : {20504u, 20991u, 20992u}) SetCommandWork(id, {});
    BrowseHooks() = BrowseServices{};
    SetProcessLauncher({});
    DeleteProgramPrinter();
    PrintRunFlag = false;
    reports::ExportFile().Reset();
    DossierFixture::TearDown();
  }

  // The layouts in code order: the choice dialog's rows.
  static std::vector<StoredLayout> Layouts() {
    return {{"EBAS-1STD", "Balance analytique", "C-Etat-EBAS-1STD.txt"},
            {"EBC-1STD", "Balance avec cumuls", "C-Etat-EBC-1STD.txt"},
            {"EBS-1STD", "Balance g\xE9n\xE9rale", "C-Etat-EBS-1STD.txt"},
            {"EBS-CSV", "Balance (CSV)", "C-Etat-EBS-CSV.txt"},
            {"EBS-FEC", "Fichier des \xE9" "critures (FEC)", "C-Etat-EBS-FEC.txt"},
            {"EBS-REGR3", "Balance regroup\xE9" "e", "C-Etat-EBS-REGR3.txt"},
            {"EBS-XC", "Export CEGID", "C-Etat-EBS-XC.txt"}};
  }
  // Rows of the "EBS-" choice dialog.
  enum Row { kStd = 0, kCsv = 1, kFec = 2, kRegr3 = 3, kXc = 4 };

  static std::string LayoutText(const std::string& file) {
    std::string raw, text;
    EXPECT_TRUE(platform::ReadWholeFile(std::string(MERLON_SOURCE_DIR) + "/src/resources/reports/" + file, raw));
    EXPECT_TRUE(platform::Utf8ToCp1252(raw, text, platform::Unassigned::kRefuse)) << file;
    return text;
  }

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

  template <class W>
  static W* Slot(int position) {
    if (RegistryChar(position) != '1') return nullptr;
    return dynamic_cast<W*>(gui::Window::FromHandle(SlotHandle(position)));
  }
  static gui::MDIChild* Active() { return CommandWindow->GetActiveMDIChild(); }
  static int Children() { return static_cast<int>(CommandWindow->GetChildren().size()); }

  // The window and its form, opened by the menu command.
  void OpenPair() {
    Run(20504);
    window_ = Slot<TWEtaBroBalances>(kBalancesWindowSlot);
    form_ = Slot<TWEtaModBalances>(kBalancesFormSlot);
    ASSERT_NE(window_, nullptr) << test_support::ShownTexts();
    ASSERT_NE(form_, nullptr);
  }

  // The texts of a stored page's text records, joined by blanks.
  static std::string PageText(const TWVisuWindow* w, int page) {
    std::string text;
    const reports::PreviewPage* p = w->Context().store.Page(page);
    if (p == nullptr) return "<no page>";
    for (const reports::PageRecord& r : *p)
      if (r.kind >= 'X') text += (text.empty() ? "" : " ") + std::string(r.text);
    return text;
  }

  std::string folder_;
  TWEtaBroBalances* window_ = nullptr;
  TWEtaModBalances* form_ = nullptr;
};

}  // namespace balances_window_test
