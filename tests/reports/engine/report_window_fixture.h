// The report windows driven as a user drives them: the whole main window over a generated demo
// dossier "RP", the master-data and report-engine commands installed, a report set "0" of our
// own in the program folder (the preview's set and the print set), and a test report window
// (TWEtats) over the dossier's chart of accounts: one account a page, so that its first twelve
// accounts give twelve pages. Programs the follow-ups start are caught, never run.
#pragma once

#include <QApplication>
#include <QWidget>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "framework/browse_services.h"
#include "masterdata/masterdata_commands.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/modal_seam.h"
#include "platform/gui/printer.h"
#include "platform/system/process.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/core/page_store.h"
#include "reports/engine/report_engine_commands.h"
#include "reports/engine/report_window.h"
#include "reports/engine/visu_window.h"
#include "runtime/access_rights.h"
#include "runtime/inifiles.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/program_printer.h"
#include "shell/utility_commands.h"
#include "support/dossier_fixture.h"
#include "support/python.h"

namespace report_test {

constexpr char kCesure[] = "\r\n";

// One account a page: a heading, then a body of 45 lines per account, which fits an empty page
// once and never twice.
inline std::string OneAccountAPage(const std::string& heading = "Etat de test") {
  std::string body = "[ITD][TT-Avant]Compte [@CODE] [@NOM]";
  for (int i = 0; i < 44; ++i) body += kCesure;
  return heading + " [Pages]\r\n" + body + "[TT-Suivant]\r\n[ITF][Fin]\r\n";
}

// A test report window over the chart of accounts: its first `count` live accounts within the
// limits, one line each (CODE, NOM, RANG).
class AccountsReport : public TWEtats {
 public:
  explicit AccountsReport(gui::MDIClient* client) : TWEtats(client, "Comptes de test", 0, 0, 0) {
    reportPrefix = "TS-";
    printTitle = "Comptes de test";
    previewTitle = "Visualisation: Comptes de test";
    LimitsMode = 3;
    keyWidth = 8;
    kindLetter = "2";
    ReportFields().SetFieldCount(3);
    // The chart of accounts, open as the report windows keep it (the code lookups read it).
    if (TableC20 != nullptr) TableC20->UseShared(PathC20(), "C20CODE");
  }

  bool PrepareReport() override {
    accounts.clear();
    ::Table t;
    if (!t.OpenShared(PathC20(), "C20CODE", true)) return false;
    t.SeekNotBelow("C20CODE", RTrim(LimitFrom.c_str()));
    while (t.isOpen && !t.eof && t.recordNumber != 0 && static_cast<int>(accounts.size()) < count) {
      const std::string code = RTrim(t.GetField(1));
      if (!IsBlank(LimitTo) && code.compare(0, std::string(RTrim(LimitTo.c_str())).size(), RTrim(LimitTo.c_str())) > 0)
        break;
      if (!t.IsDeleted()) accounts.emplace_back(code, RTrim(t.GetField(2)));
      if (!t.Skip(1)) break;
    }
    t.CloseTable();
    if (accounts.empty()) return ShowEmptyEtat(this);
    if (!ReportFieldsDeclared()) {
      ReportFields().InitFieldTable();
      ReportFields().DeclareField(0, "CODE      C080");
      ReportFields().DeclareField(1, "NOM       C300");
      ReportFields().DeclareField(2, "RANG      N030");
    }
    index_ = 0;
    LineTypeText = "A";
    ListLineCount = 0;
    return true;
  }
  void ComputeLine() override {
    const auto& [code, name] = accounts.at(static_cast<std::size_t>(index_));
    ReportFields().SetFieldText(0, code.c_str());
    ReportFields().SetFieldText(1, name.c_str());
    ReportFields().SetFieldNumber(2, index_ + 1);
    ++ListLineCount;
  }
  bool NextRecord() override {
    if (++index_ >= static_cast<int>(accounts.size())) {
      LineTypeText = "Z";
      return false;
    }
    return true;
  }
  void ClassifyLine() override { LineTypeText = "S"; }
  // [TT-Init]: a line of the window's own at the head of the export.
  void InitReport() override {
    if (!exportHeading.empty()) WriteExportLineVisu(exportHeading);
  }
  void DefaultAction() override { ++endNotices; }
  void CmListeSuivante() { ++nextListNotices; }

  static const gui::ResponseTable& Table() {
    static const gui::ResponseTable table =
        gui::ResponseTable(&CMDIBrowse::Table()).Command(20039, &AccountsReport::CmListeSuivante);
    return table;
  }
  const gui::ResponseTable& Responses() const override { return Table(); }

  int count = 12;
  std::string exportHeading;
  std::vector<std::pair<std::string, std::string>> accounts;
  int endNotices = 0;
  int nextListNotices = 0;

