// The trial balances' window and form driven as a user drives them: 20504 opens the pair, each
// kind gives its sequence of lists, "Liste suivante" walks them, the refusals and the empty list
// say why, the general balance's totals are the general ledger's, the statutory entries file
// asks before it is written, the CEGID export asks its dossier code, a damaged table is said.
#include "balance_window_fixture.h"

#include <fstream>
#include <sstream>

#include "break_letters.h"
#include "data/session.h"
#include "data/table.h"
#include "framework/fmt_saisie.h"
#include "reports/balances/core/fec_export.h"
#include "reports/balances/core/trial_balance_variables.h"
#include "reports/engine/visu_window.h"
#include "reports/ledgers/core/general_ledgers.h"
#include "reports/ledgers/core/limits_checks.h"
#include "shell/handlers.h"

namespace balances_window_test {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The file the run's export wrote, as the box that offers it names it ("" when none was offered).
std::string OfferedExportFile(const std::string& folder) {
  for (const auto& shown : gui::ModalSeam::Shown()) {
    if (shown.caption != "Fichier d'exportation") continue;
    std::istringstream lines(shown.text);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind(folder, 0) == 0) return line;
  }
  return "";
}

TEST_F(BalanceWindowTest, TheCommandOpensTheWindowAndItsFormAndASecondCommandBringsTheFormBack) {
  EXPECT_TRUE(HasCommandWork(20504));
  const int before = Children();
  OpenPair();
  EXPECT_EQ(Children(), before + 2);
  EXPECT_EQ(form_->GetCaption(), "Balances des Comptes");
  EXPECT_EQ(window_->GetCaption(), "Balances des Comptes");
  EXPECT_EQ(Active(), form_);
  gui::ProcessPendingMessages();
  test_support::Screenshot(form_->OuterWidget(), "balances", "form-balances");
  test_support::Screenshot(window_->OuterWidget(), "balances", "window-balances");
  window_->BringToTop();
  gui::ProcessPendingMessages();
  Run(20504);
  EXPECT_EQ(Active(), form_);
  EXPECT_EQ(Children(), before + 2);
  // The default options: "Toutes", the year's first day to the working date, no break, every line.
  const std::string o = form_->BuildLimits();
  ASSERT_EQ(o.size(), 77u);
  EXPECT_EQ(o[0], 'T');
  EXPECT_EQ(o.substr(1, 42), std::string(42, ' '));
  EXPECT_EQ(o.substr(43, 6), TheDossierRecord.DateStored(DossierRecord::DateField::YearStart));
  EXPECT_EQ(o.substr(55, 3), "NS1");
  // Closing the form closes its report window.
  form_->CmQuitterForm();
  gui::ProcessPendingMessages();
  EXPECT_EQ(Slot<TWEtaBroBalances>(kBalancesWindowSlot), nullptr);
  EXPECT_EQ(RegistryChar(kBalancesWindowSlot), ' ');
}

// The form stays compact at its top left however large its window grows, its codes' and dates'
// edits as wide as their text.
TEST_F(BalanceWindowTest, TheFormStaysCompactWhenItsWindowGrows) {
  OpenPair();
  form_->SelectKind('R');
  ExpectCompactForm(form_, {form_->Act(), form_->From(), form_->To(), form_->DateFrom(), form_->DateTo()}, "balances",
                    "form-balances-compact");
}

struct KindCase {
  char kind;
  const char* list;      // "Autres Balances"
  const char* sequence;  // the lists the run produces, in order
  const char* firstTitle;
};

