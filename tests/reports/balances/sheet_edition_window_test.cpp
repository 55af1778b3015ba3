// "Bilan Edition" (20510, and the tool bar's 20017, 20019, 20021) driven as a user drives it, on
// a generated dossier "BS" whose balance sheet was initialised and computed, with a report set
// "0" holding the program's balance-sheet layouts: the choice dialog, the euro question, the
// preview of the balance sheet then of its annex, the printout of both into one PDF, the
// choice coming back after each run, the refusals. The figures are checked against C70 read by
// python3-dbfread after the edition wrote its totals there.
#include <QWidget>

#include <filesystem>
#include <regex>
#include <sstream>

#include "controls/mcontrols.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/modal_seam.h"
#include "platform/gui/printer.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "reports/balances/balance_sheet_commands.h"
#include "reports/balances/balance_sheet_edition_window.h"
#include "reports/balances/core/balance_sheet_compile.h"
#include "reports/balances/core/balance_sheet_edition.h"
#include "reports/balances/core/balance_sheet_init.h"
#include "reports/balances/core/balance_sheet_model.h"
#include "reports/balances/core/balance_sheet_run.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/core/page_store.h"
#include "reports/engine/core/report_export.h"
#include "reports/engine/report_engine_commands.h"
#include "reports/engine/visu_window.h"
#include "resources/command_ids.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/program_printer.h"
#include "shell/registry.h"
#include "shell/utility_commands.h"
#include "support/dossier_fixture.h"
#include "support/line_files.h"
#include "support/python.h"

namespace {

namespace fs = std::filesystem;

// An amount as C70 holds it ("-1234.50") as the edition prints it, grouped whole ("-1 234.50").
std::string Printed(const std::string& plain) {
  std::string digits;
  for (char c : plain)
    if (c != '.' && c != '-') digits += c;
  const long long cents = std::stoll(digits);
  return GroupedAmount(plain.rfind('-', 0) == 0 ? -cents : cents, 0);
}

platform::LaunchResult Tool(const std::vector<std::string>& argv) {
  platform::LaunchOptions o;
  o.wait = true;
  o.captureOutput = true;
  return platform::LaunchProcess(argv, o);
}

class SheetEditionTest : public test_support::DossierFixture {
 protected:
  // The dossier at its year's end (every month validated, the opening entry) rather than in the year.
  virtual bool YearEnd() const { return false; }

  void SetUp() override {
    DossierFixture::SetUp();
    InstallReportEngineCommands();
    InstallBalanceSheetCommands();
    for (const char* f : {"clbilanr.dbf", "cpbilanr.dbf", "cpbilanr.mdx", "clbilans.dbf", "cpbilans.dbf",
                          "cpbilans.mdx"})
      fs::copy_file(std::string(MERLON_BINARY_DIR) + "/models/" + f, ProgramFolder + f,
                    fs::copy_options::overwrite_existing);
    folder_ = MakeDossier("demo", "BS", YearEnd() ? 1500 : 400, YearEnd());
    OpenThroughDialog(C10Path(folder_, "BS"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "BS") << test_support::ShownTexts();
    SetProgramOption(3, 'N');
    for (int option : {5, 6, 7}) SetProgramOption(option, '0');
    SetProgramOption(8, 'N');
    SetProgramOption(9, 'N');
    SetProgramOption(12, 'N');  // the first layout of the prefix, all pages
    MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 900});
    MainFrame->Show(gui::SW_SHOW);
    SetProcessLauncher([](const std::vector<std::string>&, const platform::LaunchOptions&) {
      platform::LaunchResult r;
      r.launched = true;
      return r;
    });
    MakeReportSet();
    EuroOnly(true);
    gui::ProcessPendingMessages();
    gui::ModalSeam::Reset();
  }

  void TearDown() override {
    if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->Destroy();
    if (CommandWindow != nullptr) CommandWindow->CloseChildren();
    gui::ProcessPendingMessages();
    for (Table* t : {TableCE0, TableCE1})
      if (t != nullptr) t->CloseTable(true);
    for (unsigned id : {command_id::EtaBilanInitialisation, command_id::EtaBilanCalcul, command_id::EtaBilanEdition,
                        command_id::EtaBilanReelNormal, command_id::EtaBilanReelSimplifie, command_id::EtaBilanAutre,
                        command_id::Visu, command_id::VisuMode1})
      SetCommandWork(id, {});
    SetProcessLauncher({});
    DeleteProgramPrinter();
    PrintRunFlag = false;
    reports::ExportFile().Reset();
    DossierFixture::TearDown();
  }

  static void EuroOnly(bool on) {
    TheDossierRecord.SetEuroIsMain(on);
    TheDossierRecord.SetConstant(39, on ? "OUI" : "NON");
  }

  // The report set "0" with the program's balance-sheet layouts.
  static void MakeReportSet() {
    struct Layout {
      const char *code, *name, *file;
    };
    const Layout layouts[] = {{"EE-2033", "Bilan simplifi\xE9", "C-Etat-EE-2033.txt"},
                              {"EE-2050", "Bilan normal", "C-Etat-EE-2050.txt"},
                              {"EEA-2033", "Annexe 2033", "C-Etat-EEA-2033.txt"},
                              {"EEA-2050", "Annexe 2050", "C-Etat-EEA-2050.txt"}};
    const std::string path = PathReportDefs('0');
    ASSERT_EQ(CreateTableOfKind(TableKind::ReportDefs, path, true), 0);
    ::Table t;
    ASSERT_TRUE(t.OpenShared(path, "CE0CODE"));
    for (const Layout& l : layouts) {
      std::string raw, text;
      ASSERT_TRUE(platform::ReadWholeFile(std::string(MERLON_SOURCE_DIR) + "/src/resources/reports/" + l.file, raw));
      ASSERT_TRUE(platform::Utf8ToCp1252(raw, text, platform::Unassigned::kRefuse));
      ASSERT_TRUE(t.AppendBlank());
      ASSERT_TRUE(t.PutField(1, l.code));
      ASSERT_TRUE(t.PutField(2, l.name));
      ASSERT_TRUE(t.InsertRecord());
      ASSERT_TRUE(t.PutMemoText(11, text));
      ASSERT_TRUE(t.Commit());
    }
    t.CloseTable(true);
  }

