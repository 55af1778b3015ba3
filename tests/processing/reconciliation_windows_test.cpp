// The bank reconciliation driven as a user drives it, over a generated dossier opened through
// "Ouvrir dossier": 20603 opens the form on the first bank's general account; "Accepter" opens the
// list of the account's unreconciled lines with the proposals beside them; ticking moves the
// balances; "Enregistrer" asks before saving a difference (No keeps everything as it was, Yes
// writes the letters and logs the run); the reconciliation statement prints to a PDF through the
// program's printer with the window's balances.
#include <filesystem>
#include <regex>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "framework/browse_services.h"
#include "framework/fmt_saisie.h"
#include "platform/gui/command.h"
#include "platform/gui/dialog.h"
#include "platform/gui/mdi.h"
#include "platform/gui/modal_seam.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "processing/bank_commands.h"
#include "processing/reconciliation_windows.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/report_engine_commands.h"
#include "reports/engine/visu_window.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "support/cut_texts.h"
#include "support/refused_read.h"
#include "support/sweep_lines.h"
#include "support/window_amounts.h"
#include "data/draft_lines.h"
#include "data/entry_lines.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/program_printer.h"
#include "shell/registry.h"
#include "shell/toolbar.h"
#include "support/dossier_fixture.h"
#include "support/line_files.h"
#include "support/python.h"