 private:
  int index_ = 0;
};

struct Layout {
  std::string code, name, text;
  bool cancelled = false;
};

class ReportWindowTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallMasterDataCommands();
    InstallReportEngineCommands();
    folder_ = MakeDossier("demo", "RP");
    OpenThroughDialog(C10Path(folder_, "RP"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "RP") << test_support::ShownTexts();
    SetProgramOption(3, 'N');
    for (int option : {5, 6, 7}) SetProgramOption(option, '0');
    SetProgramOption(8, 'N');
    SetProgramOption(9, 'N');
    SetProgramOption(12, 'O');
    MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 900});
    MainFrame->Show(gui::SW_SHOW);
    SetProcessLauncher([this](const std::vector<std::string>& argv, const platform::LaunchOptions&) {
      launched.push_back(argv);
      platform::LaunchResult r;
      r.launched = true;
      r.exitStatus = 0;
      return r;
    });
    MakeReportSet('0', StandardLayouts());
    gui::ProcessPendingMessages();
    gui::ModalSeam::Reset();
  }

  void TearDown() override {
    if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->Destroy();
    if (CommandWindow != nullptr) CommandWindow->CloseChildren();
    gui::ProcessPendingMessages();
    for (Table* t : {TableCE0, TableCE1})
      if (t != nullptr) t->CloseTable(true);
    SetCommandWork(command_id::Visu, {});
    SetCommandWork(command_id::VisuMode1, {});
    BrowseHooks() = BrowseServices{};
    SetProcessLauncher({});
    DeleteProgramPrinter();
    PrintRunFlag = false;
    reports::ExportFile().Reset();
    DossierFixture::TearDown();
  }

  static std::vector<Layout> StandardLayouts() {
    return {
        {"TS-LISTE", "Liste des comptes", OneAccountAPage()},
        {"TS-AUTRE", "Autre pr\xE9sentation", "[TypeListe=b]Autre [@CODE]\r\n"},
        {"TS-ANNULE", "Pr\xE9sentation annul\xE9" "e", "Annul\xE9" "e\r\n", true},
        {"DB-1LISTE", "Liste des banques", "Banque\r\n"},
    };
  }

  // The report set `letter` in the program folder, made anew with these layouts.
  static void MakeReportSet(char letter, const std::vector<Layout>& layouts) {
    for (Table* t : {TableCE0, TableCE1})
      if (t != nullptr) t->CloseTable(true);
    const std::string path = PathReportDefs(letter);
    ASSERT_EQ(CreateTableOfKind(TableKind::ReportDefs, path, true), 0);
    ::Table t;
    ASSERT_TRUE(t.OpenShared(path, "CE0CODE"));
    for (const Layout& l : layouts) {
      ASSERT_TRUE(t.AppendBlank());
      ASSERT_TRUE(t.PutField(1, l.code.c_str()));
      ASSERT_TRUE(t.PutField(2, l.name.c_str()));
      ASSERT_TRUE(t.InsertRecord());
      ASSERT_TRUE(t.PutMemoText(11, l.text));
      if (l.cancelled) {
        ASSERT_TRUE(t.DeleteRecord(nullptr, 0));
      }
      ASSERT_TRUE(t.Commit());
    }
    t.CloseTable(true);
  }

  // The test report window, opened.
  AccountsReport* OpenReport() {
    auto* report = new AccountsReport(CommandWindow);
    report->MoveWindow(gui::Rect{0, 0, 600, 400});
    EXPECT_TRUE(report->Create());
    report->Show(gui::SW_SHOWNORMAL);
    gui::ProcessPendingMessages();
    return report;
  }

  // "Visualiser" of a report window with the choice dialog answered: `layout` selected (its
  // row in the dialog's list), the page range typed when given.
  static void QueueChoice(int answer, int layoutRow = 0, const std::string& first = "", const std::string& last = "",
                          std::function<void(gui::Window&)> more = {}) {
    gui::ModalSeam::QueueDialogAnswer(answer, [=](gui::Window& w) {
      auto& d = static_cast<gui::Dialog&>(w);
      d.SetItemSel(choice_ids::kLayouts, layoutRow);
      if (!first.empty()) d.SetItemText(choice_ids::kFirstPage, first);
      if (!last.empty()) d.SetItemText(choice_ids::kLastPage, last);
      if (more) more(w);
    });
  }

  // The preview of the test report, layout TS-LISTE (row 2 of the prefix's layouts).
  TWVisuWindow* Preview(AccountsReport* report, unsigned command = 20035) {
    QueueChoice(gui::IDOK, 1);
    gui::SendCommand(report->GetHandle(), command);
    gui::ProcessPendingMessages();
    EXPECT_NE(CurrentPreviewWindow, nullptr) << test_support::ShownTexts();
    return CurrentPreviewWindow;
  }

  static void Send(gui::Window* w, unsigned command) {
    gui::SendCommand(w->GetHandle(), command);
    gui::ProcessPendingMessages();
  }

  // A key typed in the window (pressed and released), as the keyboard sends it.
  static void Key(gui::Window* w, int key, test_support::KeyModifiers mods = test_support::kNoModifier,
                  const std::string& text = {}) {
    QWidget* target = w->Widget();
    target->setFocus();
    test_support::SendKey(target, test_support::kKeyPress, key, mods, text);
    test_support::SendKey(target, test_support::kKeyRelease, key, mods, text);
    gui::ProcessPendingMessages();
  }

  // The texts of a stored page's text records (its cells), joined by blanks.
  static std::string PageText(const TWVisuWindow* w, int page) {
    std::string text;
    const reports::PreviewPage* p = w->Context().store.Page(page);
    if (p == nullptr) return "<no page>";
    for (const reports::PageRecord& r : *p)
      if (r.kind >= 'X') text += (text.empty() ? "" : " ") + std::string(r.text);
    return text;
  }

  static std::string Status() { return MessageBar != nullptr ? MessageBar->GetText() : ""; }

  std::string folder_;
  std::vector<std::vector<std::string>> launched;
};

}  // namespace report_test