// The account fields: checked against the kind (refused with a beep, the focus kept), emptied
// where no codes apply, and the focus moved on to the next field.
TEST_F(BalanceWindowTest, TheAccountFieldsAreCheckedAgainstTheKindAndMoveTheFocusOn) {
  OpenPair();
  using F = TWEtaModBalances;
  struct Case {
    char kind;
    const char* list;
    const char* from;
    const char* to;
    bool upper;   // the last account checked (else the first)
    int refused;  // the refused field, 0 none
    int focused;  // the field focused after the check
  } cases[] = {
      {'T', "", "41", "", false, 0, F::kDateFrom},  // all accounts: no codes
      {'T', "", "", "41", true, 0, F::kDateTo},
      {'A', "CF", "C", "", false, 0, F::kDateFrom},  // several collectives: no codes
      {'G', "", "41", "", false, 0, F::kTo},
      {'G', "", "41", "", true, 0, F::kDateFrom},
      {'G', "", "6", "41", true, F::kTo, F::kTo},
      {'G', "", "ZZ", "", false, F::kFrom, F::kFrom},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.kind) + " " + c.from + "-" + c.to);
    form_->SelectKind(c.kind);
    form_->List()->SetText(c.list);
    form_->From()->SetText(c.from);
    form_->To()->SetText(c.to);
    const int before = beeps;
    const bool ok = form_->CheckAccount(c.upper, true);
    gui::ProcessPendingMessages();
    EXPECT_EQ(ok, c.refused == 0);
    if (c.refused != 0) {
      EXPECT_GT(beeps, before);
      ASSERT_NE(form_->RefusedField(), nullptr);
      EXPECT_EQ(form_->RefusedField()->GetId(), c.refused);
    }
    if (c.kind == 'T' || c.kind == 'A') {
      EXPECT_EQ(form_->From()->GetText(), "");
      EXPECT_EQ(form_->To()->GetText(), "");
    }
    MEdit* fields[] = {form_->From(), form_->To(), form_->DateFrom(), form_->DateTo()};
    for (MEdit* field : fields) EXPECT_EQ(field->HasFocus(), field->GetId() == c.focused) << field->GetId();
  }
}

TEST_F(BalanceWindowTest, EachKindGivesItsListsAndListeSuivanteWalksThemToTheLast) {
  const KindCase cases[] = {
      {'G', "", "1", "GENERALE"},     {'R', "", "2", "RESULTAT"},  {'C', "", "C", nullptr},
      {'F', "", "F", nullptr},        {'A', "F2", "F2", nullptr},  {'(', "", "9", "ANALYTIQUE"},
      {'T', "", "12CF9", "GENERALE"},
  };
  OpenPair();
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.kind);
    gui::ModalSeam::Reset();
    form_->SelectKind(c.kind);
    if (*c.list != '\0') form_->List()->SetText(c.list);
    QueueChoice(gui::IDOK, kStd);
    Send(form_, 20035);
    ASSERT_NE(CurrentPreviewWindow, nullptr) << test_support::ShownTexts();
    EXPECT_EQ(window_->Report().Lists(), c.sequence);
    if (c.firstTitle != nullptr) {
      EXPECT_EQ(CurrentPreviewWindow->GetCaption(), std::string("Visualisation: Balance: ") + c.firstTitle);
    }
    if (c.kind == 'T') test_support::Screenshot(CurrentPreviewWindow->OuterWidget(), "balances", "preview-toutes");
    // The analytic list runs under the analytic code of the layout chosen.
    std::string codes;
    int lists = 1;
    while (window_->Report().Lists().size() > 1 && lists < 10) {
      codes += window_->Report().reportCode.substr(0, 10);
      CurrentPreviewWindow->CmNextList();
      gui::ProcessPendingMessages();
      ASSERT_NE(CurrentPreviewWindow, nullptr);
      ++lists;
    }
    codes += window_->Report().reportCode.substr(0, 10);
    EXPECT_EQ(lists, static_cast<int>(std::string(c.sequence).size()));
    if (c.kind == '(' || c.kind == 'T') {
      EXPECT_NE(codes.find("EBAS-1STD"), std::string::npos) << codes;
    }
    // The last list ended: the form comes back.
    CurrentPreviewWindow->CmQuitVisu();
    gui::ProcessPendingMessages();
    EXPECT_EQ(Active(), form_);
  }
}