namespace {

constexpr const char* kBank = "51200000";
// "Le Compte n'a pas pu être lu...": an account or its lines the disk refused to read.
constexpr int kMsgAccountUnread = 39002;

platform::LaunchResult Tool(const std::vector<std::string>& argv) {
  platform::LaunchOptions o;
  o.wait = true;
  o.captureOutput = true;
  return platform::LaunchProcess(argv, o);
}

std::string PdfText(const std::string& pdf) {
  const std::string out = pdf + ".txt";
  Tool({"pdftotext", "-layout", "-enc", "UTF-8", pdf, out});
  std::string utf8;
  platform::ReadWholeFile(out, utf8);
  std::filesystem::remove(out);
  return std::regex_replace(utf8, std::regex(" +"), " ");
}

// An amount as the window and the statement show it: grouped, two decimals, without blanks around.
std::string Amount(long long cents) { return GroupedAmount(cents); }

class ReconciliationWindowTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallBankCommands();
    InstallReportEngineCommands();
    folder_ = MakeDossier("demo", "RB", 400);
    OpenThroughDialog(C10Path(folder_, "RB"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "RB") << test_support::ShownTexts();
    MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 800});
    MainFrame->Show(gui::SW_SHOW);
    MakeReportSet();
    gui::ProcessPendingMessages();
    gui::ModalSeam::Reset();
  }
  void TearDown() override {
    CloseWindows();
    for (Table* t : {TableCE0, TableCE1})
      if (t != nullptr) t->CloseTable(true);
    SetCommandWork(command_id::RapprochementBanque, {});
    for (unsigned id : {command_id::Visu, command_id::VisuMode1}) SetCommandWork(id, {});
    BrowseHooks() = BrowseServices{};
    DeleteProgramPrinter();
    PrintRunFlag = false;
    DossierFixture::TearDown();
  }

  // The report set of the program folder with the reconciliation statement's layout, and a layout
  // exporting its lines when asked.
  static void MakeReportSet(bool withExport = false) {
    std::string raw, text;
    ASSERT_TRUE(platform::ReadWholeFile(std::string(MERLON_SOURCE_DIR) + "/src/resources/reports/C-Etat-ERB-1STD.txt", raw));
    ASSERT_TRUE(platform::Utf8ToCp1252(raw, text, platform::Unassigned::kRefuse));
    const std::string path = PathReportDefs('0');
    ASSERT_EQ(CreateTableOfKind(TableKind::ReportDefs, path, true), 0);
    ::Table t;
    ASSERT_TRUE(t.OpenShared(path, "CE0CODE"));
    ASSERT_TRUE(t.AppendBlank());
    ASSERT_TRUE(t.PutField(1, "ERB-1STD"));
    ASSERT_TRUE(t.PutField(2, "Etat de rapprochement"));
    ASSERT_TRUE(t.InsertRecord());
    ASSERT_TRUE(t.PutMemoText(11, text));
    if (withExport) {
      ASSERT_TRUE(t.AppendBlank());
      ASSERT_TRUE(t.PutField(1, "ERB-CSV"));
      ASSERT_TRUE(t.PutField(2, "Lignes non rapproch\xE9" "es (CSV)"));
      ASSERT_TRUE(t.InsertRecord());
      ASSERT_TRUE(t.PutMemoText(11, "[Export:csv][Export][ITD][TT-Avant][@PIECE] [@DEBIT] [@CREDIT] [@SOLDECOMPT]"
                                     "[TT-Suivant]\r\n[ITF]"));
    }
    ASSERT_TRUE(t.Commit());
    t.CloseTable(true);
  }

  static void Send(gui::Window* w, unsigned command) {
    gui::SendCommand(w->GetHandle(), command);
    gui::ProcessPendingMessages();
  }
  static bool Enabled(gui::Window* w, unsigned id) {
    gui::CommandEnabler ce(id);
    w->RouteCommandEnable(ce);
    return ce.Handled() && ce.Enabled();
  }
  template <class W>
  static W* WindowAt(int slot) {
    if (RegistryChar(slot) != '1') return nullptr;
    return dynamic_cast<W*>(gui::Window::FromHandle(SlotHandle(slot)));
  }

  // The form of 20603 with the year's last day and a closing balance; "Accepter" opens the list.
  TWTraBroRapprochement* OpenList(const std::string& balance, TWTraModRapprochement** formOut = nullptr) {
    Menu(command_id::RapprochementBanque);
    auto* form = WindowAt<TWTraModRapprochement>(kReconciliationFormSlot);
    EXPECT_NE(form, nullptr) << test_support::ShownTexts();
    if (form == nullptr) return nullptr;
    if (formOut != nullptr) *formOut = form;
    form->DateEdit()->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), false);
    form->BalanceEdit()->SetValue(balance, false);
    Send(form, reconciliation_cmd::Accepter);
    return WindowAt<TWTraBroRapprochement>(kReconciliationListSlot);
  }

  // The bank account's sort records carrying `letter` in euros, counted with dbfread.
  std::string CountLetter(const std::string& letter) {
    return test_support::RunPythonScript(
        "import sys\nfrom dbfread import DBF\n"
        "n = sum(1 for r in DBF('" + std::string(PathC60()) + ".dbf', encoding='cp1252') if r['TCODE'].strip() == '" +
            kBank + "' and r['TLETE'].strip() == '" + letter + "')\n"
        "m = sum(1 for r in DBF('" + std::string(PathC50()) + ".dbf', encoding='cp1252') if r['BCODE'].strip() == '" +
            kBank + "' and r['BLETE'].strip() == '" + letter + "')\n"
        "m += sum(1 for r in DBF('" + std::string(PathC40()) + ".dbf', encoding='cp1252') if r['DCODE'].strip() == '" +
            kBank + "' and r['DLETE'].strip() == '" + letter + "')\n"
        "sys.stdout.write('%d %d' % (n, m))\n",
        true);
  }

  std::string folder_;
};