  // The model of `constant` copied into C70 (its lines from `modelFolder`, the program folder's
  // when empty) and computed over the whole year with the program folder's parameters.
  void InitialiseAndCompute(const char* constant, const std::string& modelFolder = "") {
    TheDossierRecord.SetConstant(4, constant);
    CloseAllTables();
    const char letter = balances::ModelLetter(constant);
    {
      Table c10, c70;
      ASSERT_TRUE(c10.OpenExclusive(PathC10(), "C10CODE"));
      ASSERT_TRUE(c70.OpenExclusive(PathC70(), "C70CODE"));
      ASSERT_EQ(balances::InitialiseBalanceSheet(c10, c70, modelFolder.empty() ? ProgramFolder : modelFolder, letter),
                balances::InitOutcome::kDone);
    }
    const std::string first = TheDossierRecord.DateStored(DossierRecord::DateField::YearStart);
    const std::string last = TheDossierRecord.DateStored(DossierRecord::DateField::YearEnd);
    const balances::SheetRun run =
        balances::RunBalanceSheet(balances::DossierSheetInput(letter, {first, last, first, last}, true));
    ASSERT_EQ(run.outcome, balances::RunOutcome::kDone) << run.message;
    SetDossierState(' ');
  }

  static void Run(unsigned command) {
    RunSubjectCommand(command);
    gui::ProcessPendingMessages();
  }

  static TWEtaBroBilanEdition* Window() {
    if (RegistryChar(kSheetEditionWindowSlot) != '1') return nullptr;
    return dynamic_cast<TWEtaBroBilanEdition*>(gui::Window::FromHandle(SlotHandle(kSheetEditionWindowSlot)));
  }

  // The choice dialog answered: `output` 0 preview / 1 printer, `part` 0 all / 1 the balance
  // sheet / 2 the annex; `*seen` gets the choice the dialog opened on.
  static void QueueEditionChoice(int answer, int output, int part, std::string* seen = nullptr,
                                 bool screenshot = false) {
    gui::ModalSeam::QueueDialogAnswer(answer, [=](gui::Window& w) {
      auto& d = dynamic_cast<TDEtaBilanEdition&>(w);
      if (seen != nullptr) {
        *seen = "";
        for (int id : {TDEtaBilanEdition::kPreview, TDEtaBilanEdition::kPrinter, TDEtaBilanEdition::kAll,
                       TDEtaBilanEdition::kSheetOnly, TDEtaBilanEdition::kAnnexOnly, TDEtaBilanEdition::kEmptyLines})
          *seen += d.GetCheck(id) == gui::BST_CHECKED ? "1" : "0";
        *seen += "|" + d.GetItemText(TDEtaBilanEdition::kTitle);
      }
      if (screenshot) {
        d.Show(gui::SW_SHOWNORMAL);
        test_support::Screenshot(d.OuterWidget(), "balances", "edition_1323");
      }
      for (int i = 0; i < 2; ++i)
        d.SetCheck(TDEtaBilanEdition::kPreview + i, i == output ? gui::BST_CHECKED : gui::BST_UNCHECKED);
      for (int i = 0; i < 3; ++i)
        d.SetCheck(TDEtaBilanEdition::kAll + i, i == part ? gui::BST_CHECKED : gui::BST_UNCHECKED);
      if (answer == gui::IDOK) d.PressButton(gui::IDOK);
    });
  }

  // The texts of a stored preview page, joined by blanks ("^" shown as blanks).
  static std::string PageText(const TWVisuWindow* w, int page) {
    std::string text;
    const reports::PreviewPage* p = w->Context().store.Page(page);
    if (p == nullptr) return "<no page>";
    for (const reports::PageRecord& r : *p)
      if (r.kind >= 'X') text += (text.empty() ? "" : " ") + std::string(r.text);
    for (char& c : text)
      if (c == '^') c = ' ';
    return text;
  }

  // C70 read by python3-dbfread: "poste euros" for every poste of every column, then the
  // lines whose computed amounts disagree with an independent totals pass in euros.
  std::string C70Oracle() {
    const std::string script = "path = r'" + std::string(PathC70()) + ".dbf'\n" + R"(
from dbfread import DBF
t = DBF(path, encoding='cp1252', char_decode_errors='replace')
names = t.field_names
rows = sorted([list(r.values()) for r in t], key=lambda r: r[0])
acc = [0] * 40
bad = []
def num(v): return int(round((v or 0) * 100))
for r in rows:
    calc = (r[3] or '').ljust(3)
    a = [num(r[4 * c + 4]) for c in range(1, 5)]
    x = int(calc[1]) if calc[1].isdigit() and calc[1] != '0' else None
    y = int(calc[2]) if calc[2].isdigit() and calc[2] != '0' else None
    if calc[0] == 'C':
        if x:
            for c in range(4): acc[4 * x - 4 + c] += a[c]
    elif calc[0] == 'T':
        want = [acc[4 * x - 4 + c] if x else 0 for c in range(4)]
        if want != a: bad.append(r[0])
    elif calc[0] in 'AS' and x and y:
        for c in range(4): acc[4 * y - 4 + c] += acc[4 * x - 4 + c] * (1 if calc[0] == 'A' else -1)
    elif calc[0] == 'R' and x:
        for c in range(4): acc[4 * x - 4 + c] = 0
    for c in range(1, 5):
        p = (r[4 * c + 2] or '').strip()
        if p: print('P', p, '%.2f' % (a[c - 1] / 100.0))
print('BAD', ' '.join(bad))
)";
    return test_support::RunPythonScript(script, true);
  }

  std::string folder_;
};

// ---- the preview: the balance sheet, then its annex through "Liste suivante"