TEST_F(BalanceWindowTest, RefusalsOfTheLayoutAndAnEmptyListSayWhy) {
  OpenPair();
  struct Case {
    char kind;
    int row;
    const char* from;
    const char* to;
    const char* said;
  } cases[] = {
      {'C', kFec, "", "", "EXPORT CEGID ou FISCAL (TypeListe=X) seulement la BALANCE GENERALE"},
      {'F', kXc, "", "", "EXPORT CEGID ou FISCAL (TypeListe=X) seulement la BALANCE GENERALE"},
      {'C', kRegr3, "", "", "Regroupement des comptes (TypeListe=R) seulement la BALANCE GENERALE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said);
    gui::ModalSeam::Reset();
    form_->SelectKind(c.kind);
    form_->From()->SetText(c.from);
    form_->To()->SetText(c.to);
    QueueChoice(gui::IDOK, c.row);
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    Send(form_, 20035);
    const std::string shown = test_support::ShownTexts();
    EXPECT_NE(shown.find("Il n'y a rien dans cet Etat"), std::string::npos) << shown;
    EXPECT_NE(shown.find(c.said), std::string::npos) << shown;
    EXPECT_EQ(CurrentPreviewWindow, nullptr);
  }
  // Options whose range holds no account, as a form would hand them over.
  gui::ModalSeam::Reset();
  SetRegistryText(kBalancesWindowSlot + 11, 77,
                  balances::MakeOptions('G', TheDossierRecord.DateStored(DossierRecord::DateField::YearStart),
                                        TheDossierRecord.DateStored(DossierRecord::DateField::YearEnd), false, 'S',
                                        '1', true, "09999990", "09999999")
                      .text);
  QueueChoice(gui::IDOK, kStd);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Send(window_, 20035);
  const std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find("Il n'y a rien dans cet Etat"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Balance: GENERALE"), std::string::npos) << shown;
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
}

// The totals of a run driven through its hooks as the interpreter drives them.
template <class Report>
void Walk(Report& r) {
  r.InitReport();
  do r.ComputeLine();
  while (r.NextRecord() && (r.ClassifyLine(), true));
}

long long Units(ReportFieldTable& f, int index) {
  std::int64_t u = 0;
  return f.GetFieldUnits(index, u) ? u : 0;
}

// The general ledgers of every list ("T") and the general balance over one period, in units: the
// ledgers walked (their lists, the results' and the sections' left out of the sums), their totals,
// the balance's.
struct GeneralFigures {
  std::string walked;
  long long ledgerDebit = 0, ledgerCredit = 0, debit = 0, credit = 0;
  std::string error;
  bool operator==(const GeneralFigures&) const = default;
};
GeneralFigures FiguresOver(const std::string& from, const std::string& to, bool euros) {
  GeneralFigures g;
  ledgers::GeneralLedgerForm lf;
  lf.kind = 'T';
  lf.dateFrom = from;
  lf.dateTo = to;
  lf.inEuros = euros;
  ledgers::GeneralLedgers ledger;
  ledger.TakeLimits(ledgers::BuildGeneralLedgerLimits(lf, TheDossierRecord));
  ledger.ChooseReportCode("EG-1STD           ");
  for (bool more = ledger.PrepareNextLedger(); more; more = ledger.NextLedger()) {
    const char which = ledger.CurrentLedger();
    Walk(ledger);
    if (which == '2' || which == '9') continue;
    g.walked += which;
    g.ledgerDebit += Units(ledger.fields, ledgers::GeneralLedgers::TG_DEBIT);
    g.ledgerCredit += Units(ledger.fields, ledgers::GeneralLedgers::TG_CREDIT);
  }
  balances::TrialBalanceReport balance;
  balance.Begin(
      balances::MakeOptions('G', ConvertDate(from.c_str()), ConvertDate(to.c_str()), false, 'S', '1', euros).text,
      balances::TrialBalancePaths::OfOpenDossier());
  if (balance.Lists() != "1" || !balance.PrepareReport()) {
    g.error = "the general balance did not run: " + balance.Lists() + " " + balance.LastErrorText();
    return g;
  }
  Walk(balance);
  g.debit = Units(balance.fields, balances::tbv::kTgDebit);
  g.credit = Units(balance.fields, balances::tbv::kTgCredit);
  g.error = balance.LastErrorText();
  return g;
}

TEST_F(BalanceWindowTest, TheGeneralBalanceTotalsAreTheGeneralLedgersOverTheSamePeriods) {
  using DF = DossierRecord::DateField;
  OpenPair();  // the program's tables open
  const std::string yearStart = TheDossierRecord.DateDisplay(DF::YearStart);
  const std::string periods[][2] = {{yearStart, TheDossierRecord.DateDisplay(DF::YearEnd)},
                                    {yearStart, "31/10/25"},
                                    {"01/09/25", "31/03/26"}};
  for (const auto& p : periods) {
    for (bool euros : {true, false}) {
      SCOPED_TRACE(p[0] + " " + p[1] + (euros ? " euros" : " francs"));
      // The general ledger and the ledgers of the collectives hold every general line once.
      const GeneralFigures g = FiguresOver(p[0], p[1], euros);
      ASSERT_EQ(g.error, "");
      EXPECT_EQ(g.walked.substr(0, 1), "1");
      EXPECT_GT(g.debit, 0);
      EXPECT_EQ(g.debit, g.credit);
      EXPECT_EQ(g.debit, g.ledgerDebit) << g.walked;
      EXPECT_EQ(g.credit, g.ledgerCredit) << g.walked;
    }
  }
}

TEST_F(BalanceWindowTest, ACancelledCollectiveKeepsItsAccountsInTheBalanceAndTheLedgers) {
  // "F Fournisseurs" cancelled in the list of collectives: its accounts keep feeding 40100000 (the
  // totals count them there), so the balance and the ledgers keep every figure they gave.
  using DF = DossierRecord::DateField;
  OpenPair();
  const std::string from = TheDossierRecord.DateDisplay(DF::YearStart), to = TheDossierRecord.DateDisplay(DF::YearEnd);
  const GeneralFigures before = FiguresOver(from, to, true);
  ASSERT_EQ(before.error, "");
  ASSERT_NE(before.walked.find('F'), std::string::npos) << before.walked;
  ASSERT_TRUE(TableC10->Seek("C10CODE", "B", "F"));
  ASSERT_TRUE(TableC10->DeleteRecord("", 0)) << TableC10->result;
  const GeneralFigures after = FiguresOver(from, to, true);
  EXPECT_TRUE(after == before) << "walked " << before.walked << " / " << after.walked << ", ledgers "
                               << before.ledgerDebit << " / " << after.ledgerDebit << ", balance " << before.debit
                               << " / " << after.debit << " " << after.error;
}

// The letter of each line as the layouts read it: the group of the first of the code's first
// three characters that changed, "B" without a break; the end of the list in Q-X ("X" alone
// without a break).
TEST_F(BalanceWindowTest, TheWalkGivesEachLineTheLetterOfItsBreak) {
  OpenPair();
  using DF = DossierRecord::DateField;
  for (char level : {'S', '1', '3'}) {
    SCOPED_TRACE(level);
    balances::TrialBalanceReport r;
    r.Begin(balances::MakeOptions('G', TheDossierRecord.DateStored(DF::YearStart),
                                  TheDossierRecord.DateStored(DF::YearEnd), false, level)
                .text,
            balances::TrialBalancePaths::OfOpenDossier());
    ASSERT_TRUE(r.PrepareReport());
    EXPECT_EQ(r.lineType[0], 'A');
    test_support::WalkBreakLetters(r, level);
  }
}

TEST_F(BalanceWindowTest, TheStatutoryFileIsWrittenOnlyAfterTheUsersWord) {
  OpenPair();
  form_->SelectKind('G');
  const std::string siren = TheDossierRecord.Get(DossierRecord::kSirenPos, DossierRecord::kSirenWidth);
  const std::string path =
      folder_ + balances::FecExport::FileName(siren, TheDossierRecord.DateStored(DossierRecord::DateField::YearEnd));
  // The draft months are listed: "Non" (the default) writes nothing.
  QueueChoice(gui::IDOK, kFec);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  Send(form_, 20035);
  const gui::ShownModal* asked = gui::ModalSeam::LastShown();
  ASSERT_NE(asked, nullptr);
  EXPECT_NE(asked->text.find("Journaux en brouillard"), std::string::npos) << asked->text;
  EXPECT_EQ(asked->defaultButton, gui::IDNO);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  // "Oui": the file under its legal name, then its rows in the preview.
  gui::ModalSeam::Reset();
  QueueChoice(gui::IDOK, kFec);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Send(form_, 20035);
  ASSERT_TRUE(std::filesystem::exists(path)) << test_support::ShownTexts();
  EXPECT_EQ(window_->Report().FecPath(), path);
  const std::string content = ReadFile(path);
  EXPECT_EQ(content.rfind("JournalCode\tJournalLib\tEcritureNum\t", 0), 0u);
  EXPECT_NE(test_support::ShownTexts().find(path), std::string::npos);
  // The layout makes no cut-down copy of its rows beside the legal file: nothing else is offered.
  if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->CmQuitVisu();
  gui::ProcessPendingMessages();
  EXPECT_EQ(OfferedExportFile(folder_), "") << test_support::ShownTexts();
  EXPECT_EQ(ReadFile(path), content);
  // A blank SIREN refuses the run before anything is read.
  std::filesystem::remove(path);
  TheDossierRecord.Set(DossierRecord::kSirenPos, DossierRecord::kSirenWidth, "");
  gui::ModalSeam::Reset();
  QueueChoice(gui::IDOK, kFec);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Send(form_, 20035);
  EXPECT_NE(window_->Report().LastErrorText().find("SIREN"), std::string::npos)
      << window_->Report().LastErrorText();
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(BalanceWindowTest, TheCegidExportAsksItsDossierCodeAndRefusesALetter) {
  OpenPair();
  form_->SelectKind('G');
  struct Case {
    bool ok;
    const char* typed;
    const char* code;  // in XC_CEGID_D and the file; "" when nothing is exported
    const char* said;  // in the last error
  } cases[] = {
      {false, "123", "00000", ""},     // cancelled: the run goes on without a code
      {true, "12A", "", "chiffres"},   // a letter is refused
      {true, "123", "00123", ""},      // padded on the left
      {true, "", "00000", ""},         // nothing typed: as cancelled
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    gui::ModalSeam::Reset();
    QueueChoice(gui::IDOK, kXc);
    gui::ModalSeam::QueueDialogAnswer(c.ok ? gui::IDOK : gui::IDCANCEL, [&](gui::Window& w) {
      if (auto* d = dynamic_cast<TDFmtSaisie*>(&w)) d->Input()->SetText(c.typed);
    });
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    Send(form_, 20035);
    const std::string exported = OfferedExportFile(folder_);
    EXPECT_EQ(exported != "", *c.code != '\0') << test_support::ShownTexts();
    if (*c.said != '\0') {
      EXPECT_NE(window_->Report().LastErrorText().find(c.said), std::string::npos)
          << window_->Report().LastErrorText();
    }
    if (*c.code != '\0') {
      EXPECT_EQ(std::string(window_->Report().fields.Value(balances::tbv::kXcDossier)), c.code);
      const std::string content = ReadFile(exported);
      EXPECT_NE(content.find("***DEBUT***"), std::string::npos) << content.substr(0, 300);
      // The dossier's record: its kind, then the code.
      EXPECT_NE(content.find(std::string(" 3800") + c.code), std::string::npos) << content.substr(0, 300);
      if (CurrentPreviewWindow != nullptr) CurrentPreviewWindow->CmQuitVisu();
      gui::ProcessPendingMessages();
    }
  }
}

TEST_F(BalanceWindowTest, ATableThatDoesNotOpenIsSaidAndTheWindowCloses) {
  // The closed lines' file cut in its header.
  ::Table* c40 = TableC40;
  if (c40 != nullptr) c40->CloseTable(true);
  const std::string path = folder_ + "c40bw.dbf";
  ASSERT_TRUE(std::filesystem::exists(path));
  std::filesystem::resize_file(path, 20);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Run(20504);
  gui::ProcessPendingMessages();
  const std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find("c40"), std::string::npos) << shown;
  EXPECT_EQ(Slot<TWEtaBroBalances>(kBalancesWindowSlot), nullptr);
  EXPECT_EQ(Slot<TWEtaModBalances>(kBalancesFormSlot), nullptr);
  // Nothing was rewritten meanwhile.
  EXPECT_EQ(std::filesystem::file_size(path), 20u);
}

}  // namespace
}  // namespace balances_window_test