TEST_F(ReconciliationWindowTest, TheFormOpensOnTheBankAccountAndTheListTicksAndSaves) {
  TWTraModRapprochement* form = nullptr;
  TWTraBroRapprochement* list = OpenList("0", &form);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->AccountEdit()->GetValue(), kBank) << "the first bank's general account";
  EXPECT_NE(form->AccountName()->GetText(), "") << "its name beside it";
  test_support::Screenshot(form->Widget(), "processing", "reconciliation_form");
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  processing::Reconciliation& work = list->Work();
  ASSERT_GT(work.Lines().size(), 3u);
  EXPECT_EQ(list->Store().totalRows, static_cast<long>(work.Lines().size())) << "a typed statement: no transaction";
  EXPECT_EQ(work.TickedCount(), 0u);
  EXPECT_FALSE(Enabled(list, form_cmd::Enregistrer)) << "nothing ticked";
  // A second 20603 brings the list forward.
  Menu(command_id::RapprochementBanque);
  EXPECT_EQ(WindowAt<TWTraBroRapprochement>(kReconciliationListSlot), list);
  // Ticking the first two rows moves the reconciled balance by their amounts.
  const long long before = work.ReconciledBalance();
  list->Store().selected = 1;
  Send(list, reconciliation_cmd::Pointer);
  list->Store().selected = 2;
  Send(list, reconciliation_cmd::Pointer);
  EXPECT_EQ(work.TickedCount(), 2u);
  const long long ticked = work.Lines()[0].cents + work.Lines()[1].cents;
  EXPECT_EQ(work.ReconciledBalance(), before + ticked);
  EXPECT_NE(list->StatusText().find(Amount(work.Difference())), std::string::npos)
      << list->StatusText();
  EXPECT_TRUE(Enabled(list, form_cmd::Enregistrer));
  test_support::Screenshot(list->Widget(), "processing", "reconciliation_list");
  // The statement's letter changed as the manual matching changes it.
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& d) { static_cast<TDFmtSaisie&>(d).Input()->SetText("RB1"); });
  Send(list, reconciliation_cmd::ProchaineLettre);
  EXPECT_EQ(work.Letter(), "RB1");
  // The statement balance typed as 0: a difference is named; No keeps everything unwritten.
  ASSERT_NE(work.Difference(), 0);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  Send(list, form_cmd::Enregistrer);
  const gui::ShownModal* asked = gui::ModalSeam::LastShown();
  ASSERT_NE(asked, nullptr);
  EXPECT_NE(asked->text.find(GroupedAmountText(work.Difference())), std::string::npos)
      << asked->text;
  EXPECT_EQ(asked->defaultButton, gui::IDNO) << "No by default";
  test_support::ScreenshotMessage(*asked, "processing", "reconciliation_difference");
  EXPECT_EQ(CountLetter("RB1"), "0 0");
  EXPECT_EQ(WindowAt<TWTraBroRapprochement>(kReconciliationListSlot), list) << "the list stays";
  // Yes writes the letter into both ticked lines and their sort records, logs the run and closes the list.
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Send(list, form_cmd::Enregistrer);
  EXPECT_EQ(CountLetter("RB1"), "2 2");
  EXPECT_EQ(WindowAt<TWTraBroRapprochement>(kReconciliationListSlot), nullptr);
  EXPECT_NE(test_support::ShownTexts().find("2 lignes"), std::string::npos) << test_support::ShownTexts();
  std::string log;
  platform::ReadWholeFile(LogPath(), log);
  EXPECT_NE(log.find("RAPPROCHEMENT BANCAIRE - Ok - 51200000"), std::string::npos) << log;
  EXPECT_NE(log.find("2 lignes - lettre RB1"), std::string::npos) << log;
}