TEST_F(SheetEditionTest, ThePreviewOfTheWholeShowsTheBalanceSheetThenItsAnnexAndTheChoiceComesBack) {
  InitialiseAndCompute("S  ");
  std::string seen;
  QueueEditionChoice(gui::IDOK, 0, 0, &seen, true);
  Run(20510);
  TWEtaBroBilanEdition* window = Window();
  ASSERT_NE(window, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(seen, "101001|Bilan 'REEL SIMPLIFIE 2033'") << "the first choice is VTA";
  EXPECT_EQ(GetDossierState(), '1');
  EXPECT_EQ(window->CurrencyIndex, 1) << "euro-only dossier: no question";
  EXPECT_EQ(test_support::ShownTexts().find("Euros ?"), std::string::npos);

  TWVisuWindow* preview = CurrentPreviewWindow;
  ASSERT_NE(preview, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(preview->Mode(), 1);
  EXPECT_EQ(preview->GetCaption().rfind("Visualisation: Bilan", 0), 0u) << preview->GetCaption();
  const std::string page1 = PageText(preview, 1);
  EXPECT_NE(page1.find("2033-A Bilan simplifi\xE9 - Actif"), std::string::npos) << page1;
  test_support::Screenshot(preview->OuterWidget(), "balances", "edition_bilan_page1");

  // Every amount the page shows for a box is that box's amount in C70, which the totals pass
  // wrote and an independent pass over C70 finds right.
  const std::string oracle = C70Oracle();
  EXPECT_NE(oracle.find("BAD \n"), std::string::npos) << oracle;
  std::map<std::string, std::string> amounts;
  {
    std::istringstream in(oracle);
    for (std::string tag, poste, amount; in >> tag && tag == "P" && in >> poste >> amount;) amounts.emplace(poste, amount);
  }
  ASSERT_GT(amounts.size(), 20u) << oracle;
  const struct {
    const char* poste;
    const char* what;
  } boxes[] = {{"068", "clients"}, {"084", "disponibilit\xE9s"}, {"110", "total g\xE9n\xE9ral brut"},
               {"166", "fournisseurs"}, {"180", "total du passif"}};
  for (const auto& b : boxes) {
    SCOPED_TRACE(b.what);
    ASSERT_EQ(amounts.count(b.poste), 1u);
    const std::string a = Printed(amounts[b.poste]);
    if (a == "0.00") continue;
    EXPECT_NE(page1.find(" " + a), std::string::npos) << b.poste << " " << a << "\n" << page1;
    EXPECT_EQ(window->Report().GetCodeValue(b.poste), std::string(14 - a.size(), ' ') + a);
  }
  EXPECT_NE(amounts["110"], "0.00");
  EXPECT_EQ(window->Report().GetCodeValue("5"), "?BLV:5  ?");

  // "Liste suivante" at the end of the balance sheet: the annex.
  preview->CmAllPages();
  gui::ProcessPendingMessages();
  preview->CmNextList();
  gui::ProcessPendingMessages();
  preview = CurrentPreviewWindow;
  ASSERT_NE(preview, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(preview->GetCaption().rfind("Visualisation: Annexe Bilan", 0), 0u) << preview->GetCaption();
  EXPECT_TRUE(window->AnnexFlag);
  EXPECT_EQ(window->AnnexReportCode.substr(0, 10), "EEA-2033  ");
  const std::string annex = PageText(preview, 1);
  EXPECT_NE(annex.find("Annexe: d\xE9tail des cases 2033"), std::string::npos) << annex;
  EXPECT_NE(annex.find("Total case"), std::string::npos) << annex;
  test_support::Screenshot(preview->OuterWidget(), "balances", "edition_annexe_page1");

  // The preview ends: the choice comes back; abandoning it closes the window.
  std::string again;
  QueueEditionChoice(gui::IDCANCEL, 0, 0, &again);
  preview->CmQuitVisu();
  gui::ProcessPendingMessages();
  EXPECT_EQ(again, "101001|Bilan 'REEL SIMPLIFIE 2033'");
  EXPECT_EQ(Window(), nullptr);
  EXPECT_EQ(GetDossierState(), '2');
  EXPECT_TRUE(OpenDossierExclusive(true)) << "the dossier was given back";
  EXPECT_TRUE(ReleaseDossierExclusive());
}

// ---- the printout: both parts in one job

TEST_F(SheetEditionTest, ThePrintoutOfTheWholePutsTheBalanceSheetAndItsAnnexInOnePdf) {
  InitialiseAndCompute("S  ");
  const std::string pdf = test_support::ArtefactPath("balances", "edition-bilan-2033.pdf");
  fs::remove(pdf);
  gui::ModalSeam::QueuePrintSetupAnswer(gui::IDOK, pdf);
  gui::SendCommand(CommandWindow->GetHandle(), 20207);
  gui::ProcessPendingMessages();

  QueueEditionChoice(gui::IDOK, 1, 0);   // "Liste sur l'Imprimante", "Tout"
  std::string again;
  QueueEditionChoice(gui::IDCANCEL, 0, 0, &again);
  Run(20019);
  ASSERT_TRUE(fs::exists(pdf)) << test_support::ShownTexts();
  EXPECT_EQ(again.substr(0, 6), "011001") << "the choice comes back on the printer";
  EXPECT_EQ(Window(), nullptr);
  EXPECT_FALSE(PrintRunFlag);

  // pdftotext writes a file beside the PDF (UTF-8), read back whole.
  const std::string out = pdf + ".txt";
  Tool({"pdftotext", "-layout", "-enc", "UTF-8", pdf, out});
  std::string utf8;
  ASSERT_TRUE(platform::ReadWholeFile(out, utf8));
  fs::remove(out);
  const std::string text = std::regex_replace(utf8, std::regex(" +"), " ");
  EXPECT_GE(std::count(text.begin(), text.end(), '\f'), 3) << "pages of the balance sheet, then of the annex";
  EXPECT_NE(text.find("2033-A Bilan simplifi\xC3\xA9 - Actif"), std::string::npos) << text;
  EXPECT_NE(text.find("Annexe: d\xC3\xA9tail des cases 2033"), std::string::npos) << text;
  // The box 110 (total assets, gross) carries its amount, as C70 holds it.
  std::smatch m;
  const std::string oracle = C70Oracle();
  ASSERT_TRUE(std::regex_search(oracle, m, std::regex("P 110 (-?[0-9.]+)"))) << oracle;
  EXPECT_NE(text.find(Printed(m[1].str())), std::string::npos) << m[1] << "\n" << text;
}

// The printouts over an amount that does not read, or a box computed from one: an annex amount of
// C10 (2 500,00 read by "abc", or "12345x7.89", once read as 12 345,00), and a line of the books
// counted as zero by the computation. The edition prints into the PDF after one box naming the
// record, shown before any page is printed; the annex's amount is not read as a number.
TEST_F(SheetEditionTest, ThePrintoutsOverAnAmountThatDoesNotReadWarnOnceBeforePrinting) {
  InitialiseAndCompute("S  ");
  CloseAllTables();
  // The first annex record with an account amount, and the first general line with an amount.
  const test_support::RawRecords c10(std::string(PathC10()) + ".dbf"), c50(std::string(PathC50()) + ".dbf");
  std::uint32_t annex = 0, line = 0;
  for (std::uint32_t n = 1; n <= c10.Count() && annex == 0; ++n) {
    const std::string r = c10.Record(n);
    if (r[0] != '*' && c10.Field(r, "GCLE") == "j" && !Trimmed(c10.Field(r, "GZONE2").substr(51, 14)).empty())
      annex = n;
  }
  for (std::uint32_t n = 1; n <= c50.Count() && line == 0; ++n) {
    const std::string r = c50.Record(n);
    if (r[0] != '*' && c50.Field(r, "BCLE") == "Z" && !Trimmed(c50.Field(r, "BMONTANTE")).empty()) line = n;
  }
  ASSERT_NE(annex, 0u);
  ASSERT_NE(line, 0u);
  const std::string annexText = c10.Field(c10.Record(annex), "GZONE2");
  const std::string lineAmount = c50.Field(c50.Record(line), "BMONTANTE");
  const struct Case {
    const char* what;
    int part;  // 1 the balance sheet, 2 the annex
    std::string annexAmount, lineAmount, named;
  } cases[] = {
      {"the annex's amount abc", 2, "           abc", lineAmount, "enregistrement " + std::to_string(annex) + ", champ GZONE2"},
      {"the annex's amount 12345x7.89", 2, "    12345x7.89", lineAmount,
       "enregistrement " + std::to_string(annex) + ", champ GZONE2"},
      {"a line of the books", 1, annexText.substr(51, 14), "           abc", "C50 enregistrement " + std::to_string(line)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CloseAllTables();
    std::string damaged = annexText;
    damaged.replace(51, 14, c.annexAmount);
    c10.Put(annex, "GZONE2", damaged);
    c50.Put(line, "BMONTANTE", c.lineAmount);
    const std::string pdf = test_support::ArtefactPath("balances", std::string("edition-unread-") +
                                                                      std::to_string(&c - cases) + ".pdf");
    fs::remove(pdf);
    gui::ModalSeam::QueuePrintSetupAnswer(gui::IDOK, pdf);
    gui::SendCommand(CommandWindow->GetHandle(), 20207);
    gui::ProcessPendingMessages();
    gui::ModalSeam::Reset();
    std::vector<int> pages;
    gui::ModalSeam::BuildMessageBoxes([&pages](QWidget*) { pages.push_back(ProgramPrinter()->PagesPrinted()); });
    QueueEditionChoice(gui::IDOK, 1, c.part);
    QueueEditionChoice(gui::IDCANCEL, 0, 0);
    SetDossierState(' ');
    Run(20019);
    for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
    ASSERT_TRUE(fs::exists(pdf)) << test_support::ShownTexts();
    EXPECT_EQ(Window(), nullptr);
    std::vector<gui::ShownModal> warnings;
    std::vector<int> before;
    int boxes = 0;
    for (const gui::ShownModal& s : gui::ModalSeam::Shown()) {
      if (s.kind != gui::ModalKind::MessageBox) continue;
      if (s.caption == "ATTENTION - Montants illisibles") {
        warnings.push_back(s);
        before.push_back(boxes < static_cast<int>(pages.size()) ? pages[static_cast<std::size_t>(boxes)] : -1);
      }
      ++boxes;
    }
    const std::string shown = test_support::ShownTexts();
    gui::ModalSeam::Reset();
    ASSERT_EQ(warnings.size(), 1u) << shown;
    EXPECT_NE(warnings[0].text.find(c.named), std::string::npos) << warnings[0].text;
    EXPECT_EQ(before, std::vector<int>{0}) << "the warning comes before the first page is printed";
    if (c.part == 2 && c.annexAmount == "           abc") test_support::ScreenshotMessage(warnings[0], "balances", "edition-annex-unread");
  }
  // The annex's amounts read as every amount: "abc" and "12345x7.89" do not read, and count as 0.
  for (const char* text : {"           abc", "    12345x7.89"}) {
    std::string t = annexText;
    t.replace(51, 14, text);
    const balances::AnnexRecord r = balances::ParseAnnexRecord("068068CDUPONT ", "", t);
    EXPECT_FALSE(r.readable) << text;
    EXPECT_EQ(r.amount, 0.0) << text;
  }
  EXPECT_TRUE(balances::ParseAnnexRecord("068068CDUPONT ", "", annexText).readable);
}

// ---- the euro question

TEST_F(SheetEditionTest, TheEuroQuestionHasItsDefaultByTheDossierAndNoneWhenItIsInEurosOnly) {
  InitialiseAndCompute("S  ");
  const struct {
    bool euroMain;
    const char* constant039;
    int answer;          // 0: no question expected
    int defaultButton;
    int currency;
    const char* unit;
  } cases[] = {
      {true, "OUI", 0, 0, 1, "Euros"},
      {true, "NON", gui::IDNO, gui::IDYES, 0, "Francs"},
      {true, "NON", gui::IDYES, gui::IDYES, 1, "Euros"},
      {false, "NON", gui::IDNO, gui::IDNO, 0, "Francs"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.constant039) + (c.euroMain ? " euro" : " franc") + " " + c.unit);
    gui::ModalSeam::Reset();
    TheDossierRecord.SetEuroIsMain(c.euroMain);
    TheDossierRecord.SetConstant(39, c.constant039);
    SetDossierState(' ');
    QueueEditionChoice(gui::IDOK, 0, 1);  // the balance sheet alone
    if (c.answer != 0) gui::ModalSeam::QueueMessageBoxAnswer(c.answer);
    Run(20510);
    TWEtaBroBilanEdition* window = Window();
    ASSERT_NE(window, nullptr) << test_support::ShownTexts();
    const gui::ShownModal* question = nullptr;
    for (const auto& s : gui::ModalSeam::Shown())
      if (s.text.find("D\xE9sirez-vous cet Etat en Euros ?") != std::string::npos) question = &s;
    EXPECT_EQ(question != nullptr, c.answer != 0) << test_support::ShownTexts();
    if (question != nullptr) {
      EXPECT_EQ(question->defaultButton, c.defaultButton);
      EXPECT_EQ(question->caption, "Edition du Bilan de " + std::string(DossierCode));
      if (!c.euroMain) test_support::ScreenshotMessage(*question, "balances", "edition_euro_question");
    }
    EXPECT_EQ(window->CurrencyIndex, c.currency);
    ASSERT_NE(CurrentPreviewWindow, nullptr);
    EXPECT_EQ(CurrentPreviewWindow->Mode(), 0) << "the balance sheet alone has no next list";
    EXPECT_NE(PageText(CurrentPreviewWindow, 1).find(std::string("Montants en ") + c.unit), std::string::npos);
    QueueEditionChoice(gui::IDCANCEL, 0, 0);
    CurrentPreviewWindow->CmQuitVisu();
    gui::ProcessPendingMessages();
    EXPECT_EQ(Window(), nullptr);
  }
}

// ---- refusals and the tool bar's commands

TEST_F(SheetEditionTest, AC70OfAnotherModelOrADossierHeldElsewhereOpensNoEdition) {
  InitialiseAndCompute("S  ");
  // C70 of model S under constant R: message 1706, the window closes.
  TheDossierRecord.SetConstant(4, "R  ");
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Run(20017);
  EXPECT_NE(test_support::ShownTexts().find("Le Bilan n'est pas Initialis\xE9"), std::string::npos)
      << test_support::ShownTexts();
  EXPECT_EQ(Window(), nullptr);
  EXPECT_EQ(GetDossierState(), '2');

  // Another station has the dossier: its message, no window.
  TheDossierRecord.SetConstant(4, "S  ");
  gui::ModalSeam::Reset();
  {
    Table other;
    ASSERT_TRUE(other.OpenShared(DossierTablePath()));
    SetDossierState(' ');
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    Run(20510);
    EXPECT_NE(test_support::ShownTexts().find("IMPOSSIBLE d'ouvrir le dossier en cours de mani\xE8re EXCLUSIVE"),
              std::string::npos)
        << test_support::ShownTexts();
    EXPECT_EQ(Window(), nullptr);
  }

  // A C70 damaged on disk: the engine's error is said (not a silent close), no window, the
  // dossier given back.
  {
    gui::ModalSeam::Reset();
    CloseAllTables();
    const std::string c70 = std::string(PathC70()) + ".dbf";
    const std::string kept = c70 + ".kept";
    fs::copy_file(c70, kept, fs::copy_options::overwrite_existing);
    fs::resize_file(c70, 20);
    SetDossierState(' ');
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    Run(20510);
    EXPECT_NE(test_support::ShownTexts().find("Erreur BDE"), std::string::npos) << test_support::ShownTexts();
    EXPECT_EQ(Window(), nullptr);
    EXPECT_EQ(fs::file_size(c70), 20u);
    EXPECT_EQ(GetDossierState(), '2');
    EXPECT_TRUE(OpenDossierExclusive(true)) << "the dossier was given back";
    EXPECT_TRUE(ReleaseDossierExclusive());
    fs::rename(kept, c70);
  }

  // Each of the tool bar's buttons opens the edition on the dossier's model.
  for (unsigned id : {20017u, 20019u, 20021u}) {
    SCOPED_TRACE(id);
    gui::ModalSeam::Reset();
    SetDossierState(' ');
    std::string seen;
    QueueEditionChoice(gui::IDCANCEL, 0, 0, &seen);
    Run(id);
    EXPECT_EQ(seen, "101001|Bilan 'REEL SIMPLIFIE 2033'") << test_support::ShownTexts();
    EXPECT_EQ(Window(), nullptr);
  }
}

// ---- the report's walks, without a window

struct WalkedLine {
  char letter;
  std::string code, calc, label, poste, carried;
  bool zero;
};

std::vector<WalkedLine> Walk(balances::SheetEditionReport& r) {
  std::vector<WalkedLine> out;
  if (!r.PrepareReport()) return out;
  for (int guard = 0; guard < 100000; ++guard) {
    r.ComputeLine();
    using namespace balances::sheet_var;
    WalkedLine w{r.lineType.empty() ? '?' : r.lineType[0], std::string(RTrim(r.fields.Value(kCode).c_str())),
                 r.fields.Value(kCalc), r.fields.Value(kLabel), std::string(RTrim(r.fields.Value(kABreak).c_str())),
                 r.fields.Value(kACarried), true};
    for (int c = 1; c <= 4; ++c) w.zero = w.zero && r.fields.GetFieldNumber(Amount(c)) == 0;
    out.push_back(w);
    if (!r.NextRecord()) break;
    r.ClassifyLine();
  }
  EXPECT_EQ(r.lineType.substr(0, 1), "Z");
  return out;
}

TEST_F(SheetEditionTest, TheWalksLeaveOutTheLinesWithoutAmountsAndBreakOnCodesAndPostes) {
  InitialiseAndCompute("R  ");
  CloseAllTables();
  Table c70, c10;
  ASSERT_TRUE(c70.OpenExclusive(PathC70(), "C70CODE"));
  ASSERT_TRUE(c10.OpenExclusive(PathC10(), "C10CODE"));
  balances::SheetEditionReport report(c70, c10);
  report.currency = 1;

  const std::vector<WalkedLine> all = Walk(report);
  std::size_t printable = 0;
  for (const balances::SheetLine& l : report.Lines()) printable += balances::PrintableLine(l) ? 1 : 0;
  EXPECT_EQ(all.size(), printable) << "with the empty lines every C and T line prints";
  EXPECT_EQ(std::string(RTrim(report.fields.Value(balances::sheet_var::kTitle).c_str())), std::string("Bilan 'REEL NORMAL 2050'"));

  report.withEmptyLines = false;
  const std::vector<WalkedLine> kept = Walk(report);
  EXPECT_LT(kept.size(), all.size());
  ASSERT_FALSE(kept.empty());
  EXPECT_NE(kept.front().letter, 'A');
  EXPECT_NE(kept.front().letter, 'R') << "the first line never breaks";
  for (std::size_t i = 0; i < kept.size(); ++i) {
    const WalkedLine& w = kept[i];
    SCOPED_TRACE(w.code + " " + w.calc + " " + w.label);
    EXPECT_FALSE(w.calc[0] == 'C' && w.calc[1] != ' ' && w.zero) << "a computed line without amounts";
    if (i == 0) continue;
    const WalkedLine& before = kept[i - 1];
    EXPECT_FALSE((w.label[0] == '-' || w.label[0] == '_') && (before.label[0] == '-' || before.label[0] == '_'));
    EXPECT_EQ(w.letter == 'R', w.code[0] != before.code[0]);
  }

  // The annex: "A" first, "S" within a poste, "R" when it changes; the poste is its break value.
  report.annex = true;
  const std::vector<WalkedLine> annex = Walk(report);
  ASSERT_GT(annex.size(), 10u);
  EXPECT_EQ(annex.front().letter, 'A');
  std::size_t breaks = 0;
  for (std::size_t i = 1; i < annex.size(); ++i) {
    EXPECT_EQ(annex[i].letter == 'R', annex[i].poste != annex[i - 1].poste) << i;
    breaks += annex[i].letter == 'R' ? 1 : 0;
  }
  EXPECT_GT(breaks, 5u);
}

// A model whose lines do not fit C70 (a damaged amount wider than its field): the copy is
// refused line by line and the initialisation says so instead of "done".
TEST_F(SheetEditionTest, TheInitialisationReportsAModelLineThatC70Refused) {
  InstallBalanceSheetCommands();
  const std::string model = ProgramFolder + "clbilana.dbf";
  fs::copy_file(ProgramFolder + "clbilans.dbf", model, fs::copy_options::overwrite_existing);
  // The header line gets the type "A"; the amount of column 1 of the first record is filled
  // with nines over its whole width, which C70's field of the same width cannot hold with its
  // two decimals.
  const std::string script = "path = r'" + model + "'\n" + R"(
import struct
from dbfread import DBF
t = DBF(path, encoding='cp1252', load=True)
first = min(range(len(t.records)), key=lambda i: t.records[i]['BLN'])
with open(path, 'r+b') as f:
    head = f.read(32)
    hlen, rlen = struct.unpack('<HH', head[8:12])
    fields, off = [], 1
    while True:
        d = f.read(32)
        if d[0] == 0x0D: break
        fields.append((d[:11].split(b'\0')[0].decode(), off, d[16]))
        off += d[16]
    pos = {n: (o, w) for n, o, w in fields}
    o, w = pos['BLIB']
    f.seek(hlen + first * rlen + o + 46); f.write(b'A')
    o, w = pos['BMTF1']
    f.seek(hlen + 0 * rlen + o); f.write(b'9' * w)
print('ok')
)";
  ASSERT_EQ(test_support::RunPythonScript(script, true), "ok\n");
  TheDossierRecord.SetConstant(4, "A  ");
  SetDossierState(' ');
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Run(20508);
  EXPECT_NE(test_support::ShownTexts().find("Des lignes du mod\xE8le n'ont pas \xE9t\xE9 copi\xE9" "es"),
            std::string::npos)
      << test_support::ShownTexts();
  EXPECT_EQ(test_support::ShownTexts().find("maintenant initialis\xE9"), std::string::npos);
  EXPECT_EQ(GetDossierState(), '2');
}

// The annex alone with no annex record: the preview says there is nothing and the window
// closes; the printout says the same and the choice comes back.
TEST_F(SheetEditionTest, AnAnnexWithoutRecordsClosesThePreviewAndBringsThePrintoutsChoiceBack) {
  InitialiseAndCompute("S  ");
  {
    Table c10;
    ASSERT_TRUE(c10.OpenExclusive(PathC10(), "C10CODE"));
    ASSERT_TRUE(balances::DeleteAnnexRecords(c10));
  }
  QueueEditionChoice(gui::IDOK, 0, 2);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Run(20510);
  EXPECT_NE(test_support::ShownTexts().find("Il n'y a rien dans cet Etat"), std::string::npos)
      << test_support::ShownTexts();
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(Window(), nullptr);

  gui::ModalSeam::Reset();
  SetDossierState(' ');
  QueueEditionChoice(gui::IDOK, 1, 2);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  std::string again;
  QueueEditionChoice(gui::IDCANCEL, 0, 0, &again);
  Run(20510);
  EXPECT_NE(test_support::ShownTexts().find("Il n'y a rien dans cet Etat"), std::string::npos);
  EXPECT_EQ(again.substr(0, 6), "010011") << "the choice comes back: printer, annex only";
  EXPECT_EQ(Window(), nullptr);
}

// ---- both models on a dossier at its year's end

class SheetYearEndTest : public SheetEditionTest {
 protected:
  bool YearEnd() const override { return true; }
};

const balances::SheetLine* NoteLine(const std::vector<balances::SheetLine>& lines, const std::string& note) {
  for (const balances::SheetLine& l : lines)
    if (l.note == note) return &l;
  return nullptr;
}

// The balance sheet's pages as pdftotext lays them out, read as a reader of the form checks it:
// every asset line shows gross, depreciation, net N and net N-1 with net = gross - depreciation,
// every liability line N and N-1; each total is the sum of the lines above it since the heading
// or the total before, each "Total g\xE9n\xE9ral" the sum of every line of its side, and both
// sides' general totals are equal in each year. What is wrong, a line each ("" when nothing).
std::string PrintedSheetFaults(const std::string& layoutText) {
  struct Side {
    int columns = 0;
    std::vector<long long> group, all, general;
  } assets, liabilities;
  assets.columns = 4;
  liabilities.columns = 2;
  Side* side = nullptr;
  std::string faults;
  int rows = 0;
  // An amount grouped whole: its groups of three digits apart by one blank, the columns by more.
  const std::regex amount("(-?[0-9]{1,3}(?: [0-9]{3})*)\\.([0-9][0-9])(?=\\s|$)");
  std::istringstream in(layoutText);
  for (std::string line; std::getline(in, line);) {
    if (line.find("Compte de r\xC3\xA9sultat") != std::string::npos) side = nullptr;
    if (line.find("- Actif") != std::string::npos) side = &assets;
    if (line.find("Passif") != std::string::npos) side = &liabilities;
    if (side == nullptr) continue;
    std::vector<long long> cents;
    for (auto it = std::sregex_iterator(line.begin(), line.end(), amount); it != std::sregex_iterator(); ++it) {
      const long long units = std::stoll(std::regex_replace((*it)[1].str(), std::regex(" "), ""));
      const long long c = std::stoll((*it)[2].str());
      cents.push_back(units < 0 || (*it)[1].str()[0] == '-' ? units * 100 - c : units * 100 + c);
    }
    const std::string label = std::regex_replace(line, std::regex("^\\s+|\\s{2,}.*$"), "");
    if (cents.empty()) {
      // A heading opens a group of lines.
      if (!label.empty()) side->group.assign(static_cast<std::size_t>(side->columns), 0);
      continue;
    }
    // An asset without depreciation (capital not called, charges spread) shows none.
    if (side == &assets && cents.size() == 3) cents.insert(cents.begin() + 1, 0);
    if (static_cast<int>(cents.size()) != side->columns) {
      faults += "'" + line + "': " + std::to_string(cents.size()) + " amounts\n";
      continue;
    }
    ++rows;
    if (side->all.empty()) side->all.assign(static_cast<std::size_t>(side->columns), 0);
    if (side->group.empty()) side->group.assign(static_cast<std::size_t>(side->columns), 0);
    if (side == &assets && cents[0] - cents[1] != cents[2]) faults += "'" + line + "': net is not gross less depreciation\n";
    const bool total = label.rfind("Total", 0) == 0 || label.rfind("TOTAL", 0) == 0;
    if (!total) {
      for (std::size_t c = 0; c < cents.size(); ++c) {
        side->group[c] += cents[c];
        side->all[c] += cents[c];
      }
      continue;
    }
    const bool general = label.find("n\xC3\xA9ral") != std::string::npos || label.find("NERAL") != std::string::npos;
    const std::vector<long long>& want = general ? side->all : side->group;
    for (std::size_t c = 0; c < cents.size(); ++c)
      if (cents[c] != want[c])
        faults += "'" + line + "': column " + std::to_string(c + 1) + " " + std::to_string(cents[c]) +
                  ", the lines add up to " + std::to_string(want[c]) + "\n";
    if (general) side->general = cents;
    side->group.assign(cents.size(), 0);
  }
  if (rows < 20) faults += "only " + std::to_string(rows) + " lines of amounts read\n";
  if (assets.general.size() != 4 || liabilities.general.size() != 2) return faults + "no general total on a side\n";
  if (assets.general[2] != liabilities.general[0]) faults += "the sides differ in year N\n";
  if (assets.general[3] != liabilities.general[1]) faults += "the sides differ in year N-1\n";
  if (assets.general[2] == 0 || assets.general[3] == 0) faults += "a general total is 0\n";
  return faults;
}

// Every box of both models, current and previous year, is what an independent computation over
// the tables read by python3-dbfread finds; the previous-year boxes are made again from the
// previous year's balances through the current year's parameters, so that a box fed with
// another line's accounts shows. No box is shared by two lines. The depreciation is positive
// and taken from the gross on every asset line; both columns of both forms balance. Page 1 of
// each edition is kept as a picture.
TEST_F(SheetYearEndTest, BothModelsBalanceInBothColumnsWithTheirDepreciationPositive) {
  const struct {
    const char* constant;
    char model;
    const char *assets, *liabilities, *picture, *heading;
    int layout;  // the row of its layout among "EE-2033", "EE-2050"
  } models[] = {{"S  ", 's', "2033-A 110", "2033-A 180", "edition_2033_year_end_page1", "2033-A Bilan simplifi\xE9", 0},
                {"R  ", 'r', "2050 CO", "2051 EE", "edition_2050_year_end_page1", "2050 Bilan - Actif", 1}};
  SetProgramOption(12, 'O');  // the layout chosen in its dialog
  for (const auto& m : models) {
    SCOPED_TRACE(m.constant);
    InitialiseAndCompute(m.constant);
    std::vector<balances::SheetLine> lines;
    {
      Table c70;
      ASSERT_TRUE(c70.OpenShared(PathC70(), "C70CODE", true));
      ASSERT_TRUE(balances::LoadSheetLines(c70, lines));
    }
    // No poste on two lines or two columns.
    std::map<std::string, int> uses;
    for (const balances::SheetLine& l : lines)
      for (const std::string& p : l.postes)
        if (!p.empty()) ++uses[p];
    for (const auto& [poste, count] : uses) EXPECT_EQ(count, 1) << poste;

    const std::string source = std::string(MERLON_SOURCE_DIR) + "/src/resources/models/";
    const std::string first = TheDossierRecord.DateStored(DossierRecord::DateField::YearStart);
    const std::string last = TheDossierRecord.DateStored(DossierRecord::DateField::YearEnd);
    const std::string tables = folder_ + "%sbs.dbf";
    const std::string script = "import sys\nsys.argv = ['x', r'" + tables + "', r'" + source + "cpbilan" + m.model +
                               ".csv', '" + first + "', '" + first + "', '" + last + "', r'" + source + "clbilan" +
                               m.model + ".csv']\nexec(open(r'" + MERLON_SOURCE_DIR +
                               "/tests/reports/balances/sheet_oracle.py').read())\n";
    const std::string oracle = test_support::RunPythonScript(script, true);
    std::map<std::string, balances::Amounts> postes;
    for (const balances::SheetLine& l : lines)
      for (std::size_t c = 0; c < 4; ++c)
        if (!l.postes[c].empty()) postes[l.postes[c]] = l.cents[c];
    std::istringstream in(oracle);
    int current = 0, prior = 0;
    for (std::string tag; in >> tag;) {
      ASSERT_NE(tag, "ERROR") << oracle;
      ASSERT_NE(tag, "UNPLACED") << oracle;
      const bool isPrior = tag == "PRIOR";
      std::string poste = tag;
      if (isPrior) in >> poste;
      balances::Amounts want{};
      in >> want[0] >> want[1];
      if (poste == "RESULT") continue;
      ++(isPrior ? prior : current);
      ASSERT_EQ(postes.count(poste), 1u) << poste;
      EXPECT_EQ(postes[poste][1], want[1]) << (isPrior ? "previous year " : "") << poste;
    }
    EXPECT_GT(current, 20);
    EXPECT_GE(prior, 10);

    // The edition's totals: depreciation positive and taken from the gross; both columns balance.
    balances::TotalsPass(lines, 1);
    int depreciated = 0;
    for (const balances::SheetLine& l : lines) {
      if (l.section != "A" || l.postes[1].empty()) continue;
      SCOPED_TRACE(l.note);
      EXPECT_GE(l.cents[1][1], 0);
      depreciated += l.cents[1][1] > 0;
      if (l.cents[0][1] != 0 || l.cents[1][1] != 0) EXPECT_EQ(l.cents[0][1] - l.cents[1][1], l.cents[2][1]);
    }
    EXPECT_GT(depreciated, 0);
    const balances::SheetLine* assets = NoteLine(lines, m.assets);
    const balances::SheetLine* liabilities = NoteLine(lines, m.liabilities);
    ASSERT_TRUE(assets != nullptr && liabilities != nullptr);
    EXPECT_NE(assets->cents[2][1], 0);
    EXPECT_NE(assets->cents[3][1], 0);
    EXPECT_EQ(assets->cents[2][1], liabilities->cents[2][1]) << "current year";
    EXPECT_EQ(assets->cents[3][1], liabilities->cents[3][1]) << "previous year";

    // Page 1 of the balance sheet alone, with the layout of its form.
    QueueEditionChoice(gui::IDOK, 0, 1);
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [row = m.layout](gui::Window& w) {
      static_cast<gui::Dialog&>(w).SetItemSel(choice_ids::kLayouts, row);
    });
    Run(20510);
    TWVisuWindow* preview = CurrentPreviewWindow;
    ASSERT_NE(preview, nullptr) << test_support::ShownTexts();
    const std::string page1 = PageText(preview, 1);
    EXPECT_NE(page1.find(m.heading), std::string::npos) << page1;
    test_support::Screenshot(preview->OuterWidget(), "balances", m.picture);
    QueueEditionChoice(gui::IDCANCEL, 0, 0);
    preview->CmQuitVisu();
    gui::ProcessPendingMessages();
    ASSERT_EQ(Window(), nullptr);
    SetDossierState(' ');
    gui::ModalSeam::Reset();

    // The balance sheet alone printed with the same layout, its pages read back.
    const std::string pdf = test_support::ArtefactPath("balances", std::string(m.picture) + ".pdf");
    fs::remove(pdf);
    gui::ModalSeam::QueuePrintSetupAnswer(gui::IDOK, pdf);
    gui::SendCommand(CommandWindow->GetHandle(), 20207);
    gui::ProcessPendingMessages();
    QueueEditionChoice(gui::IDOK, 1, 1);
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [row = m.layout](gui::Window& w) {
      static_cast<gui::Dialog&>(w).SetItemSel(choice_ids::kLayouts, row);
    });
    QueueEditionChoice(gui::IDCANCEL, 0, 0);
    Run(20510);
    ASSERT_TRUE(fs::exists(pdf)) << test_support::ShownTexts();
    const std::string out = pdf + ".txt";
    Tool({"pdftotext", "-layout", "-enc", "UTF-8", pdf, out});
    std::string printed;
    ASSERT_TRUE(platform::ReadWholeFile(out, printed));
    EXPECT_EQ(PrintedSheetFaults(printed), "") << printed;
    ASSERT_EQ(Window(), nullptr);
    SetDossierState(' ');
    gui::ModalSeam::Reset();
  }
}

