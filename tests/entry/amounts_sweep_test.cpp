// The amounts journal entry shows, at 1, 10 million, a billion and 15 244 901 723,74 (the widest line
// in euros) on either side:
// the headers list's totals, the lines window's amounts, the account's balance its status bar says
// and the balance its closing question names, the validation form's totals and the entry search's
// amounts. Each whole, grouped, with its sign or its side, never in asterisks and never cut by its
// column or its list, in the windows' own fonts.
#include <QWidget>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "entry/validation_dialog.h"
#include "output_fixture.h"
#include "runtime/text.h"
#include "shell/application.h"
#include "support/books_writes.h"
#include "support/cut_texts.h"
#include "support/window_amounts.h"

namespace entry_test {
namespace {

using namespace posting;
using test_support::Shown;
using test_support::LineSweepCents;

constexpr unsigned kValidation = 20406;
constexpr int kHeaderDebit = 7, kHeaderCredit = 8;  // the headers list's columns

class AmountsSweepTest : public OutputTest {
 protected:
  // The journal-month of the k-th amount, and the one of a line of the widest negative amount a line stores.
  static std::string MonthOfAmount(std::size_t k) { return "C6" + std::string(StrZero(static_cast<long>(k + 1), 2)) + "ODA"; }
  static std::string AccountOf(std::size_t k) { return "4710000" + std::to_string(k); }
  static constexpr long long kWidestStoredNegative = -999'999'999'999;

  // One line on the account of its amount, in both currencies, its sort record beside it; no total is
  // moved (the totals are written as the case wants them).
  void AppendLine(const std::string& journalMonth, const std::string& account, char sense, long long cents) {
    ASSERT_TRUE(EnsureGeneralFile());
    ASSERT_NE(EnsureDraftHeader(*TableC10, journalMonth), HeaderCreation::Failed);
    Table c50, c60;
    ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag));
    ASSERT_TRUE(c60.OpenShared(PathC60(), T::kRecordTag));
    ASSERT_TRUE(c50.AppendBlank());
    // The month and the journal held here: the texts below point into them until the fields are put.
    const std::string month = journalMonth.substr(0, 4), journal = journalMonth.substr(4, 3);
    const std::pair<int, const char*> fields[] = {
        {L::BCLE, "Z"}, {L::BMOIS, month.c_str()}, {L::BJAL, journal.c_str()},
        {L::BPIECE, "000001"}, {L::BREC, "000001"}, {L::BNUM, "0001"}, {L::BNUMA, "0001"}, {L::BJOUR, "01"},
        {L::BCODE, account.c_str()}, {L::BCLIB, "V"}, {L::BLIB, "Balayage"}, {L::BEURO, "O"}};
    for (const auto& [n, text] : fields) c50.PutField(n, text);
    c50.PutField(L::BSENS, std::string(1, sense).c_str());
    c50.PutField(L::BMONTANTF, AmountDigits(FromCents(cents)).c_str());
    c50.PutField(L::BMONTANTE, AmountDigits(FromCents(cents)).c_str());
    ASSERT_TRUE(c50.InsertRecord());
    ASSERT_TRUE(c50.Commit());
    ASSERT_TRUE(AppendLigneTri(c50, T::kDraft, c60));
  }
  // The header's totals of both currencies.
  void HeaderTotals(const std::string& journalMonth, long long debit, long long credit) {
    Table c10;
    ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(FindHeader(c10, journalMonth, kDraftSource).IsFound()) << journalMonth;
    const std::string totals = AmountText14(FromCents(debit)) + AmountText14(FromCents(credit));
    ASSERT_TRUE(c10.PutField(4, totals.c_str()) && c10.PutField(5, totals.c_str()));
    ASSERT_TRUE(c10.Commit());
  }
  // The account of the k-th amount, its balance that amount in both currencies.
  void AccountWith(std::size_t k, long long cents) {
    Account(AccountOf(k), "Compte du balayage", "", "");
    Table c20;
    ASSERT_TRUE(c20.OpenShared(PathC20(), "C20CODE"));
    ASSERT_TRUE(c20.Seek("C20CODE", AccountOf(k).c_str()));
    const std::string debit = AmountDigits(FromCents(cents > 0 ? cents : 0));
    const std::string credit = AmountDigits(FromCents(cents < 0 ? -cents : 0));
    for (int f : {17, 18}) ASSERT_TRUE(c20.PutField(f, debit.c_str()));
    for (int f : {19, 20}) ASSERT_TRUE(c20.PutField(f, credit.c_str()));
    ASSERT_TRUE(c20.Commit());
  }