// The bank account's lines not read when "Accepter" opens the list (every read of the sort file refused): the
// form says the account was not read, never that there is nothing to reconcile nor that it is missing, and no
// list opens; the disk reading again, the list opens.
TEST_F(ReconciliationWindowTest, LinesNotReadOpenNoListAndAreSaidNotRead) {
  Menu(command_id::RapprochementBanque);
  auto* form = WindowAt<TWTraModRapprochement>(kReconciliationFormSlot);
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  form->DateEdit()->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), false);
  form->BalanceEdit()->SetValue("0", false);
  const std::string file = "/" + std::filesystem::path(platform::ResolvePath(std::string(PathC60()) + ".dbf")).filename().string();
  // The reads of the sort file's opening go through; every one after is refused.
  int opening = 0;
  {
    test_support::RefusedRead::Arm(file, INT_MAX);
    Table c60;
    ASSERT_TRUE(c60.OpenShared(PathC60(), processing::kC60CodeTag));
    opening = test_support::RefusedRead::Seen();
    test_support::RefusedRead::Disarm();
  }
  test_support::RefusedRead::Arm(file, opening + 1, true);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Send(form, reconciliation_cmd::Accepter);
  test_support::RefusedRead::Disarm();
  const gui::ShownModal* said = gui::ModalSeam::LastShown();
  ASSERT_NE(said, nullptr);
  EXPECT_EQ(said->text, LoadStr(kMsgAccountUnread));
  test_support::ScreenshotMessage(*said, "processing", "reconciliation_lines_not_read");
  EXPECT_EQ(WindowAt<TWTraBroRapprochement>(kReconciliationListSlot), nullptr);
  EXPECT_EQ(WindowAt<TWTraModRapprochement>(kReconciliationFormSlot), form) << "the form stays for another try";
  Send(form, reconciliation_cmd::Accepter);
  EXPECT_NE(WindowAt<TWTraBroRapprochement>(kReconciliationListSlot), nullptr) << test_support::ShownTexts();
}

// The list's bar has a glyph for each command; its balances are in the status bar while it is the
// active window only, and come back with it.
TEST_F(ReconciliationWindowTest, TheFormOpenedAtTheClientAreaSizeKeepsItsRowsTogether) {
  Menu(command_id::RapprochementBanque);
  auto* form = WindowAt<TWTraModRapprochement>(kReconciliationFormSlot);
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  EXPECT_GT(form->ClientRect.h, 3 * (form->MinRowHeight + 8) * form->GridRows / 2) << "a large window";
  const int step = form->DateEdit()->GetWindowRect().y - form->AccountEdit()->GetWindowRect().y;
  EXPECT_GE(step, form->MinRowHeight);
  EXPECT_LE(step, form->MinRowHeight + 8) << "the rows spread over the window";
  EXPECT_FALSE(form->ScrollBarShown(false));
  EXPECT_FALSE(form->ScrollBarShown(true));
  const int gap = form->LookupButton()->GetWindowRect().x - form->AccountEdit()->GetWindowRect().Right();
  EXPECT_GE(gap, 0);
  EXPECT_LE(gap, 10) << "the \"?\" just after the account's edit";
  test_support::Screenshot(form->OuterWidget(), "framework", "reconciliation_form_large");
}

TEST_F(ReconciliationWindowTest, TheBarsGlyphsAndTheBalancesOfTheActiveListOnly) {
  TWTraModRapprochement* form = nullptr;
  TWTraBroRapprochement* list = OpenList("0", &form);
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  list->Activate();
  gui::ProcessPendingMessages();
  app_->RunIdle();
  EXPECT_EQ(ToolbarCommandList[0], 7u);
  EXPECT_EQ(InstalledCommandsWithoutGlyph(), std::vector<unsigned>());
  test_support::Screenshot(MainControlBar->Widget(), "processing", "reconciliation_toolbar");
  // The pop-up menu: the bar's commands, each once, then the list's fixed ones it does not hold yet.
  EXPECT_EQ(list->ContextMenuIds(),
            (std::vector<unsigned>{browse_cmd::Quitter, 0, reconciliation_cmd::Pointer, form_cmd::Enregistrer,
                                   reconciliation_cmd::ProchaineLettre, browse_cmd::Visualiser, browse_cmd::Imprimer,
                                   reconciliation_cmd::Importer, 0, browse_cmd::AllerAuCode, browse_cmd::CopierCode,
                                   browse_cmd::CopierTableau}));
  for (unsigned id : list->ContextMenuIds()) {
    if (id != 0) {
      EXPECT_NE(std::string(LoadStr(static_cast<int>(id) + 1000)), "") << id;
    }
  }
  ASSERT_EQ(MessageBar->GetText(), list->StatusText());
  // A tick builds the shown rows again, each from its own line; filling after a row starts at the next.
  ASSERT_GE(list->Store().totalRows, 4);
  list->Store().selected = 1;
  Send(list, reconciliation_cmd::Pointer);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(list->Store().RecordNumberOf(i), i + 1) << i;
  BrowseRows rows(2);
  list->FillRowsForward(rows, 0, 2, 2);
  EXPECT_EQ(std::pair(BrowseRowStore::RecordNumberOfText(rows[0]), BrowseRowStore::RecordNumberOfText(rows[1])),
            std::pair(3L, 4L));
  ASSERT_EQ(MessageBar->GetText(), list->StatusText());
  // Another window in front, the form or one that writes nothing there: not the list's balances.
  auto* plain = new gui::MDIChild(CommandWindow, "Autre");
  plain->Create();
  for (gui::MDIChild* other : {static_cast<gui::MDIChild*>(form), plain}) {
    other->Activate();
    gui::ProcessPendingMessages();
    ASSERT_EQ(CommandWindow->GetActiveMDIChild(), other);
    app_->RunIdle();
    EXPECT_NE(MessageBar->GetText(), list->StatusText());
    list->Activate();
    gui::ProcessPendingMessages();
    app_->RunIdle();
    EXPECT_EQ(MessageBar->GetText(), list->StatusText());
  }
}