// A dossier whose balance sheet was initialised from the models as they were before every asset
// line had its net box and every total its boxes N and N-1, then computed: both editions print
// every box its C70 carries, to the cent, leave blank the boxes the models gained since (never a
// "?BLV:...?"), and say once a window that a new initialisation fills them. A code that no
// version of the model carries still shows as "?BLV:...?".
TEST_F(SheetYearEndTest, ABalanceSheetInitialisedFromThePreviousModelsPrintsItsBoxesAndLeavesTheNewOnesBlank) {
  const std::string previous = ProgramFolder + "previous/";
  fs::create_directories(previous);
  const std::string sources = std::string(MERLON_SOURCE_DIR);
  const struct {
    const char* constant;
    char model;
    int layout;  // the row of its layout among "EE-2033", "EE-2050"
    const char* file;
    const char* picture;
  } models[] = {{"S  ", 's', 0, "C-Etat-EE-2033.txt", "edition_2033_previous_model_page1"},
                {"R  ", 'r', 1, "C-Etat-EE-2050.txt", "edition_2050_previous_model_page1"}};
  SetProgramOption(12, 'O');  // the layout chosen in its dialog
  for (const auto& m : models) {
    SCOPED_TRACE(m.constant);
    const std::string l(1, m.model);
    std::string message;
    ASSERT_TRUE(balances::CompileModel(sources + "/tests/reports/balances/data/clbilan" + l + "-previous.csv",
                                       sources + "/src/resources/models/cpbilan" + l + ".csv", previous, m.model,
                                       &message))
        << message;
    InitialiseAndCompute(m.constant, previous);

    // The preview of the balance sheet, then again from the choice that comes back when it ends:
    // the notice the first time only.
    std::string pages;
    SetDossierState(' ');
    for (int run = 0; run < 2; ++run) {
      SCOPED_TRACE(run);
      gui::ModalSeam::Reset();
      QueueEditionChoice(gui::IDOK, 0, 1);
      gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [row = m.layout](gui::Window& w) {
        static_cast<gui::Dialog&>(w).SetItemSel(choice_ids::kLayouts, row);
      });
      if (run == 0) {
        gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
        Run(20510);
      } else {
        CurrentPreviewWindow->CmQuitVisu();
        gui::ProcessPendingMessages();
      }
      TWEtaBroBilanEdition* window = Window();
      ASSERT_NE(window, nullptr) << test_support::ShownTexts();
      int notices = 0;
      for (const auto& s : gui::ModalSeam::Shown())
        if (s.text.find("version pr\xE9" "c\xE9" "dente de son mod\xE8le") != std::string::npos) {
          ++notices;
          EXPECT_EQ(s.caption, "Edition du Bilan de " + std::string(DossierCode));
          if (m.model == 's') test_support::ScreenshotMessage(s, "balances", "edition_previous_model_notice");
        }
      EXPECT_EQ(notices, run == 0 ? 1 : 0) << test_support::ShownTexts();
      TWVisuWindow* preview = CurrentPreviewWindow;
      ASSERT_NE(preview, nullptr) << test_support::ShownTexts();
      if (run == 0) test_support::Screenshot(preview->OuterWidget(), "balances", m.picture);
      preview->CmAllPages();
      for (int i = 0; i < 20; ++i) gui::ProcessPendingMessages();
      pages.clear();
      for (int p = 1; p <= preview->Context().store.PageCount(); ++p) pages += PageText(preview, p) + "\n";

      // The new boxes blank, an unknown code named.
      balances::SheetEditionReport& report = window->Report();
      ASSERT_FALSE(report.PostesOnlyInModel().empty());
      for (const std::string& code : report.PostesOnlyInModel()) {
        EXPECT_EQ(report.GetCodeValue(code), std::string(14, ' ')) << code;
        EXPECT_EQ(report.GetCodeLabel(code), "") << code;
      }
      EXPECT_EQ(report.GetCodeValue("ZZ9"), "?BLV:ZZ9?");
    }
    EXPECT_EQ(pages.find("?BL"), std::string::npos) << pages;

    // Every box the layout prints and C70 carries shows its amount, as C70 holds it after the
    // edition's totals.
    std::string layout;
    ASSERT_TRUE(platform::ReadWholeFile(sources + "/src/resources/reports/" + m.file, layout));
    const std::string oracle = C70Oracle();
    EXPECT_NE(oracle.find("BAD \n"), std::string::npos) << oracle;
    std::istringstream in(oracle);
    int shown = 0;
    for (std::string tag, poste, amount; in >> tag && tag == "P" && in >> poste >> amount;) {
      if (amount == "0.00") continue;
      if (layout.find("[BLV:" + poste + "]") == std::string::npos &&
          layout.find("[BLV!" + poste + "]") == std::string::npos)
        continue;
      EXPECT_NE(pages.find(" " + Printed(amount)), std::string::npos) << poste << " " << amount;
      ++shown;
    }
    EXPECT_GT(shown, 10);

    QueueEditionChoice(gui::IDCANCEL, 0, 0);
    CurrentPreviewWindow->CmQuitVisu();
    gui::ProcessPendingMessages();
    ASSERT_EQ(Window(), nullptr);
    SetDossierState(' ');
    gui::ModalSeam::Reset();
  }
}

}  // namespace