  // Every amount of the sweep on its journal-month, account and header: a debit line for an amount
  // above zero, a credit line for one below; and a debit line of the widest negative amount a line
  // stores on a journal-month of its own.
  void Seed() {
    const test_support::SetUpPermit permit("balayage des montants");
    for (std::size_t k = 0; k < LineSweepCents().size(); ++k) {
      const long long cents = LineSweepCents()[k];
      AccountWith(k, cents);
      AppendLine(MonthOfAmount(k), AccountOf(k), cents > 0 ? 'D' : 'C', cents < 0 ? -cents : cents);
      HeaderTotals(MonthOfAmount(k), cents > 0 ? cents : 0, cents < 0 ? -cents : 0);
    }
    const std::string month = MonthOfAmount(LineSweepCents().size());
    AppendLine(month, AccountOf(0), 'D', kWidestStoredNegative);
    HeaderTotals(month, kWidestStoredNegative, 0);
  }

  test_support::SweepFaults faults;
};

TEST_F(AmountsSweepTest, TheHeadersAndLinesShowEveryAmountWholeGroupedAndInside) {
  Open();
  Seed();
  gui::ModalSeam::Reset();

  // The headers list: the totals of the main currency, signed.
  Menu(command_id::SaisieEcritures);
  TWSaiBroEntJournaux* headers = Headers();
  ASSERT_NE(headers, nullptr);
  for (std::size_t k = 0; k <= LineSweepCents().size(); ++k) {
    const bool widest = k == LineSweepCents().size();
    const long long cents = widest ? kWidestStoredNegative : LineSweepCents()[k];
    ASSERT_TRUE(headers->LocateCode(MonthOfAmount(k) + "B")) << MonthOfAmount(k);
    const std::string row = headers->SelectedRow();
    const int column = cents > 0 || widest ? kHeaderDebit : kHeaderCredit;
    faults.Add(test_support::AmountFault("headers list, " + MonthOfAmount(k), headers->Cell(row, column),
                                         widest ? cents : (cents < 0 ? -cents : cents), Shown::kSigned));
  }
  ASSERT_TRUE(headers->LocateCode(MonthOfAmount(0) + "B"));
  for (const std::string& cut : test_support::CutTexts(*headers, 12)) faults.Add("headers list: cut: " + cut);
  test_support::Screenshot(MainFrame->Widget(), "entry", "amounts_sweep_headers");

  // Each journal-month in its lines window: its line's amount, its account's balance in the status
  // bar when the line is clicked, and its balance in the question its closing asks.
  for (std::size_t k = 0; k <= LineSweepCents().size(); ++k) {
    const bool widest = k == LineSweepCents().size();
    const long long cents = widest ? kWidestStoredNegative : LineSweepCents()[k];
    const std::string where = "lines window " + MonthOfAmount(k);
    TWSaiBroDetJournaux* w = Saisir(MonthOfAmount(k));
    ASSERT_NE(w, nullptr);
    w->GoFirst();
    w->EvLButtonDown(0, gui::Point{60, CMDIBrowse::RowHeightPixels() + 3});
    gui::ProcessPendingMessages();
    const std::string row = w->SelectedRow();
    ASSERT_FALSE(row.empty()) << where;
    if (widest) {
      // A line amount below zero is none an entry makes: it reads as one that does not read, shown
      // as zero, and the month's closing names it before anything is asked.
      EXPECT_EQ(Trimmed(w->Cell(row, TWSaiBroDetJournaux::kDebit)), "0.00") << where;
      gui::ModalSeam::Reset();
      gui::SendMessage(w->GetHandle(), gui::WM_CLOSE);
      gui::ProcessPendingMessages();
      ASSERT_FALSE(gui::ModalSeam::Shown().empty()) << where;
      const std::string said = gui::ModalSeam::Shown().front().text;
      EXPECT_NE(said.find("en dessous de z\xE9ro"), std::string::npos) << said;
      EXPECT_NE(said.find("C50 enregistrement"), std::string::npos) << said;
      continue;
    }
    faults.Add(test_support::AmountFault(where, w->Cell(row, cents > 0 ? TWSaiBroDetJournaux::kDebit
                                                                       : TWSaiBroDetJournaux::kCredit),
                                         cents < 0 ? -cents : cents, Shown::kSigned));
    for (const std::string& cut : test_support::CutTexts(*w, 2)) faults.Add(where + ": cut: " + cut);
    faults.Add(test_support::AmountFault(where + ", status bar", MessageBar->GetText(), cents, Shown::kSided));
    if (k == 3 || k == 7)
      test_support::Screenshot(MainFrame->Widget(), "entry", "amounts_sweep_lines" + std::string(k == 3 ? "" : "_credit"));
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    gui::SendMessage(w->GetHandle(), gui::WM_CLOSE);
    gui::ProcessPendingMessages();
    ASSERT_FALSE(gui::ModalSeam::Shown().empty()) << where << ": the unbalanced journal-month is asked about";
    const gui::ShownModal& asked = gui::ModalSeam::Shown().back();
    faults.Add(test_support::AmountFault(where + ", closing question", asked.text, cents, Shown::kSided));
    if (k == 3) test_support::ScreenshotMessage(asked, "entry", "amounts_sweep_closing_question");
  }
  faults.Report();
}