// The lines of the statement are read when its list opens, before any report runs: one whose amount
// does not read ("abc") counts as zero in the book balance, and an export of the statement is then
// refused by the report engine, naming the line, where the sound account's export is offered.
TEST_F(ReconciliationWindowTest, AnExportOfTheStatementIsRefusedOverALineThatDoesNotRead) {
  MakeReportSet(true);
  const char choice = ProgramOption(12);
  SetProgramOption(12, 'O');  // the layout chosen in the dialog
  const auto exported = [this] {
    TWTraBroRapprochement* list = OpenList("0");
    EXPECT_NE(list, nullptr) << test_support::ShownTexts();
    if (list == nullptr) return std::string("<no list>");
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
      static_cast<gui::Dialog&>(w).SetItemSel(choice_ids::kLayouts, 1);  // ERB-CSV
    });
    Send(list, browse_cmd::Visualiser);
    if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->CmAllPages();
    gui::ProcessPendingMessages();
    if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->CmQuitVisu();
    gui::ProcessPendingMessages();
    std::string offered;
    for (const auto& shown : gui::ModalSeam::Shown())
      if (shown.caption == "Fichier d'exportation") offered = shown.text;
    const std::string said = test_support::ShownTexts();
    CloseWindows();
    return offered.empty() ? said : "offered " + offered;
  };
  const std::string sound = exported();
  EXPECT_EQ(sound.rfind("offered ", 0), 0u) << sound;
  std::uint32_t damaged = 0;
  {
    test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
    for (std::uint32_t n = 1; n <= raw.Count() && damaged == 0; ++n) {
      const std::string r = raw.Record(n);
      if (r[0] != '*' && raw.Field(r, "BCODE") == kBank && raw.Field(r, "BLETE") == "    ") damaged = n;
    }
    ASSERT_NE(damaged, 0u);
    raw.Put(damaged, "BMONTANTE", "abc");
  }
  const std::string said = exported();
  EXPECT_EQ(said.rfind("offered ", 0), std::string::npos) << said;
  EXPECT_NE(said.find("Le fichier n'a pas \xE9t\xE9 \xE9" "crit"), std::string::npos) << said;
  EXPECT_NE(said.find("C50 enregistrement " + std::to_string(damaged) + ","), std::string::npos) << said;
  SetProgramOption(12, choice);
}