TEST_F(AmountsSweepTest, TheValidationFormAndTheSearchShowEveryAmountWholeGroupedAndInside) {
  Open();
  Seed();
  gui::ModalSeam::Reset();

  // The validation form: each journal-month's debit and credit.
  bool shown = false;
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& d) {
    auto& form = dynamic_cast<TDSaiValidation&>(d);
    form.Show(gui::SW_SHOWNORMAL);
    for (std::size_t i = 0; i < form.Months().size(); ++i) {
      const std::string month = form.Months()[i].journalMonth;
      for (std::size_t k = 0; k < LineSweepCents().size(); ++k)
        if (month == MonthOfAmount(k))
          faults.Add(test_support::AmountFault("validation form, " + month, form.Row(static_cast<int>(i)),
                                               LineSweepCents()[k] < 0 ? -LineSweepCents()[k] : LineSweepCents()[k], Shown::kBare));
      faults.Add(test_support::GroupedFault("validation form", form.Row(static_cast<int>(i))));
    }
    for (const std::string& cut : test_support::CutListLines(form.List()->Widget()))
      faults.Add("validation form: cut: " + cut);
    test_support::Screenshot(form.OuterWidget(), "entry", "amounts_sweep_validation");
    shown = true;
  });
  Menu(kValidation);
  EXPECT_TRUE(shown) << test_support::ShownTexts();

  // The search of an amount, from the lines window of the first: every line of each amount.
  gui::ModalSeam::Reset();
  TWSaiBroDetJournaux* w = Saisir(MonthOfAmount(0));
  ASSERT_NE(w, nullptr);
  w->GoFirst();
  shown = false;
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& d) {
    auto& dialog = dynamic_cast<TDRechercheEcriture&>(d);
    dialog.Show(gui::SW_SHOWNORMAL);
    for (std::size_t k = 0; k < LineSweepCents().size(); ++k) {
      const long long cents = LineSweepCents()[k];
      if (cents < 0) continue;  // the lines of either side are found by the amount without its sign
      dialog.Item<MEdit>(TDRechercheEcriture::kAmount)->SetValue(AmountDigits(FromCents(cents)), false);
      dialog.CmChercher();
      const std::string where = "entry search " + AmountDigits(FromCents(cents));
      EXPECT_GE(dialog.List()->GetCount(), 2) << where;
      std::string lines;
      for (int i = 0; i < dialog.List()->GetCount(); ++i) lines += dialog.List()->GetString(i) + "\n";
      faults.Add(test_support::AmountFault(where, lines, cents, Shown::kSided));
      faults.Add(test_support::AmountFault(where, lines, -cents, Shown::kSided));
      faults.Add(test_support::GroupedFault(where, lines));
      for (const std::string& cut : test_support::CutListLines(dialog.List()->Widget())) faults.Add(where + ": cut: " + cut);
      if (k == 3) test_support::Screenshot(dialog.OuterWidget(), "entry", "amounts_sweep_search");
    }
    shown = true;
  });
  Send(w, child_command::ChercherMontant);
  EXPECT_TRUE(shown) << test_support::ShownTexts();
  faults.Report();
}

}  // namespace
}  // namespace entry_test