TEST_F(ReconciliationWindowTest, TheStatementPrintsWithTheWindowsBalances) {
  const std::string pdf = test_support::ArtefactPath("processing", "reconciliation_statement.pdf");
  std::filesystem::remove(pdf);
  gui::ModalSeam::QueuePrintSetupAnswer(gui::IDOK, pdf);
  gui::SendCommand(CommandWindow->GetHandle(), 20207);
  gui::ProcessPendingMessages();
  TWTraBroRapprochement* list = OpenList("1234.56");
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  list->Store().selected = 1;
  Send(list, reconciliation_cmd::Pointer);
  processing::Reconciliation& work = list->Work();
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    static_cast<gui::Dialog&>(w).SetItemSel(choice_ids::kLayouts, 0);
  });
  Send(list, browse_cmd::Imprimer);
  ASSERT_TRUE(std::filesystem::exists(pdf)) << test_support::ShownTexts();
  const std::string text = PdfText(pdf);
  EXPECT_NE(text.find("Etat de rapprochement bancaire"), std::string::npos) << text;
  for (long long v : {work.StatementBalance(), work.BookBalance(), work.Difference(), work.UnreconciledDebit(),
                      work.UnreconciledCredit()})
    EXPECT_NE(text.find(Amount(v)), std::string::npos) << Amount(v) << "\n" << text;
  EXPECT_NE(text.find("1 234.56"), std::string::npos) << text;
}

// Lines of the bank account at 1, 10 million, a billion and 15 244 901 723,74 either way (the widest the
// most the totals still take beside the others), and the
// statement's balance at the widest: each amount whole and grouped in its column, inside it, and the
// balances of the status and the difference its saving names whole and grouped.
TEST_F(ReconciliationWindowTest, AmountsSweepTheListTheStatusAndTheQuestionShowEveryAmountWhole) {
  if (!TableC10->isOpen) {
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
  }
  if (!TableC20->isOpen) {
    ASSERT_TRUE(TableC20->OpenShared(PathC20(), "C20CODE"));
  }
  // Each line written alone, the widest of a side last.
  const std::vector<long long> amounts = test_support::WriteSweepLines("C601", "BQ", kBank, false);
  ASSERT_FALSE(::testing::Test::HasFailure());
  TWTraBroRapprochement* list = OpenList("99999999999.99");
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  list->MoveWindow(gui::Rect{0, 0, 1250, 500});
  gui::ProcessPendingMessages();
  processing::Reconciliation& work = list->Work();
  test_support::SweepFaults faults;
  // The rows of the lines written: the first of the list (their day is the year's first).
  std::string debits, credits;
  const long rows = std::min<long>(list->Store().totalRows, static_cast<long>(list->Store().rows.size()));
  for (long r = 1; r <= rows; ++r) {
    list->Store().selected = r;
    const std::string row = list->SelectedRow();
    debits += list->Cell(row, 6) + "|";
    credits += list->Cell(row, 7) + "|";
  }
  for (long long cents : amounts)
    faults.Add(test_support::AmountFault("reconciliation list, " + test_support::GroupedDigits(cents), cents > 0 ? debits : credits,
                                         cents < 0 ? -cents : cents, test_support::Shown::kBare));
  for (const std::string& cut : test_support::CutTexts(*list, 12)) faults.Add("reconciliation list: cut: " + cut);
  for (long r = 1; r <= 8; ++r) {
    list->Store().selected = r;
    Send(list, reconciliation_cmd::Pointer);
    faults.Add(test_support::GroupedFault("reconciliation status", list->StatusText()));
  }
  list->Store().selected = 1;
  test_support::Screenshot(list->Widget(), "processing", "amounts_sweep_reconciliation");
  faults.Add(test_support::AmountFault("reconciliation status", list->StatusText(), work.Difference(), test_support::Shown::kSigned));
  ASSERT_NE(work.Difference(), 0);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  Send(list, form_cmd::Enregistrer);
  const gui::ShownModal* asked = gui::ModalSeam::LastShown();
  ASSERT_NE(asked, nullptr);
  faults.Add(test_support::AmountFault("reconciliation question", asked->text, work.Difference(), test_support::Shown::kSigned, ','));
  faults.Report();
}

}  // namespace
